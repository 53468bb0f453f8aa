// Every column the database keeps as a Boolean ("bit", smallint 0/1) travels as a Boolean in
// every service's schema, so one column never reaches the client with two types.
#include "testsupport/CurrentSchema.h"
#include "testsupport/TestDatabase.h"

#include "dataaccess/TDASchema.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(ServiceSchemas, EveryBooleanColumnIsABooleanField)
{
    kestrova::test::TestDatabase db(kestrova::test::CurrentSchemaStage());
    if (!db.available())
        GTEST_SKIP();
    QSet<QString> booleans;
    for (const QStringList &row : db.rows(QStringLiteral(
             "SELECT DISTINCT lower(c.column_name) FROM information_schema.columns c JOIN information_schema.tables t "
             "ON t.table_schema = c.table_schema AND t.table_name = c.table_name "
             "WHERE c.table_schema = 'dbo' AND t.table_type = 'BASE TABLE' AND c.data_type = 'smallint'")))
        booleans << row.at(0);
    ASSERT_TRUE(booleans.contains(QStringLiteral("memberlocked")));

    const QStringList files = QDir(QStringLiteral(":/schemas")).entryList({QStringLiteral("*.xml")});
    ASSERT_GE(files.size(), 6);
    int checked = 0;
    for (const QString &file : files) {
        TDASchema schema;
        schema.LoadFromFile(QStringLiteral(":/schemas/") + file);
        for (const TDASchemaDataset &dataset : schema.Datasets())
            for (const TDAField &field : dataset.Fields)
                if (booleans.contains(field.Name.toLower())) {
                    ++checked;
                    EXPECT_EQ(field.DataType, TDADataType::datBoolean)
                        << file.toStdString() << " " << dataset.Name.toStdString() << "." << field.Name.toStdString();
                }
    }
    EXPECT_GT(checked, 10);
}

} // namespace
