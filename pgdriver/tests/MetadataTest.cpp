// Table, view and procedure names, columns, keys and table creation read from the database.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const TDAADODriver kRegistration;

class PgMetadata : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        connection = manager.NewConnection(QStringLiteral("MSSQL"));
        db.exec(QStringLiteral(
            "CREATE TABLE dbo.tblParent (PK_ParentID varchar(38) PRIMARY KEY, ParentName citext NOT NULL, Created timestamp DEFAULT now());"
            "CREATE TABLE dbo.tblChild (PK_ChildID varchar(38) PRIMARY KEY, F_ParentID varchar(38) REFERENCES dbo.tblParent, N serial);"
            "CREATE VIEW dbo.vwParents AS SELECT * FROM dbo.tblParent;"
            "CREATE FUNCTION dbo.fnNothing() RETURNS integer AS 'SELECT 1' LANGUAGE sql;"));
    }

    kestrova::test::TestDatabase db;
    TDAConnectionManager manager;
    std::unique_ptr<IDAConnection> connection;
};

} // namespace

TEST_F(PgMetadata, ListsTablesViewsAndProcedures)
{
    // Test databases start with the system's own tables, so look for these among them.
    const QStringList tables = connection->GetTableNames();
    EXPECT_TRUE(tables.contains(QStringLiteral("tblchild")));
    EXPECT_TRUE(tables.contains(QStringLiteral("tblparent")));
    EXPECT_FALSE(tables.contains(QStringLiteral("vwparents")));
    EXPECT_TRUE(connection->GetViewNames().contains(QStringLiteral("vwparents")));
    EXPECT_TRUE(connection->GetStoredProcedureNames().contains(QStringLiteral("fnnothing")));
}

TEST_F(PgMetadata, NativeSchemasQualifyNames)
{
    manager.AddConnection(QStringLiteral("Native"), db.connectionString().replace(QStringLiteral("SQLOLEDB.1"), QStringLiteral("SQLNCLI.1")));
    auto native = manager.NewConnection(QStringLiteral("Native"));
    EXPECT_TRUE(native->GetTableNames().contains(QStringLiteral("dbo.tblparent")));
}

TEST_F(PgMetadata, ColumnsCarryTypesKeysAndDefaults)
{
    const TDAFieldList fields = connection->GetTableFields(QStringLiteral("dbo.TBLPARENT"));
    ASSERT_EQ(fields.size(), 3);
    EXPECT_TRUE(fields[0].InPrimaryKey);
    EXPECT_EQ(fields[0].Size, 38);
    EXPECT_EQ(fields[1].DataType, TDADataType::datMemo);
    EXPECT_TRUE(fields[1].Required);
    EXPECT_EQ(fields[2].DataType, TDADataType::datDateTime);
    EXPECT_EQ(fields[2].DefaultValue, QStringLiteral("now()"));
    EXPECT_EQ(connection->GetTableFields(QStringLiteral("tblChild"))[2].DataType, TDADataType::datAutoInc);
    EXPECT_THROW(connection->GetTableFields(QStringLiteral("nosuch")), EDAException);
}

TEST_F(PgMetadata, ForeignKeysNameBothSides)
{
    auto keys = connection->GetForeignKeys();
    keys.removeIf([](const auto &key) { return key.FKTable != QLatin1String("tblchild"); });
    ASSERT_EQ(keys.size(), 1);
    EXPECT_EQ(keys[0].FKTable, QStringLiteral("tblchild"));
    EXPECT_EQ(keys[0].PKTable, QStringLiteral("tblparent"));
    EXPECT_EQ(keys[0].FKField, QStringLiteral("f_parentid"));
    EXPECT_EQ(keys[0].PKField, QStringLiteral("pk_parentid"));
}

TEST_F(PgMetadata, DatabaseNamesIncludeTheCurrentOne)
{
    EXPECT_TRUE(connection->GetDatabaseNames().contains(db.name()));
}

TEST_F(PgMetadata, CreatedTableHasTheFieldsAndKey)
{
    TDAFieldList fields;
    fields << TDAField{QStringLiteral("PK_ID"), TDADataType::datGuid, 38, true, true, false, {}, {}}
           << TDAField{QStringLiteral("Name"), TDADataType::datString, 50, false, false, false, {}, {}}
           << TDAField{QStringLiteral("Flag"), TDADataType::datBoolean, 0, false, false, false, {}, {}};
    EXPECT_EQ(connection->GetFieldSQLType(fields[0]), QString());
    connection->CreateTable(fields, QStringLiteral("dbo.tblMade"));
    const TDAFieldList read = connection->GetTableFields(QStringLiteral("tblMade"));
    ASSERT_EQ(read.size(), 3);
    EXPECT_TRUE(read[0].InPrimaryKey);
    EXPECT_EQ(read[2].DataType, TDADataType::datSmallInt);
}

TEST_F(PgMetadata, QuotingLeavesPlainNamesBare)
{
    EXPECT_EQ(connection->QuoteIdentifierIfNeeded(QStringLiteral("PK_EventID")), QStringLiteral("PK_EventID"));
    EXPECT_EQ(connection->QuoteIdentifierIfNeeded(QStringLiteral("Order")), QStringLiteral("\"Order\""));
    EXPECT_EQ(connection->QuoteIdentifierIfNeeded(QStringLiteral("a b\"c")), QStringLiteral("\"a b\"\"c\""));
    EXPECT_EQ(connection->GetSPSelectSyntax(true), QStringLiteral("SELECT * FROM {0}({1})"));
}

TEST_F(PgMetadata, LastAutoIncIsTheSequencesValue)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParent VALUES ('{P}', 'p')"));
    auto cmd = connection->NewCommand(QStringLiteral("INSERT INTO tblChild (PK_ChildID, F_ParentID) VALUES ('{C}', '{P}')"));
    cmd->Execute();
    EXPECT_EQ(connection->GetLastAutoInc(QString()), 1);
}
