// Every shipped report rendered with real data: the template and the data come from the
// report service over HTTP as the client fetches them, the engine renders them, and the
// PDF is read back with pdftotext page by page; labels are counted per sheet. The exports of
// one report are read with the users' tools, and GenerateReport renders on the server.
#include "testsupport/ServiceHarness.h"

#include "server/services/uReportService.h"

#include "Quorva_Data_Service_Invk.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/IniFile.h"
#include "remoting/ROErrors.h"
#include "remoting/RORegistry.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportExport.h"
#include "reporting/WordMailMerge.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>

#include <future>
#include <vector>

namespace {

const QString kSourceReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");

QString Period(const QString &from, const QString &to)
{
    return QStringLiteral(" tblEvents.StartDateTime >= #%1# AND tblEvents.StartDateTime < #%2#").arg(from, to);
}

// The names of the 32 contacts that fill the lists and label sheets beyond the first page.
QString Filler(int i)
{
    return QStringLiteral("Zeller%1").arg(i, 2, 10, QLatin1Char('0'));
}

// One server and database for the whole suite: its tests only read.
struct RenderingServer : kestrova::test::ServiceServer
{
    QString reports;
    kestrova::test::ServiceClient client;
    std::unique_ptr<IReportService> service;
};

class ReportRendering : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        shared = std::make_unique<RenderingServer>();
        shared->Start();
        if (::testing::Test::IsSkipped() || ::testing::Test::HasFailure())
            return;
        shared->reports = shared->folder.path() + QStringLiteral("/Reports/");
        ASSERT_TRUE(QDir().mkpath(shared->reports));
        for (const QString &name : QDir(kSourceReports).entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(kSourceReports + name, shared->reports + name));
        UnregisterClassFactory(QStringLiteral("ReportService"));
        TDAConnectionManager *manager = &shared->server->ConnectionManager();
        const QString path = shared->reports;
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("ReportService"),
            [manager, path] { return std::make_unique<TReportService>(TReportServiceContext{*manager, path}); },
            std::make_shared<TReportService_Invoker>()));
        shared->client = shared->Administrator();
        shared->service = shared->client.Service<CoReportService>();
        Fixture();
    }

    static void TearDownTestSuite()
    {
        if (shared)
            shared->Stop();
        shared.reset();
    }

    void SetUp() override
    {
        if (!shared || !shared->service)
            GTEST_SKIP() << "no server for the reports";
        service = shared->service.get();
        reports = shared->reports;
    }

    static void Fixture()
    {
        QString fillers;
        for (int i = 1; i <= 32; ++i)
            fillers += QStringLiteral(",\n ('{Z%1}', NULL, 'Ann', NULL, '%2', NULL, '%3 Elm St', 'Dayton', 'OH', '454%1', NULL, NULL, NULL, NULL, NULL)")
                           .arg(i, 2, 10, QLatin1Char('0'))
                           .arg(Filler(i))
                           .arg(i);
        shared->Sql(QStringLiteral(R"(
INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyStreet, FamilyCity, FamilyState, FamilyZip, FamilyPhone1, FamilyEmail1)
  VALUES ('{F1}', 'Adams', '1 Main St', 'Springfield', 'IL', '62701', '555-0100', 'adams@example.org'),
         ('{F2}', 'Baker', '2 Oak Ave', 'Springfield', 'IL', '62702', NULL, NULL);
INSERT INTO tblContacts (PK_ContactID, Title, FirstName, MiddleName, LastName, Suffix, Street, City, State, Zip, phone1, EMail1,
                         F_FamilyID, DateOfBirth, Comments)
  VALUES ('{C1}', 'Mr', 'John', 'Paul', 'Adams', NULL, '1 Main St', 'Springfield', 'IL', '62701', '555-0101', 'john@example.org',
          '{F1}', '1970-03-04', 'Prefers mornings'),
         ('{C2}', NULL, 'Mary', NULL, 'Baker', 'Jr', '2 Oak Ave', 'Springfield', 'IL', '62702', '555-0102', NULL, '{F2}', NULL, NULL),
         ('{C3}', NULL, 'Quentin', NULL, 'O''Neil', NULL, '3 Pine Rd', 'Peoria', 'IL', '61602', NULL, NULL, NULL, NULL, NULL)%1;
INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID)
  VALUES ('{G1}', 'Choir', '{00000000-0000-0000-0000-000000000000}'), ('{G2}', 'Lectors', '{00000000-0000-0000-0000-000000000000}');
INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID)
  VALUES ('{GM1}', '{G1}', '{C1}'), ('{GM2}', '{G1}', '{C2}'), ('{GM3}', '{G2}', '{C3}'), ('{GM4}', '{G2}', '{C1}');
INSERT INTO tblLocations (PK_LocationID, LocationName, LocationAddress, LocationPhone1)
  VALUES ('{L1}', 'St. Mary', '10 Church Sq', '555-0199');
INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyTemplateComments)
  VALUES ('{LT1}', 'Sunday 10:00', '{L1}', 'Sung mass'), ('{LT2}', 'Saturday Vigil', '{L1}', NULL);
INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, MinistryFunctionAbr, AllowDuplicate, F_CreatedUserID)
  VALUES ('{MF1}', 'Lector', 'LEC', 0, '{A0000000-0000-0000-0000-0000000000AD}'), ('{MF2}', 'Usher', 'USH', 1, NULL);
INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName) VALUES ('{MT1}', 'Sunday');
INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, MinistryFunctionCount)
  VALUES ('{TL1}', '{MT1}', '{MF1}', 2), ('{TL2}', '{MT1}', '{MF2}', 4);
INSERT INTO tblServingFrequency (PK_ServingFrequencyID, ServingFreqencyAsInteger) VALUES ('{SF1}', 1), ('{SF3}', 3);
INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn)
  VALUES ('{P1}', '{C1}', '{MF1}', 0), ('{P2}', '{C2}', '{MF2}', 1), ('{P3}', '{C3}', '{MF1}', 0);
INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID)
  VALUES ('{PL1}', '{P1}', '{C1}', '{LT1}');
INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_FrequencyID)
  VALUES ('{PF1}', '{P1}', '{C1}', '{SF1}'), ('{PF3}', '{P1}', '{C1}', '{SF3}');
INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID)
  VALUES ('{R1}', '{C1}', '{C2}', '{AE7ADCC4-541B-497C-BB5B-B0005C51471E}');
INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventLocationID)
  VALUES ('{E1}', '2026-03-08 10:00', '2026-03-08 11:00', '{L1}'), ('{E2}', '2026-03-14 17:00', '2026-03-14 18:00', '{L1}'),
         ('{E3}', '2026-05-03 10:00', '2026-05-03 11:00', '{L1}');
INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID, FeastName)
  VALUES ('{SL1}', '{E1}', '{LT1}', 'Lent 3'), ('{SL2}', '{E2}', '{LT2}', NULL), ('{SL3}', '{E3}', '{LT1}', NULL);
INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID,
                                           MemberNotAttended, MemberPosition, FlagMinister)
  VALUES ('{S1}', '{SL1}', '{MF1}', '{C1}', 1, 'A', 1), ('{S2}', '{SL1}', '{MF2}', '{C2}', 0, NULL, 0),
         ('{S3}', '{SL1}', '{MF2}', NULL, 0, NULL, 0), ('{S4}', '{SL2}', '{MF1}', '{C3}', 0, NULL, 0),
         ('{S5}', '{SL3}', '{MF1}', '{C1}', 0, NULL, 0);
)").arg(fillers));
    }

    struct Definition
    {
        QString ReportName, Landscape, Portrait, DataSource, OrderBy;
    };

    static Definition Read(const QString &file)
    {
        IniFile ini(kSourceReports + file);
        EXPECT_TRUE(ini.load());
        const QString section = QStringLiteral("Report definition");
        return Definition{ini.value(section, QStringLiteral("Report Name")), ini.value(section, QStringLiteral("Report Name Landscape")),
                          ini.value(section, QStringLiteral("Report Name Portrait")), ini.value(section, QStringLiteral("Data source")),
                          ini.value(section, QStringLiteral("ORDER BY"))};
    }

    // The report as the client renders it: template and data from the service.
    ReportDocument Render(const QString &templateName, const QString &dataset, const QString &criteria, const QString &order)
    {
        const auto layout = service->GetReportFile(templateName);
        EXPECT_TRUE(layout && !layout->Bytes().isEmpty()) << templateName.toStdString();
        const auto data = service->GetReportDataAsDataset(dataset, criteria, order);
        EXPECT_TRUE(data);
        if (!layout || !data)
            return {};
        ReportRenderOptions options;
        options.Now = QDateTime(QDate(2026, 2, 27), QTime(8, 0));
        return ReportEngine::Render(ReportTemplate::FromXml(layout->Bytes()), TDADataStreamer::ReadDatasets(data->Bytes()).value(0), options);
    }

    QStringList Pages(const QString &templateName, const QString &dataset, const QString &criteria, const QString &order)
    {
        const ReportDocument document = Render(templateName, dataset, criteria, order);
        if (document.IsEmpty()) {
            ADD_FAILURE() << templateName.toStdString() << " has no pages";
            return {};
        }
        return kestrova::test::PdfPages(ReportExport::ToBytes(document, ReportExportKind::Pdf));
    }

    // The template of a definition (its portrait one when it has two), as the chooser picks it.
    QStringList PagesOf(const QString &file, const QString &criteria, bool landscape = false)
    {
        const Definition definition = Read(file);
        const QString name = definition.Portrait.isEmpty() ? definition.ReportName : landscape ? definition.Landscape : definition.Portrait;
        return Pages(name, definition.DataSource, criteria, definition.OrderBy);
    }

    static int Occurrences(const QString &page, const QRegularExpression &pattern)
    {
        return int(page.count(pattern));
    }

    static inline std::unique_ptr<RenderingServer> shared;
    IReportService *service = nullptr;
    QString reports;
};

// Every text is expected on its page, in the order given.
void ExpectOnPages(const QStringList &pages, const QList<QStringList> &expected, const char *report)
{
    ASSERT_EQ(pages.size(), expected.size()) << report << "\n" << pages.join(QStringLiteral("\n-----\n")).toStdString();
    for (int p = 0; p < pages.size(); ++p) {
        qsizetype from = 0;
        for (const QString &text : expected.at(p)) {
            const qsizetype at = pages.at(p).indexOf(text, from);
            EXPECT_GE(at, 0) << report << ": \"" << text.toStdString() << "\" not on page " << p + 1 << " (after the texts before it)\n"
                             << pages.at(p).toStdString();
            if (at >= 0)
                from = at + text.size();
        }
    }
}

const QString kMarch = Period(QStringLiteral("03/01/2026"), QStringLiteral("04/01/2026"));
const QString kSpring = Period(QStringLiteral("03/01/2026"), QStringLiteral("06/01/2026"));
const QString kSelected = QStringLiteral("(PK_ContactID='{C1}') or (PK_ContactID='{C2}')");

} // namespace

TEST_F(ReportRendering, TheContactListRunsOverTwoPagesWithItsHeadingsAndTotal)
{
    ExpectOnPages(PagesOf(QStringLiteral("ContactList.def"), {}),
                  {{"Contact list", "Printed February 27, 2026", "Name", "Address", "Phone", "E-mail", "Adams, Mr John P", "1 Main St",
                    "555-0101", "john@example.org", "Springfield, IL 62701", "Baker, Jr, Mary", "O'Neil, Quentin", "Zeller01, Ann",
                    "Page 1 of 2"},
                   {"Contact list", "Zeller32, Ann", "32 Elm St", "Dayton, OH 45432", "35 contacts", "Page 2 of 2"}},
                  "ContactList");
    ExpectOnPages(PagesOf(QStringLiteral("ContactList.def"), {}, true),
                  {{"Contact list", "Name", "Street", "City, state, zip", "Adams, Mr John P", "1 Main St", "Springfield, IL 62701",
                    "Zeller20, Ann", "Page 1 of 2"},
                   {"Zeller32, Ann", "35 contacts", "Page 2 of 2"}},
                  "ContactListL");
}

TEST_F(ReportRendering, ContactDetailsAndTheVerificationFormGiveEachPersonAPage)
{
    ExpectOnPages(PagesOf(QStringLiteral("ContactDetails.def"), kSelected),
                  {{"Contact details", "Mr John Paul Adams", "Address", "1 Main St", "Springfield, IL 62701", "Date of birth", "March 4, 1970",
                    "555-0101", "john@example.org", "Comments", "Prefers mornings", "Page 1 of 2"},
                   {"Mary Baker, Jr", "2 Oak Ave", "Springfield, IL 62702", "Page 2 of 2"}},
                  "ContactDetails");
    ExpectOnPages(PagesOf(QStringLiteral("MinisterVerification.def"), kSelected),
                  {{"Minister verification", "Your details", "Member of", "Mr Adams, John", "Adams", "1 Main St", "Choir",
                    "Serving preferences", "Lector at Sunday 10:00 on 1st, 3rd weekend(s)", "Always serve with", "Mary Baker",
                    "Prefers mornings", "Corrections", "Signed"},
                   {"Baker, Mary Jr", "Usher at all liturgies on all weekends.", "John Adams", "Page 2 of 2"}},
                  "MinisterVerification");
}

TEST_F(ReportRendering, LabelReportsPutThirtyLabelsOnASheet)
{
    const QRegularExpression filler(QStringLiteral("ZELLER\\d\\d"));
    // All contacts: 35 labels, 30 on the first sheet.
    const QStringList contacts = PagesOf(QStringLiteral("ContactLabels.def"), {});
    ASSERT_EQ(contacts.size(), 2);
    EXPECT_EQ(Occurrences(contacts.at(0), filler) + 3, 30);
    EXPECT_EQ(Occurrences(contacts.at(1), filler), 5);
    ExpectOnPages(contacts, {{"MR JOHN ADAMS", "MARY BAKER", "1 MAIN ST", "2 OAK AVE", "SPRINGFIELD, IL 62701"}, {"ANN ZELLER28", "ANN ZELLER32", "32 ELM ST", "DAYTON, OH 45432"}},
                  "ContactLabels");
    // The families' address labels of the chooser's check box use the same sheet.
    const QStringList inFamily = Pages(QStringLiteral("ContactLabels.rtm"), QStringLiteral("DARptLabelsContactsInFamily"), {},
                                       QStringLiteral("CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE "
                                                      "Upper(FamilyName) END"));
    ASSERT_EQ(inFamily.size(), 2);
    EXPECT_TRUE(inFamily.at(0).contains(QStringLiteral("ADAMS")));

    ExpectOnPages(PagesOf(QStringLiteral("FamilyLabels.def"), QStringLiteral(" NOT PK_FamilyID IS NULL")), {{"ADAMS", "BAKER", "1 MAIN ST", "2 OAK AVE", "SPRINGFIELD, IL 62701"}},
                  "FamilyLabels");
    const QStringList households = PagesOf(QStringLiteral("HouseholdLabels.def"), {});
    ASSERT_EQ(households.size(), 2);
    EXPECT_EQ(Occurrences(households.join(QString()), filler), 32);
    EXPECT_TRUE(households.at(0).contains(QStringLiteral("ADAMS")));
    // The client writes the groups view's "theID" as "PK_GroupID" for the group labels.
    ExpectOnPages(PagesOf(QStringLiteral("GroupLabels.def"), QStringLiteral(" PK_GroupID LIKE '{G1}'")),
                  {{"BAKER, MARY JR", "MR ADAMS, JOHN", "2 OAK AVE", "1 MAIN ST"}}, "GroupLabels");
    ExpectOnPages(PagesOf(QStringLiteral("ScheduledMinisterLabels.def"), kMarch),
                  {{"MR JOHN ADAMS", "MARY BAKER", "QUENTIN O'NEIL", "1 MAIN ST", "3 PINE RD"}}, "ScheduledMinisterLabels");
}

TEST_F(ReportRendering, FamilyAndGroupListsShowEachGroupWithItsMembers)
{
    ExpectOnPages(PagesOf(QStringLiteral("FamilyList.def"), QStringLiteral(" NOT PK_FamilyID IS NULL")),
                  {{"Family list", "ADAMS", "1 Main St", "555-0100", "adams@example.org", "Adams, Mr John", "555-0101", "BAKER", "2 Oak Ave",
                    "Baker, Jr, Mary", "555-0102", "Page 1 of 1"}},
                  "FamilyList");
    ExpectOnPages(PagesOf(QStringLiteral("GroupDirectory.def"), QStringLiteral(" theID LIKE '{G1}'")),
                  {{"Report : Groups", "Choir", "Baker, Mary Jr", "2 Oak Ave", "Phone:", "555-0102", "Mr Adams, John", "1 Main St", "Phone:",
                    "555-0101", "Email 1:", "john@example.org", "Report created with Pellorin", "Kestrova- powered by Quorva", "Page 1 of 1"}},
                  "GroupDirectory");
    ExpectOnPages(PagesOf(QStringLiteral("GroupMembers.def"), {}),
                  {{"Group members", "Choir", "Adams, Mr John", "555-0101", "john@example.org", "Baker, Jr, Mary", "2 members", "Lectors",
                    "Adams, Mr John", "O'Neil, Quentin", "2 members"}},
                  "GroupMembers");
}

TEST_F(ReportRendering, ScheduleReportsShowThePeriodsLiturgiesAndMinisters)
{
    ExpectOnPages(PagesOf(QStringLiteral("MinistrySchedule.def"), kMarch),
                  {{"Ministry schedule", "Sunday, 8 March 2026", "10:00", "Sunday 10:00, St. Mary", "(Lent 3)", "Lector",
                    "Adams, Mr John P: A", "Usher", "Baker, Jr, Mary", "Usher", "No minister assigned", "Saturday, 14 March 2026", "17:00",
                    "Saturday Vigil", "Lector", "O'Neil, Quentin"}},
                  "MinistrySchedule");
    ExpectOnPages(PagesOf(QStringLiteral("MinistrySchedule.def"), kMarch, true),
                  {{"Ministry schedule", "Time", "Liturgy", "Location", "Feast", "Sunday, 8 March 2026", "10:00", "Sunday 10:00", "St. Mary",
                    "Lent 3", "Lector", "Adams, Mr John P: A", "Saturday, 14 March 2026", "O'Neil, Quentin"}},
                  "MinistryScheduleL");
    // One sheet a liturgy, the flagged minister marked.
    ExpectOnPages(PagesOf(QStringLiteral("LiturgySheet.def"), kSpring),
                  {{"Sunday 10:00", "Sunday, March 8, 2026 at 10:00", "St. Mary", "Function", "Minister", "*", "Lector", "Adams, Mr John",
                    "Usher", "3 ministers", "* flagged minister"},
                   {"Saturday Vigil", "Saturday, March 14, 2026 at 17:00", "Lector", "O'Neil, Quentin", "1 minister"},
                   {"Sunday 10:00", "Sunday, May 3, 2026 at 10:00", "Adams, Mr John", "Page 3 of 3"}},
                  "LiturgySheet");
    ExpectOnPages(PagesOf(QStringLiteral("ScheduledMinisters.def"), kMarch),
                  {{"Schedule by minister", "Adams, Mr John", "2026-03-08 10:00", "Lector P: A", "St. Mary", "1 assignment",
                    "Baker, Jr, Mary", "2026-03-08 10:00", "Usher", "O'Neil, Quentin", "2026-03-14 17:00", "No minister assigned"}},
                  "ScheduledMinisters");
    ExpectOnPages(PagesOf(QStringLiteral("DidNotAttend.def"), kMarch + QStringLiteral(" AND MemberNotAttended = 1")),
                  {{"Ministers who did not attend", "Adams, Mr John", "2026-03-08 10:00", "Lector", "Missed: 1", "1 assignment missed"}},
                  "DidNotAttend");
}

TEST_F(ReportRendering, TheMailPathsMinisterScheduleIsTheScheduleByMinister)
{
    const QStringList pages = Pages(QStringLiteral("rptMinisterScheduleP.rtm"), QStringLiteral("rptScheduledMinisters"), kSpring,
                                    QStringLiteral("Name, CAST(tblEvents.StartDateTime AS DateTime), MinistryFunctionName"));
    ExpectOnPages(pages, {{"Schedule by minister", "Adams, Mr John", "2026-03-08 10:00", "2026-05-03 10:00", "2 assignments"}},
                  "rptMinisterScheduleP");
}

TEST_F(ReportRendering, ScheduleStatisticsCountEachPersonsAssignmentsInThePeriod)
{
    ExpectOnPages(PagesOf(QStringLiteral("ScheduleStatistics.def"), kMarch),
                  {{"Schedule statistics", "Person", "Function", "Scheduled", "Adams, Mr John", "Lector", "2026-03-08 10:00", "Assignments: 1",
                    "Baker, Jr, Mary", "Usher", "2026-03-08 10:00", "O'Neil, Quentin", "Lector", "2026-03-14 17:00",
                    "Assignments in the period: 3"}},
                  "ScheduleStatistics");
}

TEST_F(ReportRendering, SettingsListsShowTheirRecords)
{
    ExpectOnPages(PagesOf(QStringLiteral("Liturgies.def"), {}), {{"Liturgies", "Saturday Vigil", "St. Mary", "Sunday 10:00", "Sung mass", "2 liturgies"}},
                  "Liturgies");
    ExpectOnPages(PagesOf(QStringLiteral("Locations.def"), {}), {{"Locations", "St. Mary", "10 Church Sq", "555-0199", "1 location"}}, "Locations");
    ExpectOnPages(PagesOf(QStringLiteral("MinistryFunctions.def"), {}),
                  {{"Ministry functions", "Lector", "LEC", "No", "admin", "Usher", "USH", "Yes", "2 ministry functions"}}, "MinistryFunctions");
    ExpectOnPages(PagesOf(QStringLiteral("MinistryTemplates.def"), {}),
                  {{"Ministry templates", "Sunday", "Lector", "2", "No", "Usher", "4", "Yes", "Ministers needed: 6"}}, "MinistryTemplates");
    ExpectOnPages(PagesOf(QStringLiteral("Users.def"), {}), {{"User accounts", "admin", "1 user account"}}, "Users");
}

TEST_F(ReportRendering, TheExportsOfAReportHoldItsValues)
{
    const Definition definition = Read(QStringLiteral("ContactList.def"));
    const ReportDocument document = Render(definition.ReportName, definition.DataSource, kSelected, definition.OrderBy);
    ASSERT_EQ(document.PageCount(), 1);
    QTemporaryDir out;
    const QString xlsx = out.filePath(QStringLiteral("contacts.xlsx"));
    ReportExport::Write(document, ReportExportKind::Xlsx, xlsx);
    QStringList cells;
    for (const kestrova::test::XlsxCell &cell : kestrova::test::XlsxCells(xlsx))
        cells << cell.Value;
    const QString text = QString::fromUtf8(ReportExport::ToBytes(document, ReportExportKind::Text));
    const QString html = QString::fromUtf8(ReportExport::ToBytes(document, ReportExportKind::Html));
    const QString rtf = QString::fromUtf8(ReportExport::ToBytes(document, ReportExportKind::Rtf));
    for (const QString &value : {QStringLiteral("Contact list"), QStringLiteral("Adams, Mr John P"), QStringLiteral("1 Main St"),
                                 QStringLiteral("Springfield, IL 62701"), QStringLiteral("555-0101"), QStringLiteral("john@example.org"),
                                 QStringLiteral("Baker, Jr, Mary"), QStringLiteral("2 contacts"), QStringLiteral("Page 1 of 1")}) {
        EXPECT_TRUE(cells.contains(value)) << value.toStdString();
        EXPECT_TRUE(text.contains(value)) << value.toStdString();
        EXPECT_TRUE(html.contains(value)) << value.toStdString();
        EXPECT_TRUE(rtf.contains(value)) << value.toStdString();
    }
}

TEST_F(ReportRendering, GenerateReportAnswersAPdfOfTheReport)
{
    const auto pdf = service->GenerateReport(QStringLiteral("rptMinisterScheduleP.rtm"), QStringLiteral("rptScheduledMinisters"), kMarch,
                                             QStringLiteral("Sortkey, Name, tblEvents.StartDateTime"));
    ASSERT_TRUE(pdf);
    ExpectOnPages(kestrova::test::PdfPages(pdf->Bytes()),
                  {{"Schedule by minister", "Adams, Mr John", "Lector P: A", "Baker, Jr, Mary", "O'Neil, Quentin", "No minister assigned"}},
                  "GenerateReport");
    // Nothing is written into the report folder: concurrent requests share no file.
    EXPECT_FALSE(QFile::exists(reports + QStringLiteral("ServerArchive.raf")));
}

TEST_F(ReportRendering, GenerateReportRendersOnSeveralThreadsAtOnce)
{
    // As the server's pool threads run requests: one service object each, none on the GUI thread.
    TDAConnectionManager &manager = shared->server->ConnectionManager();
    const QString path = reports;
    std::vector<std::future<QByteArray>> runs;
    for (int i = 0; i < 4; ++i)
        runs.push_back(std::async(std::launch::async, [&manager, path] {
            TReportService own(TReportServiceContext{manager, path});
            const auto pdf = own.GenerateReport(QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), {},
                                                QStringLiteral("LastName, FirstName"));
            return pdf ? pdf->Bytes() : QByteArray();
        }));
    for (std::future<QByteArray> &run : runs) {
        const QStringList pages = kestrova::test::PdfPages(run.get());
        ASSERT_EQ(pages.size(), 2);
        EXPECT_TRUE(pages.at(1).contains(QStringLiteral("35 contacts")));
    }
}

TEST_F(ReportRendering, GenerateReportRefusesAnUnknownTemplateOrCriteriaAndAnswersNoEmptyPdf)
{
    const auto refusal = [](const auto &call) {
        try {
            call();
        } catch (const EROServerError &e) {
            return e.ClassName();
        }
        return QString();
    };
    EXPECT_EQ(refusal([&] { service->GenerateReport(QStringLiteral("NoSuchReport.rtm"), QStringLiteral("rptContacts"), {}, {}); }),
              QStringLiteral("EReportNotFound"));
    EXPECT_EQ(refusal([&] { service->GenerateReport(QStringLiteral("../ContactList.rtm"), QStringLiteral("rptContacts"), {}, {}); }),
              QStringLiteral("EReportRequestRefused"));
    EXPECT_EQ(refusal([&] {
                  service->GenerateReport(QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"),
                                          QStringLiteral("1=1); DROP TABLE tblContacts; --"), {});
              }),
              QStringLiteral("EReportRequestRefused"));
    EXPECT_EQ(refusal([&] {
                  service->GenerateReport(QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), QStringLiteral("(PK_ContactID='{none}')"),
                                          {});
              }),
              QStringLiteral("EReportNoData"));
    // A template of another dataset names fields this one lacks.
    EXPECT_EQ(refusal([&] { service->GenerateReport(QStringLiteral("Users.rtm"), QStringLiteral("rptContacts"), {}, {}); }),
              QStringLiteral("EReportError"));
    EXPECT_EQ(shared->db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts")), QStringLiteral("35"));
}

// Contacts that lack a part of their address, or have a long street, print all they have: a
// missing part goes with its separator, the street is not cut.
class ReportAddresses : public ReportRendering
{
protected:
    void SetUp() override
    {
        ReportRendering::SetUp();
        if (IsSkipped())
            return;
        shared->Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, Street, City, State, Zip) VALUES "
                                   "('{N1}', 'Nina', 'Nostate', '5 Rue Royale', 'Lyon', NULL, '69001'),"
                                   "('{N2}', 'Carl', 'Nocity', '9 Lake Dr', '', 'IL', '60601'),"
                                   "('{N3}', 'Lena', 'Longstreet', '%1', 'Springfield', 'IL', '62703');")
                        .arg(kLongStreet));
    }
    // The suite's other tests count the fixture's contacts.
    void TearDown() override
    {
        if (shared && shared->service)
            shared->Sql(QStringLiteral("DELETE FROM tblContacts WHERE PK_ContactID IN ('{N1}', '{N2}', '{N3}');"));
    }
    // The pages' words in order, whatever the columns and line breaks of the layout.
    static QString Words(const QStringList &pages) { return pages.join(QLatin1Char(' ')).simplified(); }

    static inline const QString kLongStreet = QStringLiteral("1234 Longwood Boulevard North Bldg 77 Apartment 12 East Wing");
    static inline const QString kChosen = QStringLiteral("(PK_ContactID='{N1}') or (PK_ContactID='{N2}') or (PK_ContactID='{N3}')");
};

TEST_F(ReportAddresses, TheContactListLabelsAndGroupReportsPrintEveryPartThereIs)
{
    ASSERT_EQ(kLongStreet.size(), 60);
    shared->Sql(QStringLiteral("INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES ('{NG}', 'Wardens', '{00000000-0000-0000-0000-000000000000}');"
                               "INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID) VALUES "
                               "('{NM1}', '{NG}', '{N1}'), ('{NM2}', '{NG}', '{N2}'), ('{NM3}', '{NG}', '{N3}');"));
    const auto dropGroup = qScopeGuard([this] {
        shared->Sql(QStringLiteral("DELETE FROM tblLnkGroupmembers WHERE F_GroupID = '{NG}'; DELETE FROM tblGroups WHERE PK_GroupID = '{NG}';"));
    });
    const struct
    {
        const char *Definition;
        QString Criteria;
        bool Landscape;
        bool Capitals;  // labels print the address in capitals
    } layouts[] = {
        {"ContactList.def", kChosen, false, false},
        {"ContactList.def", kChosen, true, false},
        {"ContactLabels.def", kChosen, false, true},
        {"GroupDirectory.def", QStringLiteral(" theID LIKE '{NG}'"), false, false},
        {"GroupLabels.def", QStringLiteral(" PK_GroupID LIKE '{NG}'"), false, true},
    };
    for (const auto &r : layouts) {
        SCOPED_TRACE(std::string(r.Definition) + (r.Landscape ? " landscape" : ""));
        const QString text = Words(PagesOf(QString::fromLatin1(r.Definition), r.Criteria, r.Landscape));
        const auto cased = [&r](const char *part) { return r.Capitals ? QString::fromUtf8(part).toUpper() : QString::fromUtf8(part); };
        for (const char *expected : {"5 Rue Royale", "Lyon 69001", "9 Lake Dr", "IL 60601", "Springfield, IL 62703", "East Wing"})
            EXPECT_TRUE(text.contains(cased(expected))) << expected << "\n" << text.toStdString();
        // No separator stands for a part that is missing.
        EXPECT_FALSE(text.contains(cased("Lyon,"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral(", IL 60601"))) << text.toStdString();
    }
}

TEST_F(ReportAddresses, TheWordMergeGetsEveryPartThereIs)
{
    // The shipped Word template, made from its description as the build makes it.
    QFile description(QStringLiteral(KESTROVA_SOURCE_DIR "/server/wordtemplates/ContactList.txt"));
    ASSERT_TRUE(description.open(QIODevice::ReadOnly));
    const WordPackage layout = WordTemplate::FromDescription(QString::fromUtf8(description.readAll()));
    const auto data = service->GetWordReportData(QStringLiteral("rptContacts"), kChosen, QStringLiteral("LastName"));
    ASSERT_TRUE(data);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("merged.docx"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WordMailMerge::Merge(layout, WordMergeData::FromText(data->Bytes())).ToBytes());
    file.close();
    const QStringList paragraphs = kestrova::test::DocxRead(path).Paragraphs;
    for (const QString &expected : {kLongStreet, QStringLiteral("Springfield, IL 62703"), QStringLiteral("9 Lake Dr"), QStringLiteral("IL 60601"),
                                    QStringLiteral("5 Rue Royale"), QStringLiteral("Lyon 69001")})
        EXPECT_TRUE(paragraphs.contains(expected)) << expected.toStdString() << "\n" << paragraphs.join(QLatin1Char('|')).toStdString();
}
