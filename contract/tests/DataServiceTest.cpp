// A data service object over a real database, reached through the generated proxy: the generic
// operations read the schema's datasets, and SQL from a client is refused.
#include "testsupport/FakeServices.h"
#include "contract/TDataServiceBase.h"

#include "dataaccess/TDADataStreamer.h"
#include "pgdriver/uDAADODriver.h"
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kSchema = R"(<?xml version="1.0" encoding="UTF-8"?>
<Schema Name="Resources">
  <Dataset Name="Locations" Table="tblLocations">
    <Field Name="PK_LocationID" Type="String" Size="38" Key="true" Required="true"/>
    <Field Name="LocationName" Type="String" Size="100"/>
    <Statement>SELECT PK_LocationID, LocationName FROM tblLocations ORDER BY LocationName, PK_LocationID</Statement>
  </Dataset>
</Schema>)";

class ResourceDouble : public TDataServiceBase, public IResourceService
{
public:
    using TDataServiceBase::TDataServiceBase;
    bool queryInterface(const QUuid &id, void **object) override { return TDataServiceBase::queryInterface(id, object); }
    bool DeleteMinistryFunctions(const QString &) override { return false; }
};

TEST(ContractDataService, GenericOperationsReachTheSchemaAndRefuseClientSql)
{
    TDAADODriver driver;
    kestrova::test::TestDatabase db;
    if (!db.available())
        GTEST_SKIP();
    db.exec(QStringLiteral("DELETE FROM dbo.tblLocations"));
    db.exec(QStringLiteral("INSERT INTO dbo.tblLocations (PK_LocationID, LocationName) VALUES ('{B}', 'St. Mary'), ('{A}', 'Chapel')"));

    static TDASchema schema;
    schema.LoadFromXml(kSchema);
    static TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("ResourceService"), [] { return std::make_unique<ResourceDouble>(schema, manager); },
        std::make_shared<TResourceService_Invoker>()));

    TROMessageDispatcher dispatcher(nullptr, nullptr);
    auto channel = std::make_shared<LoopbackChannel>(dispatcher);
    TRORemoteService remote(std::make_shared<TROMessage>(), channel);
    auto proxy = remote.CreateProxy(IResourceService::IID);
    auto *service = dynamic_cast<IResourceService *>(proxy.get());
    ASSERT_TRUE(service);

    TableRequestInfoV5 all;
    all.MaxRecords = -1;
    const auto stream = service->GetData({QStringLiteral("Locations")}, {all});
    ASSERT_TRUE(stream);
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(stream->Bytes());
    ASSERT_EQ(tables.size(), 1);
    ASSERT_EQ(tables[0].Rows.size(), 2);
    EXPECT_EQ(tables[0].Rows[0][1].toString(), QStringLiteral("Chapel"));
    EXPECT_TRUE(service->GetSchema(QString()).contains(QStringLiteral("Locations")));

    EXPECT_THROW(service->SQLGetData(QStringLiteral("SELECT * FROM tblUsers"), true, -1), EROServerError);
    EXPECT_THROW(service->SQLExecuteCommand(QStringLiteral("DROP TABLE tblLocations")), EROServerError);
    EXPECT_THROW(service->GetData({QStringLiteral("tblUsers")}, {all}), EROServerError);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLocations")), QStringLiteral("2"));
    UnregisterClassFactory(QStringLiteral("ResourceService"));
}

} // namespace
