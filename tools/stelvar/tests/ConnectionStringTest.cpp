#include "uQorConStrGen.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct Case
{
    const char *dataSource;
    const char *database;
    const char *master;
};

// The settings editor writes the database item last with its ";"; the server rewrites it as
// "Initial Catalog" at its start; either may be followed by more items.
const Case kCases[] = {
    {"ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=Kestrova;", "Kestrova", "ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=postgres;"},
    {"ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=Kestrova;UserID=u;Password=p;", "Kestrova",
     "ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=postgres;UserID=u;Password=p;"},
    {"ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=Kestrova", "Kestrova", "ADO?AuxDriver=SQLOLEDB.1;Server=host;Database=postgres;"},
    {"ADO?AuxDriver=SQLOLEDB.1;Data Source=host;Initial Catalog=parish;User ID=u;", "parish",
     "ADO?AuxDriver=SQLOLEDB.1;Data Source=host;Initial Catalog=postgres;User ID=u;"},
    {"ADO?AuxDriver=SQLOLEDB.1;Database=first;Initial Catalog=second;", "first",
     "ADO?AuxDriver=SQLOLEDB.1;Database=postgres;Initial Catalog=second;"},
    {"ADO?AuxDriver=SQLOLEDB.1;Server=host;", "", ""},
    {"NA", "", ""},
};

TEST(ConnectionString, DatabaseNameAndMasterStringComeFromTheDatabaseItem)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.dataSource);
        EXPECT_EQ(TQorConStrGen::GetDatabaseName(QString::fromLatin1(c.dataSource)), QString::fromLatin1(c.database));
        EXPECT_EQ(TQorConStrGen::MasterConnectionString(QString::fromLatin1(c.dataSource)), QString::fromLatin1(c.master));
    }
}

} // namespace
