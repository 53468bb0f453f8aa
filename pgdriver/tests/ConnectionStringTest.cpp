// How connection strings in the system's grammar become provider settings and libpq targets.
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionStringParser.h"
#include "dataaccess/uDADriverManager.h"
#include "pgdriver/uDAADODriver.h"

#include <gtest/gtest.h>

namespace {

const TDAADODriver kRegistration;

std::unique_ptr<TDAEADOConnection> applied(const QString &text)
{
    auto c = std::make_unique<TDAEADOConnection>();
    c->SetConnectionString(text);
    return c;
}

} // namespace

TEST(ConnectionStringParser, ReadsDriverAndFrameworkItems)
{
    TDAConnectionStringParser p(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=HOST;Database=Kestrova;UserID=sa;Password=pw;"));
    EXPECT_EQ(p.DriverID(), QStringLiteral("ADO"));
    EXPECT_EQ(p.AuxDriver(), QStringLiteral("SQLOLEDB.1"));
    EXPECT_EQ(p.Server(), QStringLiteral("HOST"));
    EXPECT_EQ(p.Database(), QStringLiteral("Kestrova"));
    EXPECT_EQ(p.UserID(), QStringLiteral("sa"));
    EXPECT_EQ(p.Password(), QStringLiteral("pw"));
    EXPECT_TRUE(p.AuxParams().isEmpty());
}

TEST(ConnectionStringParser, MatchesItemNamesWithoutCaseAndKeepsOtherItemsInOrder)
{
    TDAConnectionStringParser p(QStringLiteral(" ado ? auxdriver = SQLNCLI.1 ; SERVER=h;Data Source=x;@Mode=Read;;Schemas=1"));
    EXPECT_EQ(p.DriverID(), QStringLiteral("ado"));
    EXPECT_EQ(p.AuxDriver(), QStringLiteral("SQLNCLI.1"));
    EXPECT_EQ(p.Server(), QStringLiteral("h"));
    ASSERT_EQ(p.AuxParams().size(), 3);
    EXPECT_EQ(p.AuxParams()[0].first, QStringLiteral("Data Source"));
    EXPECT_EQ(p.AuxParams()[1].first, QStringLiteral("@Mode"));
    EXPECT_EQ(p.AuxParams()[2].second, QStringLiteral("1"));
}

TEST(ConnectionStringParser, QuotedValuesMayHoldSemicolonsAndEqualSigns)
{
    TDAConnectionStringParser p(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Password=\"a;b=\"\"c\"\"\";UserID='x;y';Database=d=e"));
    EXPECT_EQ(p.Password(), QStringLiteral("a;b=\"c\""));
    EXPECT_EQ(p.UserID(), QStringLiteral("x;y"));
    EXPECT_EQ(p.Database(), QStringLiteral("d=e"));
}

TEST(ConnectionStringParser, ReadsTheBareProviderFormAsTheADODriver)
{
    TDAConnectionStringParser p(QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Initial Catalog=Kestrova;Data Source=HOST"));
    EXPECT_EQ(p.DriverID(), QStringLiteral("ADO"));
    EXPECT_EQ(p.AuxDriver(), QStringLiteral("SQLOLEDB.1"));
    EXPECT_EQ(p.AuxParam(QStringLiteral("initial catalog")), QStringLiteral("Kestrova"));
}

TEST(ConnectionStringParser, RefusesTextWithoutDriver)
{
    EXPECT_THROW(TDAConnectionStringParser(QStringLiteral("Server=x;Database=y")), EDADriverException);
    EXPECT_THROW(TDAConnectionStringParser{QString()}, EDADriverException);
}

TEST(ADOConnectionString, DefaultDefinitionGivesSixPartsInOrder)
{
    const auto c = applied(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=HOST;Database=Kestrova;UserID=sa;Password=pw;"));
    EXPECT_EQ(c->GetADOConnectionString(),
              QStringLiteral("Provider=SQLOLEDB.1;User ID=sa;Password=pw;Initial Catalog=Kestrova;Data Source=HOST;OLE DB SERVICES=-2;"));
    EXPECT_FALSE(c->GetNativeSchemas());
    EXPECT_EQ(c->GetProviderKind(), TDAOleDBProviderType::oledb_MSSQL);
}

TEST(ADOConnectionString, WithoutUserAndPasswordThosePartsAreMissing)
{
    const auto c = applied(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=HOST;Database=Kestrova;"));
    EXPECT_EQ(c->GetADOConnectionString(), QStringLiteral("Provider=SQLOLEDB.1;Initial Catalog=Kestrova;Data Source=HOST;OLE DB SERVICES=-2;"));
}

TEST(ADOConnectionString, ProviderNamesStandInForFrameworkNames)
{
    const auto c = applied(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=HOST;Initial Catalog=Kestrova;User ID=sa;"));
    EXPECT_EQ(c->GetADOConnectionString(), QStringLiteral("Provider=SQLOLEDB.1;User ID=sa;Initial Catalog=Kestrova;Data Source=HOST;OLE DB SERVICES=-2;"));
}

TEST(ADOConnectionString, NativeClientSetsNativeSchemas)
{
    EXPECT_TRUE(applied(QStringLiteral("ADO?AuxDriver=SQLNCLI.1;Server=h;"))->GetNativeSchemas());
    EXPECT_TRUE(applied(QStringLiteral("ADO?AuxDriver=MSDASQL.1;Schemas=1;"))->GetNativeSchemas());
    EXPECT_FALSE(applied(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Schemas=0;"))->GetNativeSchemas());
}

TEST(ADOConnectionString, AtPrefixedItemsPassWithoutPrefixAndCursorSettingsAreConsumed)
{
    const auto c = applied(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;CursorLocation=clUseClient;@Mode=Read;CursorType=ctStatic;LockType=nonsense"));
    EXPECT_EQ(c->GetADOConnectionString(), QStringLiteral("Provider=SQLOLEDB.1;OLE DB SERVICES=-2;Mode=Read;"));
    EXPECT_EQ(c->GetCursorLocation(), TDAADOCursorLocation::clUseClient);
    EXPECT_EQ(c->GetCursorType(), TDAADOCursorType::ctStatic);
    EXPECT_EQ(c->GetLockType(), TDAADOLockType::ltReadOnly);
}

TEST(ADOConnectionString, AccessPutsTheDatabaseFileInDataSource)
{
    const auto c = applied(QStringLiteral("ADO?AuxDriver=Microsoft.Jet.OLEDB.4.0;Server=ignored;Database=C:\\a.mdb;"));
    EXPECT_EQ(c->GetADOConnectionString(), QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.mdb;"));
}

TEST(ADOConnectionString, MissingAuxDriverRaisesAndLeavesTheStringUnchanged)
{
    TDAEADOConnection c;
    c.SetConnectionString(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=a;"));
    try {
        c.SetConnectionString(QStringLiteral("ADO?Server=HOST;"));
        FAIL() << "no exception";
    } catch (const EDADriverException &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No aux driver specified for ADO connection"));
    }
    EXPECT_EQ(c.GetConnectionString(), QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=a;"));
}

TEST(ADOConnectionString, OtherProviderKindsAreRefusedWhenOpening)
{
    TDAEADOConnection c;
    c.SetConnectionString(QStringLiteral("ADO?AuxDriver=OraOLEDB.Oracle;Server=x;"));
    try {
        c.Open();
        FAIL() << "no exception";
    } catch (const EDADriverException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("OraOLEDB.Oracle")));
    }
    EXPECT_FALSE(c.GetConnected());
}

TEST(ADODriver, DescribesItselfAndItsProviders)
{
    IDADriver *driver = DriverByID(QStringLiteral("ado"));
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->GetDescription(), QStringLiteral("Borland ADOExpress Driver"));
    EXPECT_EQ(driver->GetDriverOptions(), 31);
    EXPECT_EQ(driver->GetDefaultConnectionType(QStringLiteral("SQLNCLI.1")), QStringLiteral("MSSQL"));
    EXPECT_EQ(driver->GetDefaultConnectionType(QStringLiteral("Microsoft.Jet.OLEDB.4.0")), QStringLiteral("Access"));
    const QStringList aux = driver->GetAuxParams(QStringLiteral(" sqloledb.1 "));
    EXPECT_EQ(aux.last(), QStringLiteral("CursorLocation=clUseServer;@Mode=Read"));
    EXPECT_EQ(aux.size() - aux.indexOf(QStringLiteral("CursorLocation=(clUseServer,clUseClient)")), 6);
    EXPECT_EQ(driver->GetAuxDrivers().size(), 7);
    auto *ado = static_cast<TDAEADODriver *>(driver);
    EXPECT_EQ(ado->GetProviderDefaultParameters(QStringLiteral("sqlncli.1")), QStringLiteral("Schemas=1;Integrated Security=SSPI;"));
    EXPECT_EQ(ado->GetProviderDefaultParameters(QStringLiteral("SQLOLEDB.1")), QStringLiteral("Integrated Security=SSPI;"));
    EXPECT_EQ(ado->GetProviderDefaultParameters(QStringLiteral("x")), QString());
}

TEST(DriverRegistry, UnknownDriverIsNamedInTheError)
{
    try {
        DriverByID(QStringLiteral("SDAC"));
        FAIL() << "no exception";
    } catch (const EDADriverException &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("SDAC")));
    }
}

TEST(DriverRegistry, UnregisteredDriverIsNoLongerFound)
{
    UnregisterDriverProc(&GetDriverObject);
    EXPECT_THROW(DriverByID(QStringLiteral("ADO")), EDADriverException);
    RegisterDriverProc(&GetDriverObject);
    EXPECT_NO_THROW(DriverByID(QStringLiteral("ADO")));
}
