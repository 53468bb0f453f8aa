#include "testsupport/ReportServerFixture.h"

#include "client/uDMClient.h"
#include "server/services/uReportService.h"

#include "Quorva_Data_Service_Invk.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/RORegistry.h"

#include <QDir>
#include <QFile>

namespace kestrova::test {

namespace {

const QString kSourceReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");
const QString kStagedReports = QStringLiteral(KESTROVA_STAGE_DIR "/Reports/");

std::unique_ptr<ReportServer> g_server;
bool g_tried = false;

// Ends the server after the last test, while the application still runs.
class ReportServerEnvironment : public ::testing::Environment
{
public:
    void TearDown() override
    {
        if (!g_server)
            return;
        g_server->Client.reset();
        g_server->Service.reset();
        g_server->Stop();
        g_server.reset();
    }
};

[[maybe_unused]] ::testing::Environment *const g_environment = ::testing::AddGlobalTestEnvironment(new ReportServerEnvironment);

const char *kFixture = R"(
INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyStreet, FamilyCity, FamilyState, FamilyZip, FamilyPhone1, FamilyEmail1)
  VALUES ('{F1000000-0000-0000-0000-000000000001}', 'Adams', '1 Main St', 'Springfield', 'IL', '62701', '555-0100', 'adams@example.org'),
         ('{F1000000-0000-0000-0000-000000000002}', 'Ølberg', 'Hauptstraße 5', 'Wien', 'W', '1010', NULL, NULL);
INSERT INTO tblContacts (PK_ContactID, Title, FirstName, MiddleName, LastName, Suffix, Street, City, State, Zip, phone1, EMail1,
                         F_FamilyID, DateOfBirth, Comments)
  VALUES ('{C1000000-0000-0000-0000-000000000001}', 'Mr', 'John', 'Paul', 'Adams', NULL, '1 Main St', 'Springfield', 'IL', '62701',
          '555-0101', 'john@example.org', '{F1000000-0000-0000-0000-000000000001}', '1970-03-04', NULL),
         ('{C1000000-0000-0000-0000-000000000002}', NULL, 'Mary', NULL, 'Baker', 'Jr', '2 Oak Ave', 'Springfield', 'IL', '62702',
          '555-0102', NULL, NULL, NULL, NULL),
         ('{C1000000-0000-0000-0000-000000000003}', NULL, 'Quentin', NULL, 'O''Neil', NULL, '3 Pine Rd', 'Peoria', 'IL', '61602',
          NULL, NULL, NULL, NULL, NULL),
         ('{C1000000-0000-0000-0000-000000000004}', NULL, 'Zoë "Zizi"', NULL, 'Ølstrup-Дмитриев', NULL, 'Hauptstraße 5', 'Wien', 'W',
          '1010', '+43 1 234', 'zoe@example.at', '{F1000000-0000-0000-0000-000000000002}', NULL, NULL);
INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID)
  VALUES ('{61000000-0000-0000-0000-000000000001}', 'Choir', '{00000000-0000-0000-0000-000000000000}'),
         ('{61000000-0000-0000-0000-000000000002}', 'Lectors', '{00000000-0000-0000-0000-000000000000}');
INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID)
  VALUES ('{GM1}', '{61000000-0000-0000-0000-000000000001}', '{C1000000-0000-0000-0000-000000000001}'),
         ('{GM2}', '{61000000-0000-0000-0000-000000000001}', '{C1000000-0000-0000-0000-000000000002}'),
         ('{GM3}', '{61000000-0000-0000-0000-000000000002}', '{C1000000-0000-0000-0000-000000000003}'),
         ('{GM4}', '{61000000-0000-0000-0000-000000000002}', '{C1000000-0000-0000-0000-000000000004}');
INSERT INTO tblLocations (PK_LocationID, LocationName, LocationAddress, LocationPhone1) VALUES ('{L1}', 'St. Mary', '10 Church Sq', '555-0199');
INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyTemplateComments)
  VALUES ('{LT1}', 'Sunday 10:00', '{L1}', NULL), ('{LT2}', 'Saturday Vigil', '{L1}', NULL);
INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, MinistryFunctionAbr, AllowDuplicate)
  VALUES ('{MF1}', 'Lector', 'LEC', 0), ('{MF2}', 'Usher', 'USH', 1);
INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName) VALUES ('{MT1}', 'Sunday');
INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, MinistryFunctionCount)
  VALUES ('{TL1}', '{MT1}', '{MF1}', 2);
INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn)
  VALUES ('{P1}', '{C1000000-0000-0000-0000-000000000001}', '{MF1}', 0), ('{P2}', '{C1000000-0000-0000-0000-000000000002}', '{MF2}', 1),
         ('{P3}', '{C1000000-0000-0000-0000-000000000003}', '{MF1}', 0), ('{P4}', '{C1000000-0000-0000-0000-000000000004}', '{MF1}', 0);
INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID)
  VALUES ('{PL1}', '{P1}', '{C1000000-0000-0000-0000-000000000001}', '{LT1}');
INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventLocationID)
  VALUES ('{E1}', '2026-03-08 10:00', '2026-03-08 11:00', '{L1}'), ('{E2}', '2026-03-14 23:30', '2026-03-14 23:59', '{L1}'),
         ('{E3}', '2026-03-15 00:00', '2026-03-15 01:00', '{L1}'), ('{E4}', '2026-05-03 10:00', '2026-05-03 11:00', '{L1}');
INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID, FeastName)
  VALUES ('{SL1}', '{E1}', '{LT1}', 'Lent 3'), ('{SL2}', '{E2}', '{LT2}', NULL), ('{SL3}', '{E3}', '{LT1}', NULL),
         ('{SL4}', '{E4}', '{LT1}', NULL);
INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID,
                                           MemberNotAttended, MemberPosition, FlagMinister)
  VALUES ('{S1}', '{SL1}', '{MF1}', '{C1000000-0000-0000-0000-000000000001}', 1, NULL, 0),
         ('{S2}', '{SL1}', '{MF2}', '{C1000000-0000-0000-0000-000000000002}', 0, NULL, 0),
         ('{S3}', '{SL2}', '{MF1}', '{C1000000-0000-0000-0000-000000000003}', 0, NULL, 0),
         ('{S4}', '{SL3}', '{MF1}', '{C1000000-0000-0000-0000-000000000004}', 0, NULL, 0),
         ('{S5}', '{SL4}', '{MF1}', '{C1000000-0000-0000-0000-000000000001}', 0, NULL, 0);
)";

void Start(ReportServer &server)
{
    server.Start();
    if (::testing::Test::IsSkipped() || ::testing::Test::HasFatalFailure())
        return;
    server.Reports = server.folder.path() + QStringLiteral("/Reports/");
    ASSERT_TRUE(QDir().mkpath(server.Reports));
    for (const QString &name : QDir(kSourceReports).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(kSourceReports + name, server.Reports + name));
    for (const QString &name : QDir(kStagedReports).entryList({QStringLiteral("*.docx")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(kStagedReports + name, server.Reports + name));
    UnregisterClassFactory(QStringLiteral("ReportService"));
    TDAConnectionManager *manager = &server.server->ConnectionManager();
    const QString path = server.Reports;
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("ReportService"), [manager, path] { return std::make_unique<TReportService>(TReportServiceContext{*manager, path}); },
        std::make_shared<TReportService_Invoker>()));
    server.Sql(QString::fromUtf8(kFixture));
    server.Admin = server.Administrator();
    server.Service = server.Admin.Service<CoReportService>();

    // The host, logged on as the administrator through its own channel.
    server.Program = std::make_unique<ProgramFolder>();
    server.Client = std::make_unique<TDMClient>(server.Program->ProgramPath());
    server.Client->ReadConfiguration();
    const QString url = QStringLiteral("http://127.0.0.1:%1/Bin").arg(server.http.Port());
    server.Client->ROHTTP()->SetTargetURL(url);
    server.Client->ROHTTPEvents()->SetTargetURL(url);
    std::unique_ptr<ROUser> user;
    ASSERT_EQ(CoLogOnService::Create(server.Client->ROBinMgs(), server.Client->ROHTTP())
                  ->VerifyUser(server.Client->ApplicationID(), QStringLiteral("admin"), QStringLiteral("admin-Secret1"), false,
                               QString(), false, user),
              0);
    server.Client->SetLoggedOnUser(user->UserID, user->UserName, user->UserLevel);
}

} // namespace

ReportServer *SharedReportServer()
{
    if (!g_tried) {
        g_tried = true;
        g_server = std::make_unique<ReportServer>();
        Start(*g_server);
        if (::testing::Test::IsSkipped() || ::testing::Test::HasFailure() || !g_server->Client) {
            if (g_server->Service || g_server->Client)
                g_server->Stop();
            g_server.reset();
        }
    }
    return g_server.get();
}

} // namespace kestrova::test
