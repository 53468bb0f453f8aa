// GetData streams rows from the driver straight into the stream: what it sends must be exactly
// what the rows ReadDataset gives encode to, for every type and conversion, and a read that
// fails halfway must leave the connection ready for the next.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDataAbstractService.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const char *const kSchema = R"(<Schema Name="Streamed">
  <Dataset Name="Kinds" Table="tblKinds">
    <Field Name="ID" Type="Integer" Key="true"/>
    <Field Name="Name" Type="String"/>
    <Field Name="Note" Type="String" Size="20"/>
    <Field Name="Flag" Type="Boolean"/>
    <Field Name="Truth" Type="Boolean"/>
    <Field Name="Big" Type="LargeInt"/>
    <Field Name="Ratio" Type="Float"/>
    <Field Name="Amount" Type="Currency"/>
    <Field Name="Price" Type="Currency"/>
    <Field Name="Stamp" Type="DateTime"/>
    <Field Name="StampTz" Type="DateTime"/>
    <Field Name="Day" Type="DateTime"/>
    <Field Name="Clock" Type="DateTime"/>
    <Field Name="Raw" Type="Blob"/>
    <Field Name="Uid" Type="Guid"/>
    <Field Name="NumberText" Type="Integer"/>
    <Statement>SELECT * FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Crossed">
    <Field Name="Small" Type="Integer"/>
    <Field Name="Label" Type="String"/>
    <Field Name="Count" Type="Integer"/>
    <Field Name="Moment" Type="DateTime"/>
    <Field Name="Anything" Type="Memo"/>
    <Statement>SELECT ID::bigint AS Small, ID AS Label, Truth AS Count, Stamp::text AS Moment, Big AS Anything FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Twice">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Name" Type="String"/>
    <Statement>SELECT 1; SELECT ID, Name FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="From">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Name" Type="String"/>
    <Param Name="MinID" Type="Integer"/>
    <Statement>SELECT ID, Name FROM tblKinds WHERE ID &gt;= :MinID ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Infinite">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Stamp" Type="DateTime"/>
    <Statement>SELECT ID, CASE WHEN ID = 3 THEN 'infinity'::timestamp ELSE Stamp END AS Stamp FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Dividing">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Share" Type="Integer"/>
    <Statement>SELECT ID, 10 / (3 - ID) AS Share FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Unconvertible">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Name" Type="Integer"/>
    <Statement>SELECT ID, Name FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
  <Dataset Name="Missing">
    <Field Name="ID" Type="Integer"/>
    <Field Name="Absent" Type="Integer"/>
    <Statement>SELECT ID FROM tblKinds ORDER BY ID</Statement>
  </Dataset>
</Schema>)";

class StreamedRead : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        db.exec(QStringLiteral(
            "CREATE TABLE dbo.tblKinds (ID integer PRIMARY KEY, Name citext, Note varchar(20), Flag smallint, Truth boolean, "
            "Big bigint, Ratio real, Amount numeric(19,4), Price money, Stamp timestamp, StampTz timestamptz, Day date, "
            "Clock time, Raw bytea, Uid uuid, NumberText citext);"
            "INSERT INTO dbo.tblKinds VALUES "
            "(1, 'Anna', 'plain', 1, true, 9000000000, 1.5, 12.3456, 7.25, '2024-03-31 02:30:00.123', "
            " '2024-03-31 02:30:00+00', '2024-03-31', '13:14:15.5', '\\x00ff', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '42'),"
            "(2, 'Zoë 🎉 über', 'ça', 2, false, -1, -0.25, 0, -3, '0001-01-01 00:00:00', '9999-12-31 23:59:59.999+00', "
            " '1899-12-30', '00:00:00', '', '00000000-0000-0000-0000-000000000000', ' -7 '),"
            "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
            "(4, '', '', 0, true, 0, 1e30, -0.0001, 0, '2000-02-29 23:59:59.999', NULL, NULL, '23:59:59', '\\x', NULL, '0')"));
        schema.LoadFromXml(kSchema, QStringLiteral("streamed test schema"));
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        service = std::make_unique<TDataAbstractService>(schema, manager);
    }

    // What GetData sends must be byte for byte the encoding of the rows ReadDataset gives.
    void expectSameAsRead(const QStringList &names, const QList<TableRequestInfoV5> &infos = {})
    {
        QList<TDATableData> read;
        for (int i = 0; i < names.size(); ++i)
            read << service->ReadDataset(names[i], infos.value(i));
        EXPECT_EQ(service->GetData(names, infos), TDADataStreamer::WriteDatasets(read)) << names.join(QLatin1Char(',')).toStdString();
    }

    TDAADODriver registration;
    kestrova::test::TestDatabase db;
    TDASchema schema;
    TDAConnectionManager manager;
    std::unique_ptr<TDataAbstractService> service;
};

TEST_F(StreamedRead, EveryTypeAndConversionStreamsAsTheReadRowsEncode)
{
    TableRequestInfoV5 picked;
    // Each field once, in another order and case than the schema's (a list that repeats one is refused).
    picked.DynamicSelectFieldNames = {QStringLiteral("uid"), QStringLiteral("ID"), QStringLiteral("Clock")};
    TableRequestInfoV5 none;
    none.MaxRecords = 0;
    TableRequestInfoV5 from;
    from.Parameters << DataParameter{QStringLiteral("MinID"), 2};
    TableRequestInfoV5 sorted;
    sorted.Sorting = ColumnSorting{QStringLiteral("Name"), ColumnSortDirection::Descending};

    const struct
    {
        QStringList names;
        QList<TableRequestInfoV5> infos;
    } cases[] = {
        {{QStringLiteral("Kinds")}, {}},
        {{QStringLiteral("Kinds")}, {picked}},
        {{QStringLiteral("Kinds")}, {none}},
        {{QStringLiteral("Kinds")}, {sorted}},
        {{QStringLiteral("Crossed")}, {}},
        {{QStringLiteral("Twice")}, {}},
        {{QStringLiteral("From")}, {from}},
        {{QStringLiteral("Crossed"), QStringLiteral("Kinds"), QStringLiteral("Twice")}, {}},
    };
    for (const auto &c : cases)
        expectSameAsRead(c.names, c.infos);

    const TDATableData kinds = TDADataStreamer::ReadDatasets(service->GetData({QStringLiteral("Kinds")}, {})).value(0);
    ASSERT_EQ(kinds.Rows.size(), 4);
    EXPECT_EQ(kinds.Rows[1][1], QVariant(QStringLiteral("Zoë 🎉 über")));
    EXPECT_EQ(kinds.Rows[1][3], QVariant(true)); // any number but 0 is true
    EXPECT_EQ(kinds.Rows[1][15], QVariant(-7));
    EXPECT_EQ(kinds.Rows[0][14], QVariant(QStringLiteral("{A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11}")));
    EXPECT_FALSE(kinds.Rows[2][1].isValid());
}

TEST_F(StreamedRead, AReadFailingHalfwayLeavesTheConnectionReady)
{
    const QByteArray whole = service->GetData({QStringLiteral("Kinds")}, {});
    for (const char *name : {"Infinite", "Dividing", "Unconvertible", "Missing"}) {
        // The failing read comes second, after a table already in the stream.
        EXPECT_THROW(service->GetData({QStringLiteral("Kinds"), QString::fromLatin1(name)}, {}), EDAException) << name;
        EXPECT_EQ(service->GetData({QStringLiteral("Kinds")}, {}), whole) << name;
    }
    // Inside a transaction, too: after the failure the connection still takes statements.
    service->GetConnection().BeginTransaction();
    EXPECT_THROW(service->GetData({QStringLiteral("Unconvertible")}, {}), EDAException);
    EXPECT_EQ(service->GetData({QStringLiteral("Kinds")}, {}), whole);
    service->GetConnection().RollbackTransaction();
}

} // namespace
