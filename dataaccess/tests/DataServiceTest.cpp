// The data service's reading operations, commands and refusals.
#include "DataServiceFixture.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAWhere.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>

TEST_F(DataServiceFixture, GetDataReturnsFieldsInTheSchemasSpelling)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents VALUES ('{P1}', 'Anna', 2, 1, '2024-05-06 07:08:09.010', '\\x0001')"));
    const TDATableData t = fetch(QStringLiteral("parents"));
    EXPECT_EQ(t.Name, QStringLiteral("Parents"));
    ASSERT_EQ(t.Fields.size(), 7);
    EXPECT_EQ(t.Fields[0].Name, QStringLiteral("PK_ParentID"));
    EXPECT_EQ(t.Fields[6].Name, QStringLiteral("ChildCount"));
    ASSERT_EQ(t.Rows.size(), 1);
    EXPECT_EQ(t.Rows[0][1], QVariant(QStringLiteral("Anna")));
    EXPECT_EQ(t.Rows[0][3], QVariant(true));
    EXPECT_EQ(t.Rows[0][4].toDateTime(), WallClock(QDate(2024, 5, 6), QTime(7, 8, 9, 10)));
    EXPECT_EQ(t.Rows[0][5].toByteArray(), QByteArray("\0\1", 2));
    EXPECT_EQ(t.Rows[0][6], QVariant(0));
}

TEST_F(DataServiceFixture, GetDataBindsParametersAndWhereTermsAndHonoursLimits)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{P1}', 'a'), ('{P2}', 'b');"
                           "INSERT INTO dbo.tblChildren (PK_ChildID, F_ParentID, ChildName) VALUES "
                           "('{C1}', '{P1}', 'x'), ('{C2}', '{P1}', 'y'), ('{C3}', '{P2}', 'z')"));
    TableRequestInfoV5 info;
    info.Parameters << DataParameter{QStringLiteral("parentid"), QStringLiteral("{P1}")};
    EXPECT_EQ(fetch(QStringLiteral("Children"), info).Rows.size(), 2);

    TDAWhere where;
    where.AddCondition(QStringLiteral("childname"), TDAWhereOperator::woEqual, QStringLiteral("Y"));
    TableRequestInfoV5 filtered;
    filtered.WhereClause = where.ToXml();
    const TDATableData t = fetch(QStringLiteral("Children"), filtered);
    ASSERT_EQ(t.Rows.size(), 1);
    EXPECT_EQ(t.Rows[0][0], QVariant(QStringLiteral("{C2}")));

    TableRequestInfoV5 limited;
    limited.MaxRecords = 1;
    limited.Sorting = ColumnSorting{QStringLiteral("PK_ChildID"), ColumnSortDirection::Descending};
    const TDATableData last = fetch(QStringLiteral("Children"), limited);
    ASSERT_EQ(last.Rows.size(), 1);
    EXPECT_EQ(last.Rows[0][0], QVariant(QStringLiteral("{C3}")));
}

TEST_F(DataServiceFixture, SeveralTablesComeInOneStreamInTheOrderAsked)
{
    const auto tables = TDADataStreamer::ReadDatasets(service->GetData({QStringLiteral("Children"), QStringLiteral("Parents")}, {}));
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[0].Name, QStringLiteral("Children"));
    EXPECT_EQ(tables[1].Name, QStringLiteral("Parents"));
}

TEST_F(DataServiceFixture, NamesOutsideTheSchemaAreRefused)
{
    EXPECT_THROW(service->GetData({QStringLiteral("tblParents")}, {}), EDAException);
    EXPECT_THROW(service->ExecuteCommand(QStringLiteral("DropEverything"), {}), EDAException);
    EXPECT_THROW(service->GetTableSchema({QStringLiteral("tblUsers")}), EDAException);
    TableRequestInfoV5 info;
    info.Parameters << DataParameter{QStringLiteral("NotAParam"), 1};
    EXPECT_THROW(service->GetData({QStringLiteral("Children")}, {info}), EDAException);
}

TEST_F(DataServiceFixture, ClientSQLIsRefused)
{
    EXPECT_FALSE(service->GetAllowExecuteSQL());
    EXPECT_THROW(service->SQLGetData(QStringLiteral("SELECT * FROM tblParents"), true, -1), EDAException);
    EXPECT_THROW(service->SQLExecuteCommand(QStringLiteral("DELETE FROM tblParents")), EDAException);
    TableRequestInfoV5 info;
    info.UserFilter = QStringLiteral("1=1");
    EXPECT_THROW(service->GetData({QStringLiteral("Parents")}, {info}), EDAException);
}

TEST_F(DataServiceFixture, ExecuteCommandBindsValuesAndCountsRows)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{P1}', 'a')"));
    const int n = service->ExecuteCommand(QStringLiteral("renameparent"),
                                          {DataParameter{QStringLiteral("ID"), QStringLiteral("{P1}")},
                                           DataParameter{QStringLiteral("NewName"), QStringLiteral("O'Brien; DROP TABLE x")}});
    EXPECT_EQ(n, 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ParentName FROM dbo.tblParents")), QStringLiteral("O'Brien; DROP TABLE x"));
}

TEST_F(DataServiceFixture, ExecuteCommandExReturnsOutputParameters)
{
    db.exec(QStringLiteral("INSERT INTO dbo.tblParents (PK_ParentID, ParentName) VALUES ('{P1}', 'Alpha'), ('{P2}', 'alpine'), ('{P3}', 'Beta')"));
    DataParameterArray out;
    service->ExecuteCommandEx(QStringLiteral("CountParents"), {DataParameter{QStringLiteral("Pattern"), QStringLiteral("AL%")}}, out);
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(out[0].Name, QStringLiteral("Total"));
    EXPECT_EQ(out[0].Value.toInt(), 2);
}

TEST_F(DataServiceFixture, SchemaDescriptionsNameWhatWasAsked)
{
    const QString table = service->GetTableSchema({QStringLiteral("Children")});
    EXPECT_TRUE(table.contains(QStringLiteral("PK_ChildID")));
    EXPECT_FALSE(table.contains(QStringLiteral("PK_ParentID")));
    EXPECT_TRUE(service->GetCommandSchema({QStringLiteral("CountParents")}).contains(QStringLiteral("Direction=\"Out\"")));
    EXPECT_TRUE(service->GetSchema(QString()).contains(QStringLiteral("RenameParent")));
    EXPECT_TRUE(service->GetDatasetScripts(QStringLiteral("Parents,Children")).contains(QStringLiteral("Dataset=\"Children\"")));
}
