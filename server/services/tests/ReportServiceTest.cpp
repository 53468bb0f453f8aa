// The report service over HTTP through the generated proxy: definitions per category from the
// shipped report folder, every report dataset on a fixture database, the criteria the client
// host composes, the verification report, Word data and files, and the refusals.
#include "testsupport/ServiceHarness.h"
#include "server/services/tests/CommaFields.h"

#include "server/services/ReportDefinition.h"
#include "server/services/uReportService.h"

#include "Quorva_Data_Service_Invk.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROErrors.h"
#include "remoting/RORegistry.h"

#include <QDir>
#include <QFile>

namespace {

using kestrova::test::ServiceClient;

const QString kContacts = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
const QString kCalendar = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
const QString kSettings = QStringLiteral("{00000000-0000-0000-0000-000000000003}");
const QString kFamilies = QStringLiteral("{00000000-0000-0000-0000-000000000004}");
const QString kGroups = QStringLiteral("{00000000-0000-0000-0000-000000000005}");
const QString kSchedule = QStringLiteral("{00000000-0000-0000-0000-000000000006}");

// The calendar's period criteria as the report chooser writes them.
QString Period(const QString &from, const QString &to)
{
    return QStringLiteral(" tblEvents.StartDateTime >= #%1# AND tblEvents.StartDateTime < #%2#").arg(from, to);
}

using kestrova::test::SplitLine;

class ReportServiceOverHttp : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        ServiceHarness::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        reports = folder.path() + QStringLiteral("/Reports/");
        ASSERT_TRUE(QDir().mkpath(reports));
        for (const QString &name : QDir(QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports")).entryList({QStringLiteral("*.def")}, QDir::Files))
            ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/") + name, reports + name));
        WriteFile(QStringLiteral("ContactList.rtm"), "<report name=\"ContactList\"/>");
        WriteFile(QStringLiteral("ContactList.docx"), QByteArray("PK\x03\x04", 4) + QByteArray(" word template"));
        WriteFile(QStringLiteral("../Secret.txt"), "not for clients");

        // The service as the server makes it, on this test's report folder.
        UnregisterClassFactory(QStringLiteral("ReportService"));
        TDAConnectionManager *manager = &server->ConnectionManager();
        const QString path = reports;
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("ReportService"),
            [manager, path] { return std::make_unique<TReportService>(TReportServiceContext{*manager, path}); },
            std::make_shared<TReportService_Invoker>()));

        client = Administrator();
        service = client.Service<CoReportService>();
        Fixture();
    }

    void WriteFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(reports + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void Fixture()
    {
        Sql(QStringLiteral(R"(
INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyStreet, FamilyCity, FamilyState, FamilyZip)
  VALUES ('{F1}', 'Adams', '1 Main St', 'Springfield', 'IL', '62701');
INSERT INTO tblContacts (PK_ContactID, Title, FirstName, MiddleName, LastName, Suffix, Street, City, State, Zip, phone1, EMail1,
                         F_FamilyID, DateOfBirth, Comments)
  VALUES ('{C1}', 'Mr', 'John', 'Paul', 'Adams', NULL, '1 Main St', 'Springfield', 'IL', '62701', '555-1', 'john@example.org',
          '{F1}', '1970-03-04', 'Prefers mornings'),
         ('{C2}', NULL, 'Mary', NULL, 'Baker', 'Jr', '2 Oak Ave', 'Springfield', 'IL', '62702', '555-2', NULL, NULL, NULL, NULL),
         ('{C3}', NULL, 'Quentin "Q"', NULL, 'O''Neil', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES ('{G1}', 'Choir', '{00000000-0000-0000-0000-000000000000}');
INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID) VALUES ('{GM1}', '{G1}', '{C1}'), ('{GM2}', '{G1}', '{C2}');
INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('{L1}', 'St. Mary');
INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID) VALUES ('{LT1}', 'Sunday 10:00', '{L1}');
INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, F_CreatedUserID, F_ModifiedUserID)
  VALUES ('{MF1}', 'Lector', '{A0000000-0000-0000-0000-0000000000AD}', '{A0000000-0000-0000-0000-0000000000AD}'),
         ('{MF2}', 'Usher', NULL, NULL);
INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName) VALUES ('{MT1}', 'Sunday');
INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, MinistryFunctionCount)
  VALUES ('{TL1}', '{MT1}', '{MF1}', 2);
INSERT INTO tblServingFrequency (PK_ServingFrequencyID, ServingFreqencyAsInteger) VALUES ('{SF1}', 1), ('{SF3}', 3);
INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn)
  VALUES ('{P1}', '{C1}', '{MF1}', 0), ('{P2}', '{C2}', '{MF2}', 1);
INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID)
  VALUES ('{PL1}', '{P1}', '{C1}', '{LT1}');
INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_FrequencyID)
  VALUES ('{PF1}', '{P1}', '{C1}', '{SF1}'), ('{PF3}', '{P1}', '{C1}', '{SF3}');
INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID)
  VALUES ('{R1}', '{C1}', '{C2}', '{AE7ADCC4-541B-497C-BB5B-B0005C51471E}'),
         ('{R2}', '{C1}', '{C3}', '{98A1AD29-3773-40BE-B344-5541FD636256}');
INSERT INTO tblEvents (PK_EventID, StartDateTime, EndDateTime, EventLocationID)
  VALUES ('{E1}', '2026-03-08 10:00', '2026-03-08 11:00', '{L1}'), ('{E2}', '2026-05-03 10:00', '2026-05-03 11:00', '{L1}');
INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID, FeastName)
  VALUES ('{SL1}', '{E1}', '{LT1}', 'Lent 3'), ('{SL2}', '{E2}', '{LT1}', NULL);
INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID,
                                           MemberNotAttended, MemberPosition)
  VALUES ('{S1}', '{SL1}', '{MF1}', '{C1}', 1, 'A'), ('{S2}', '{SL1}', '{MF2}', '{C2}', 0, NULL),
         ('{S3}', '{SL2}', '{MF1}', '{C1}', 0, ''), ('{S4}', '{SL1}', '{MF2}', NULL, 0, NULL);
)"));
    }

    TDATableData Data(const QString &dataset, const QString &criteria = {}, const QString &order = {})
    {
        const auto stream = service->GetReportDataAsDataset(dataset, criteria, order);
        EXPECT_TRUE(stream);
        if (!stream)
            return {};
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(stream->Bytes());
        EXPECT_EQ(tables.size(), 1);
        return tables.value(0);
    }

    static QStringList Column(const TDATableData &table, const QString &name)
    {
        const int i = DAFindField(table.Fields, name);
        EXPECT_GE(i, 0) << name.toStdString();
        QStringList values;
        for (const QVariantList &row : table.Rows)
            values << (i < 0 ? QString() : row.at(i).toString());
        return values;
    }

    // The class name of the error the call raised; empty when it raised none.
    template <class Call> static QString Refusal(Call call)
    {
        try {
            call();
        } catch (const EROServerError &e) {
            return e.ClassName();
        }
        return {};
    }

    QString reports;
    ServiceClient client;
    std::unique_ptr<IReportService> service;
};

} // namespace

TEST_F(ReportServiceOverHttp, EveryCategoryOfTheClientHasDefinitionsThatMatchIt)
{
    const int files = int(QDir(reports).entryList({QStringLiteral("*.def")}, QDir::Files).size());
    for (const QString &category : {kContacts, kCalendar, kSettings, kFamilies, kGroups, kSchedule}) {
        const QString list = service->GetReportDefinitions(category);
        ASSERT_TRUE(list.endsWith(QStringLiteral("\r\n")));
        QStringList lines = list.split(QStringLiteral("\r\n"));
        lines.removeLast();
        EXPECT_EQ(lines.size(), files);
        int matching = 0;
        for (const QString &line : lines) {
            if (line.isEmpty())
                continue;
            ++matching;
            const QStringList fields = SplitLine(line);
            ASSERT_EQ(fields.size(), 19) << line.toStdString();
            EXPECT_TRUE(fields.at(1).contains(category));
            EXPECT_TRUE(fields.at(15) == QLatin1String("TRUE") || fields.at(15) == QLatin1String("FALSE"));
            EXPECT_TRUE(fields.at(18) == QLatin1String("TRUE") || fields.at(18) == QLatin1String("FALSE"));
        }
        EXPECT_GE(matching, 1) << category.toStdString();
    }
}

TEST_F(ReportServiceOverHttp, TheReportIdsTheClientTreatsSpeciallyAreInTheirCategories)
{
    EXPECT_TRUE(service->GetReportDefinitions(kCalendar).contains(QStringLiteral("{DB5B1540-9097-4C6A-B803-0666B6A832C7}")));
    EXPECT_TRUE(service->GetReportDefinitions(kSchedule).contains(QStringLiteral("{DB5B1540-9097-4C6A-B803-0666B6A832C7}")));
    EXPECT_TRUE(service->GetReportDefinitions(kGroups).contains(QStringLiteral("{01EFEDD6-276A-4E16-A941-6834110014C5}")));
    EXPECT_TRUE(service->GetReportDefinitions(kFamilies).contains(QStringLiteral("{0A73D051-824B-46FD-B1BC-9929C6E6A348}")));
    EXPECT_FALSE(service->GetReportDefinitions(kContacts).contains(QStringLiteral("{DB5B1540-9097-4C6A-B803-0666B6A832C7}")));
}

TEST_F(ReportServiceOverHttp, EveryShippedDefinitionOpensWithItsOwnOrder)
{
    const QString list = service->GetReportDefinitions(QString());
    for (const QString &line : list.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList fields = SplitLine(line);
        ASSERT_EQ(fields.size(), 19);
        const bool dated = fields.at(1).contains(kCalendar) || fields.at(1).contains(kSchedule);
        const QString criteria = dated ? Period(QStringLiteral("03/01/2026"), QStringLiteral("06/01/2026")) : QString();
        // The definition's dataset answers with the schema's fields, in the definition's order.
        const TDASchemaDataset &dataset = TReportService::Schema().DatasetByName(fields.at(6));
        const TDATableData table = Data(fields.at(6), criteria, fields.at(8));
        EXPECT_EQ(table.Name, dataset.Name) << line.toStdString();
        EXPECT_EQ(table.Fields.size(), dataset.Fields.size()) << line.toStdString();
        const auto schema = service->GetReportSchema(fields.at(6));
        ASSERT_TRUE(schema) << fields.at(6).toStdString();
        EXPECT_EQ(TDADataStreamer::ReadDatasets(schema->Bytes()).value(0).Fields.size(), dataset.Fields.size());
    }
}

TEST_F(ReportServiceOverHttp, EveryReportDatasetOpensAndItsSchemaHasItsFields)
{
    for (const TDASchemaDataset &dataset : TReportService::Schema().Datasets()) {
        if (!dataset.Params.Count() && dataset.Name != QLatin1String("DummyForVerificationForm")) {
            const TDATableData table = Data(dataset.Name);
            EXPECT_EQ(table.Fields.size(), dataset.Fields.size()) << dataset.Name.toStdString();
        }
        const auto schema = service->GetReportSchema(dataset.Name);
        ASSERT_TRUE(schema);
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(schema->Bytes());
        ASSERT_EQ(tables.size(), 1);
        EXPECT_EQ(tables.first().Fields.size(), dataset.Fields.size());
        EXPECT_TRUE(tables.first().Rows.isEmpty());
    }
}

TEST_F(ReportServiceOverHttp, ContactSelectionsGiveTheChosenContactsInOrder)
{
    const TDATableData table = Data(QStringLiteral("rptContacts"), QStringLiteral("(PK_ContactID='{C2}') or (PK_ContactID='{C1}')"),
                                    QStringLiteral("LastName, FirstName"));
    EXPECT_EQ(Column(table, QStringLiteral("Name")), (QStringList{"Adams, Mr John P", "Baker, Jr, Mary"}));
    EXPECT_EQ(Column(table, QStringLiteral("Postal")), (QStringList{"Springfield, IL 62701", "Springfield, IL 62702"}));
    EXPECT_EQ(Column(table, QStringLiteral("TotAdr")).first(), "1 Main St\nSpringfield, IL 62701");
}

TEST_F(ReportServiceOverHttp, TheFamiliesReportForAllFamiliesListsEachMember)
{
    const TDATableData table = Data(QStringLiteral("rptFamilyList"), QStringLiteral(" NOT PK_FamilyID IS NULL"), QStringLiteral("Name, MemberName"));
    EXPECT_EQ(Column(table, QStringLiteral("Name")), QStringList{"ADAMS"});
    EXPECT_EQ(Column(table, QStringLiteral("MemberName")), QStringList{"Adams, Mr John"});
    EXPECT_EQ(Data(QStringLiteral("rptLabelFamilies"), QStringLiteral("(PK_FamilyID='{F1}')"), QStringLiteral("Name")).Rows.size(), 1);
}

TEST_F(ReportServiceOverHttp, GroupCriteriaFromTheGroupsViewSelectTheMembers)
{
    const TDATableData byGroup = Data(QStringLiteral("rptDAContactsByGroups"), QStringLiteral(" tblGroups.PK_GroupID='{G1}'"),
                                      QStringLiteral("MemberOf, Name"));
    EXPECT_EQ(Column(byGroup, QStringLiteral("MemberOf")), (QStringList{"Lector", "Usher"}));
    // The group labels report turns the view's "theID" into the group key.
    EXPECT_EQ(Data(QStringLiteral("rptDAContactsByGroups"), QStringLiteral(" PK_GroupID LIKE '{G1}'"), QStringLiteral("Name")).Rows.size(), 2);
    EXPECT_EQ(Data(QStringLiteral("rptDAContactsByGroups"), QStringLiteral(" PK_GroupID LIKE '{G%}'"), QStringLiteral("Name")).Rows.size(), 0);
    const TDATableData directory = Data(QStringLiteral("rptGroup"), QStringLiteral(" theID LIKE '{G1}'"), QStringLiteral("MemberOf, Name"));
    EXPECT_EQ(Column(directory, QStringLiteral("MemberOf")), (QStringList{"Choir", "Choir"}));
    const TDATableData fillIn = Data(QStringLiteral("rptDAContactsByCanFillIn"), QStringLiteral(" (tblLnkServingPrefrence.ContactCanFillIn=1)"));
    EXPECT_EQ(Column(fillIn, QStringLiteral("MemberOf")), QStringList{"Usher"});
    const TDATableData noLiturgy = Data(QStringLiteral("rptDAContactByMinistryFunction"),
                                        QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from "
                                                       "tblServingPrefrenceLiturgy) AND  F_MinistryFunctionID = '{MF2}'"));
    EXPECT_EQ(Column(noLiturgy, QStringLiteral("LastName")), QStringList{"Baker"});
}

TEST_F(ReportServiceOverHttp, TheDidNotAttendReportTakesThePeriodAndTheNotAttendedFlag)
{
    const TDATableData table = Data(QStringLiteral("DA_rptDidNotAttend"),
                                    Period(QStringLiteral("03/01/2026"), QStringLiteral("03/31/2026")) + QStringLiteral(" AND MemberNotAttended = 1"),
                                    QStringLiteral("Name, tblEvents.StartDateTime"));
    EXPECT_EQ(Column(table, QStringLiteral("Name")), QStringList{"Adams, Mr John"});
    EXPECT_EQ(Column(table, QStringLiteral("StartDateTime")), QStringList{"2026-03-08 10:00"});
    EXPECT_EQ(Column(table, QStringLiteral("F_MinistryMemberID")), QStringList{"{C1}"});
}

TEST_F(ReportServiceOverHttp, ScheduledMinistersSortUnassignedFunctionsLastAndShowPositions)
{
    const TDATableData table = Data(QStringLiteral("rptScheduledMinisters"), Period(QStringLiteral("3/1/2026"), QStringLiteral("3/9/2026")),
                                    QStringLiteral("Sortkey, Name, CAST(tblEvents.StartDateTime AS DateTime), MinistryFunctionName"));
    EXPECT_EQ(Column(table, QStringLiteral("Name")), (QStringList{"Adams, Mr John", "Baker, Jr, Mary", "No minister assigned"}));
    EXPECT_EQ(Column(table, QStringLiteral("MinistryFunctionName")), (QStringList{"Lector P: A", "Usher", "Usher"}));
    EXPECT_EQ(Column(table, QStringLiteral("LocationName")), (QStringList{"St. Mary", "St. Mary", "St. Mary"}));
}

TEST_F(ReportServiceOverHttp, ScheduleStatisticsTakeOnlyThePeriodFromTheCriteria)
{
    const TDATableData may = Data(QStringLiteral("rptScheduleStatistics"), Period(QStringLiteral("05/01/2026"), QStringLiteral("05/31/2026")),
                                  QStringLiteral("SORTKEY, Name, MinistryFunctionName"));
    EXPECT_EQ(Column(may, QStringLiteral("Name")), (QStringList{"Adams, Mr John", "Baker, Jr, Mary"}));
    EXPECT_EQ(Column(may, QStringLiteral("Line")), (QStringList{"2026-05-03 10:00", "Not scheduled within defined period"}));
    EXPECT_THROW(Data(QStringLiteral("rptScheduleStatistics"), QStringLiteral("(PK_ContactID='{C1}')")), EROServerError);
}

TEST_F(ReportServiceOverHttp, TheSchedulePeriodShowsDateTimeFeastAndLiturgy)
{
    const TDATableData table = Data(QStringLiteral("rptMinistrySchedulePeriod"), Period(QStringLiteral("03/01/2026"), QStringLiteral("03/09/2026")),
                                    QStringLiteral("tblEvents.StartDateTime, MinistryFunctionName, Name"));
    ASSERT_EQ(table.Rows.size(), 3);
    EXPECT_EQ(Column(table, QStringLiteral("HourMinute")).first(), "10:00");
    EXPECT_EQ(Column(table, QStringLiteral("FeastName")).first(), "Lent 3");
    EXPECT_EQ(Column(table, QStringLiteral("LiturgyTemplateName")).first(), "Sunday 10:00");
    EXPECT_EQ(Column(table, QStringLiteral("Name")).first(), "Adams, Mr John P: A");
}

TEST_F(ReportServiceOverHttp, SettingsListsNameTheUsersAndKeepTheirIrregularColumns)
{
    const TDATableData functions = Data(QStringLiteral("rptDAMinistryFunctions"), {}, QStringLiteral("MinistryFunctionName"));
    EXPECT_EQ(Column(functions, QStringLiteral("ModofiedBy")), (QStringList{"admin", ""}));
    EXPECT_EQ(Column(functions, QStringLiteral("CreatedBy")), (QStringList{"admin", ""}));
    const TDATableData users = Data(QStringLiteral("rptDAUsers"), {}, QStringLiteral("LogonUsername"));
    EXPECT_LT(DAFindField(users.Fields, QStringLiteral("LogonPassword")), 0);
    EXPECT_LT(DAFindField(users.Fields, QStringLiteral("SecretAnswer")), 0);
    EXPECT_TRUE(Column(users, QStringLiteral("LogonUsername")).contains(QStringLiteral("admin")));
}

TEST_F(ReportServiceOverHttp, TheVerificationReportGathersEachPersonsDetails)
{
    const TDATableData table = Data(QStringLiteral("DummyForVerificationForm"), QStringLiteral("(PK_ContactID='{C1}') or (PK_ContactID='{C2}')"),
                                    QStringLiteral("LastName, FirstName"));
    ASSERT_EQ(table.Rows.size(), 2);
    EXPECT_EQ(Column(table, QStringLiteral("Info")).at(0),
              "Mr Adams, John\n1 Main St\nSpringfield, IL 62701\n555-1\njohn@example.org\n3/4/1970");
    EXPECT_EQ(Column(table, QStringLiteral("Info")).at(1), " Baker, Mary Jr\n2 Oak Ave\nSpringfield, IL 62702\n555-2\n");
    EXPECT_EQ(Column(table, QStringLiteral("Comment")), (QStringList{"Prefers mornings", ""}));
    EXPECT_EQ(Column(table, QStringLiteral("ServingPreference")),
              (QStringList{"Lector at Sunday 10:00 on 1st, 3rd weekend(s)\n", "Usher at all liturgies on all weekends.\n"}));
    // The owner sees the rule's member, the member sees the owner; "never together" rules stay out.
    EXPECT_EQ(Column(table, QStringLiteral("ServeRulesAlways")), (QStringList{"Mary Baker", "John Adams"}));
    EXPECT_EQ(Column(table, QStringLiteral("ServeRulesPrefer")), (QStringList{"", ""}));
    EXPECT_EQ(Column(table, QStringLiteral("tempMemberShip")), (QStringList{"Adams\nChoir\n", "Choir\n"}));
}

TEST_F(ReportServiceOverHttp, WordDataIsTabSeparatedWithEveryValueQuoted)
{
    const QStringList before = QDir(reports).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const auto stream = service->GetWordReportData(QStringLiteral("rptContacts"), QStringLiteral("(PK_ContactID='{C3}') or (PK_ContactID='{C2}')"),
                                                   QStringLiteral("LastName"));
    ASSERT_TRUE(stream);
    const QStringList lines = QString::fromUtf8(stream->Bytes()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("Name\tTheTitle\tLastName\t")));
    EXPECT_EQ(lines.at(0).count(QLatin1Char('\t')), 10);
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("\"Baker, Jr, Mary\"\t\"\"\t\"Baker\"")));
    EXPECT_TRUE(lines.at(1).endsWith(QStringLiteral("\t\"2 Oak Ave\nSpringfield, IL 62702\"")));
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral("\"O'Neil, Quentin \"\"Q\"\"\"\t")));
    // Built in memory: no file of the report folder is written, so concurrent requests share nothing.
    EXPECT_EQ(QDir(reports).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

TEST_F(ReportServiceOverHttp, WordTemplatesAndLayoutsComeFromTheReportFolder)
{
    const auto word = service->GetWordReportTemplate(QStringLiteral("ContactList.docx"));
    ASSERT_TRUE(word);
    EXPECT_EQ(word->Bytes(), QByteArray("PK\x03\x04", 4) + QByteArray(" word template"));
    const auto layout = service->GetReportFile(QStringLiteral("contactlist.RTM"));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->Bytes(), QByteArray("<report name=\"ContactList\"/>"));
    const auto missing = service->GetReportFile(QStringLiteral("NoSuchLayout.rtm"));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->Bytes().isEmpty());
    EXPECT_FALSE(service->GetWordReportTemplate(QStringLiteral("NoSuchTemplate.docx")));
}

TEST_F(ReportServiceOverHttp, FileNamesThatLeaveTheReportFolderAreRefused)
{
    for (const QString &name : {QStringLiteral("../Secret.txt"), QStringLiteral("..\\Secret.txt"), reports + QStringLiteral("../Secret.txt"),
                                QStringLiteral("/etc/passwd"), QStringLiteral("sub/ContactList.rtm"), QStringLiteral(".."), QString()}) {
        EXPECT_EQ(Refusal([&] { service->GetReportFile(name); }), QStringLiteral("EReportRequestRefused")) << name.toStdString();
        EXPECT_EQ(Refusal([&] { service->GetWordReportTemplate(name); }), QStringLiteral("EReportRequestRefused")) << name.toStdString();
    }
}

TEST_F(ReportServiceOverHttp, HostileCriteriaAndOrdersAreRefusedAndChangeNothing)
{
    for (const QString &criteria : {QStringLiteral("1=1); DROP TABLE tblContacts; --"), QStringLiteral("PK_ContactID = '{C1}' OR 1=1"),
                                    QStringLiteral("where PK_ContactID = '{C1}'"),
                                    QStringLiteral("PK_ContactID IN (SELECT LogonPassword FROM tblUsers)")}) {
        EXPECT_EQ(Refusal([&] { service->GetReportDataAsDataset(QStringLiteral("rptContacts"), criteria, QString()); }),
                  QStringLiteral("EReportRequestRefused"))
            << criteria.toStdString();
        EXPECT_EQ(Refusal([&] { service->GetWordReportData(QStringLiteral("rptContacts"), criteria, QString()); }),
                  QStringLiteral("EReportRequestRefused"));
    }
    EXPECT_EQ(Refusal([&] { service->GetReportDataAsDataset(QStringLiteral("rptContacts"), {}, QStringLiteral("Name; DELETE FROM tblContacts")); }),
              QStringLiteral("EReportRequestRefused"));
    EXPECT_FALSE(Refusal([&] { service->GetReportDataAsDataset(QStringLiteral("tblUsers"), {}, {}); }).isEmpty());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts")), QStringLiteral("3"));
}

TEST_F(ReportServiceOverHttp, ADatabaseErrorReachesTheClientAndTheLogInsteadOfAnEmptyAnswer)
{
    TQorLog log;
    log.SetFileName(folder.filePath(QStringLiteral("session.txt")));
    SessionLog = &log;
    // Accepted words, but rptContacts has no "theID" column: the statement fails in the database.
    const QString refusal = Refusal([&] { service->GetReportDataAsDataset(QStringLiteral("rptContacts"), QStringLiteral(" theID LIKE '{G1}'"), {}); });
    SessionLog = nullptr;
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_NE(refusal, QStringLiteral("EReportRequestRefused"));
    QFile text(log.FileName());
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(text.readAll());
    EXPECT_TRUE(lines.contains(QStringLiteral("CreateReportData"))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("GetReportDataAsDataset:rptContacts- theID LIKE '{G1}'-"))) << lines.toStdString();
}

TEST_F(ReportServiceOverHttp, ClientTextReachesTheLogOnlyAsAnExcerptOnItsOwnLine)
{
    TQorLog log;
    log.SetFileName(folder.filePath(QStringLiteral("session.txt")));
    SessionLog = &log;
    const QString forged = QStringLiteral("\r\n2024-01-01 10:00:00 :\tSevere\tLogOnService\tforged");
    const QString huge = QString(512 * 1024, QLatin1Char('a'));
    for (const QString &text : {forged, huge}) {
        Refusal([&] { service->GetReportDataAsDataset(text, text, text); });
        Refusal([&] { service->GetReportSchema(text); });
        Refusal([&] { service->GetReportFile(text); });
        Refusal([&] { service->GenerateReport(text, text, {}, {}); });
    }
    SessionLog = nullptr;
    QFile file(log.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 4);
    for (const QString &line : lines) {
        EXPECT_FALSE(line.startsWith(QStringLiteral("2024-01-01"))) << line.toStdString();
        EXPECT_LT(line.size(), 1000) << line.left(300).toStdString();
    }
}

TEST_F(ReportServiceOverHttp, TheBinaryDefinitionListIsNotOfferedAndALayoutThatIsNoTemplateIsAnError)
{
    EXPECT_FALSE(service->GetReportDefinitionsEx());
    // This folder's "ContactList.rtm" holds no bands: rendering it is an error, not an empty answer.
    EXPECT_EQ(Refusal([&] { service->GenerateReport(QStringLiteral("ContactList.rtm"), QStringLiteral("rptContacts"), {}, {}); }),
              QStringLiteral("EReportError"));
}

TEST_F(ReportServiceOverHttp, GetReportDataGivesAtMostTheRowsAsked)
{
    qint32 total = -1;
    const auto stream = service->GetReportData(2, QStringLiteral("rptContacts"), total);
    ASSERT_TRUE(stream);
    EXPECT_EQ(total, 2);
    EXPECT_EQ(TDADataStreamer::ReadDatasets(stream->Bytes()).first().Rows.size(), 2);
}

TEST_F(ReportServiceOverHttp, ASessionNotLoggedOnIsRefused)
{
    EXPECT_EQ(Refusal([&] { NewClient().Service<CoReportService>()->GetReportDefinitions(kContacts); }), QStringLiteral("EROSessionNotLoggedOn"));
}

TEST_F(ReportServiceOverHttp, TheRegisteredServiceReadsTheServersReportFolder)
{
    // The server's own factory, on the report path its settings name.
    UnregisterClassFactory(QStringLiteral("ReportService"));
    UnregisterServerServices();
    RegisterServerServices();
    QFile settings(folder.filePath(QStringLiteral("Settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[System settings]\nReport path=%1\n").arg(reports).toUtf8());
    settings.close();
    QFile language(folder.filePath(QStringLiteral("server.lng")));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write("100=Kestrova\n");
    language.close();
    server->LoadConfiguration();
    EXPECT_EQ(client.Service<CoReportService>()->GetReportDefinitions(kGroups),
              ReportDefinition::GenerateReportDefinition(reports, kGroups));
}
