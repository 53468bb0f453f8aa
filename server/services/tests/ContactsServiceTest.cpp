// The contacts service through the generated proxies over HTTP, on a fixture parish: the
// grouped lists and searches the client composes give the expected persons, hostile texts are
// refused and change nothing, and the typed operations and deltas land whole or not at all.
#include "foundation/QorDateTime.h"
#include "testsupport/ServiceHarness.h"
#include "server/services/uContactsService.h"
#include "testsupport/LogCapture.h"

#include "dataaccess/TDADataStreamer.h"
#include "testsupport/QtPrinters.h"

#include <QSet>

namespace {

using kestrova::test::ServiceClient;

const QString kEmpty = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
// Persons, families, functions, liturgies, groups of the fixture.
const QString kAnna = QStringLiteral("{C0000000-0000-0000-0000-000000000001}");  // Abbot, family 1, Lector at L1, group 1
const QString kBen = QStringLiteral("{C0000000-0000-0000-0000-000000000002}");   // Abrams, family 1, Lector at any liturgy, group 2
const QString kCara = QStringLiteral("{C0000000-0000-0000-0000-000000000003}");  // Brown, family 2, Usher at L2, can fill in, group 3
const QString kDan = QStringLiteral("{C0000000-0000-0000-0000-000000000004}");   // Carter, Lector at L2, groups 1 and 3
const QString kEve = QStringLiteral("{C0000000-0000-0000-0000-000000000005}");   // Dunn, nothing
const QString kFamily1 = QStringLiteral("{F0000000-0000-0000-0000-000000000001}");
const QString kFamily2 = QStringLiteral("{F0000000-0000-0000-0000-000000000002}");
const QString kLector = QStringLiteral("{E0000000-0000-0000-0000-000000000001}");
const QString kUsher = QStringLiteral("{E0000000-0000-0000-0000-000000000002}");
const QString kL1 = QStringLiteral("{D0000000-0000-0000-0000-000000000001}");
const QString kL2 = QStringLiteral("{D0000000-0000-0000-0000-000000000002}");
const QString kGroup1 = QStringLiteral("{B0000000-0000-0000-0000-000000000001}");
const QString kGroup2 = QStringLiteral("{B0000000-0000-0000-0000-000000000002}"); // below group 1
const QString kGroup3 = QStringLiteral("{B0000000-0000-0000-0000-000000000003}");

// The groups view's columns, each beginning with a blank as it writes them.
const QString kFunctionCol = QStringLiteral(" tblLnkServingPrefrence.F_MinistryFunctionID");
const QString kLiturgyCol = QStringLiteral(" tblServingPrefrenceLiturgy.F_LiturgyTemplateID");
const QString kGroupCol = QStringLiteral(" tblGroups.PK_GroupID");

const QString kContactSelect = QStringLiteral(
    "SELECT DISTINCT tblContacts.PK_ContactID, Firstname +' '+Lastname AS Name, tblContacts.FirstName, tblContacts.LastName, "
    "FlagContact  FROM tblLnkServingPrefrence RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID WHERE ");
const QString kFamilySelect = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE ");
const QString kGroupSelect = QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups WHERE ");

QString Q(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QSet<QString> Set(const QStringList &values)
{
    return QSet<QString>(values.begin(), values.end());
}

TDATableData Table(const std::unique_ptr<TROBinaryMemoryStream> &stream)
{
    EXPECT_TRUE(stream);
    if (!stream)
        return {};
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(stream->Bytes());
    EXPECT_EQ(tables.size(), 1);
    return tables.value(0);
}

QStringList Column(const TDATableData &table, const QString &field)
{
    const int column = DAFindField(table.Fields, field);
    EXPECT_GE(column, 0) << field.toStdString();
    QStringList values;
    for (const QVariantList &row : table.Rows)
        values << row.value(column).toString();
    return values;
}

class ContactsService : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        ServiceHarness::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Sql(QStringLiteral(R"(
            INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('%1', 'Abbot-Abrams'), ('%2', 'Brown');
            INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, F_FamilyID) VALUES
              ('%3', 'Anna', 'Abbot', '%1'), ('%4', 'Ben', 'Abrams', '%1'), ('%5', 'Cara', 'Brown', '%2'),
              ('%6', 'Dan', 'Carter', NULL), ('%7', 'Eve', 'Dunn', NULL);
        )").arg(kFamily1, kFamily2, kAnna, kBen, kCara, kDan, kEve));
        Sql(QStringLiteral(R"(
            INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('%1', 'Lector'), ('%2', 'Usher');
            INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, LiturgyIndex) VALUES ('%3', 'Early', 1), ('%4', 'Late', 2);
            INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn, ContactType) VALUES
              ('P1', '%5', '%1', 0, 0), ('P2', '%6', '%1', 0, 0), ('P3', '%7', '%2', 1, 0), ('P4', '%8', '%1', 0, 0);
            INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID) VALUES
              ('PL1', 'P1', '%5', '%3'), ('PL3', 'P3', '%7', '%4'), ('PL4', 'P4', '%8', '%4');
            INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_FrequencyID) VALUES
              ('PF1', 'P1', '%5', 'W'), ('PF3', 'P3', '%7', 'W');
        )").arg(kLector, kUsher, kL1, kL2, kAnna, kBen, kCara, kDan));
        Sql(QStringLiteral(R"(
            INSERT INTO tblGroups (PK_GroupID, GroupName, F_ParentGroupID) VALUES
              ('%1', 'Choir', '%4'), ('%2', 'Choir juniors', '%1'), ('%3', 'Readers', '%4');
            INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES
              ('M1', '%1', '%5', '%4'), ('M2', '%2', '%6', '%4'), ('M3', '%3', '%7', '%4'), ('M4', '%1', '%8', '%4'), ('M5', '%3', '%8', '%4');
            INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID) VALUES
              ('R1', '%5', '%7', 'T'), ('R2', '%7', '%8', 'T'), ('R3', '%6', '%9', 'T');
            INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate) VALUES
              ('U1', '%5', '2026-12-24'), ('U4', '%8', '2026-12-25');
            INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime) VALUES ('EV1', 'Mass', '2026-12-24 18:00');
            INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID) VALUES ('SL1', 'EV1', '%10');
            INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID,
              F_MinistryMemberID, F_MinistryMemberTypeID, MemberLocked, MemberNotAttended, FlagMinister) VALUES
              ('S1', 'SL1', '%11', '%5', '%4', 1, 1, 1), ('S2', 'SL1', '%11', '%8', '%4', 1, 0, 1);
        )").arg(kGroup1, kGroup2, kGroup3, kEmpty, kAnna, kBen, kCara, kDan, kEve, kL1, kLector));
        client = Administrator();
    }

    std::unique_ptr<IContactsService> Contacts() { return client.Service<CoContactsService>(); }

    QSet<QString> Grouped(const QString &dataset, const QString &where)
    {
        return Set(Column(Table(Contacts()->GetGroupedContacts(dataset, where)), QStringLiteral("PK_ContactID")));
    }

    QSet<QString> Found(const QString &query, const QString &key = QStringLiteral("PK_ContactID"), int max = 15)
    {
        return Set(Column(Table(Contacts()->GetSearchData(query, max)), key));
    }

    QString Count(const QString &table) { return db.scalar(QStringLiteral("SELECT count(*) FROM dbo.") + table); }

    // Everything that refers to persons, for "nothing changed" checks.
    QList<QStringList> Everything()
    {
        QList<QStringList> all;
        for (const char *sql : {"SELECT PK_ContactID, coalesce(F_FamilyID, 'null') FROM dbo.tblContacts",
                                "SELECT PK_LinkID, F_GroupID, F_MemberID FROM dbo.tblLnkGroupmembers",
                                "SELECT PK_RuleLnkID FROM dbo.tblLnkServingRules", "SELECT PK_UnavailiableID FROM dbo.tblUnAvailiabillity",
                                "SELECT PK_ServingPrefrenceID FROM dbo.tblLnkServingPrefrence", "SELECT PK_LinkID FROM dbo.tblServingPrefrenceLiturgy",
                                "SELECT PK_LinkID FROM dbo.tblServingPrefrenceFrequency",
                                "SELECT PK_ScheduledMemberID, coalesce(F_MinistryMemberID, 'null'), MemberLocked FROM dbo.tblScheduledMinistryFunctions",
                                "SELECT PK_GroupID FROM dbo.tblGroups", "SELECT PK_FamilyID FROM dbo.tblFamilies"}) {
            QList<QStringList> rows = db.rows(QString::fromLatin1(sql) + QStringLiteral(" ORDER BY 1"));
            all << QStringList{QString::fromLatin1(sql)};
            all += rows;
        }
        return all;
    }

    ServiceClient client;
};

// ---- grouped lists: every node kind of the groups view ----------------------------------------

TEST_F(ContactsService, AFunctionNodeListsThePersonsWhoServeInIt)
{
    EXPECT_EQ(Grouped(QStringLiteral("DAContactByMinistryFunction"), kFunctionCol + "=" + Q(kLector)), (QSet<QString>{kAnna, kBen, kDan}));
}

TEST_F(ContactsService, TheFunctionsRootWithChildrenListsEveryServer)
{
    const QString where = kFunctionCol + "=" + Q(kEmpty) + " OR (" + kFunctionCol + "=" + Q(kLector) + ") OR (" + kFunctionCol + "=" + Q(kUsher) + ")";
    EXPECT_EQ(Grouped(QStringLiteral("DAContactByMinistryFunction"), where), (QSet<QString>{kAnna, kBen, kCara, kDan}));
}

TEST_F(ContactsService, AGroupNodeListsItsMembersAndWithChildrenThoseOfItsSubGroups)
{
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup1)), (QSet<QString>{kAnna, kDan}));
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup1) + " OR (" + kGroupCol + "=" + Q(kGroup2) + ")"),
              (QSet<QString>{kAnna, kBen, kDan}));
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), QString()), (QSet<QString>{kAnna, kBen, kCara, kDan}));
}

TEST_F(ContactsService, TheCanFillInNodeTakesNoClause)
{
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByCanFillIn"), QString()), QSet<QString>{kCara});
}

TEST_F(ContactsService, ALiturgyNodeTakesInPreferencesWithoutLiturgy)
{
    const QString where = kLiturgyCol + " LIKE " + Q(kL1) + " OR (" + kLiturgyCol + " LIKE NULL)";
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByLitugy"), where), (QSet<QString>{kAnna, kBen}));
}

TEST_F(ContactsService, AFunctionUnderALiturgyAndALiturgyUnderAFunction)
{
    const QString functionUnderLate = "(" + kLiturgyCol + "=" + Q(kL2) + " OR (" + kLiturgyCol + " LIKE NULL)) AND  tblLnkServingPrefrence.F_MinistryFunctionID = " + Q(kLector);
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByLiturgyByMinistryfunction"), functionUnderLate), (QSet<QString>{kBen, kDan}));
    const QString earlyUnderLector = "(" + kLiturgyCol + "=" + Q(kL1) + " OR (" + kLiturgyCol + " LIKE NULL)) AND  tblLnkServingPrefrence.F_MinistryFunctionID = " + Q(kLector);
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByLiturgyByMinistryfunction"), earlyUnderLector), (QSet<QString>{kAnna, kBen}));
}

TEST_F(ContactsService, TheAnyLiturgyNodeListsServersWithoutAnyLiturgyPreference)
{
    const QString where = "tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy) AND  F_MinistryFunctionID = " + Q(kLector);
    EXPECT_EQ(Grouped(QStringLiteral("DAContactByMinistryFunction"), where), QSet<QString>{kBen});
    // A liturgy link without a person must not hide everybody.
    Sql(QStringLiteral("INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID) VALUES ('PLX', 'P9', NULL);"));
    EXPECT_EQ(Grouped(QStringLiteral("DAContactByMinistryFunction"), where), QSet<QString>{kBen});
}

TEST_F(ContactsService, GroupedRowsCarryTheListsFields)
{
    const TDATableData table = Table(Contacts()->GetGroupedContacts(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup3)));
    EXPECT_EQ(Set(Column(table, QStringLiteral("LastName"))), (QSet<QString>{QStringLiteral("Brown"), QStringLiteral("Carter")}));
    EXPECT_EQ(table.Fields.size(), TContactsService::Schema().DatasetByName(QStringLiteral("DAContactsByGroups")).Fields.size());
}

// ---- the search dialog's queries ---------------------------------------------------------------

TEST_F(ContactsService, AContactSearchMatchesTheStartOfTheNameWithoutRegardToCase)
{
    EXPECT_EQ(Found(kContactSelect + "Lastname LIKE 'ab%'"), (QSet<QString>{kAnna, kBen}));
    EXPECT_EQ(Found(kContactSelect + "Firstname LIKE 'E%'"), QSet<QString>{kEve});
}

TEST_F(ContactsService, AContactSearchWithCheckedFunctions)
{
    EXPECT_EQ(Found(kContactSelect + "Lastname LIKE 'A%' AND ((F_MinistryFunctionID=" + Q(kLector) + "))"), (QSet<QString>{kAnna, kBen}));
    EXPECT_EQ(Found(kContactSelect + "Lastname LIKE 'C%' AND ((F_MinistryFunctionID=" + Q(kLector) + ") OR (F_MinistryFunctionID=" + Q(kUsher) + "))"),
              QSet<QString>{kDan});
    const TDATableData table = Table(Contacts()->GetSearchData(kContactSelect + "Lastname LIKE 'Abb%'", 15));
    ASSERT_EQ(table.Rows.size(), 1);
    EXPECT_EQ(Column(table, QStringLiteral("Name")), QStringList{QStringLiteral("Anna Abbot")});
    EXPECT_EQ(table.Name, QStringLiteral("SearchData"));
}

TEST_F(ContactsService, FamilyAndGroupSearchesComeSorted)
{
    Sql(QStringLiteral("INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('{F9}', 'Bradley');"));
    const TDATableData families = Table(Contacts()->GetSearchData(kFamilySelect + "Familyname LIKE 'B%' ORDER BY FamilyName", 15));
    EXPECT_EQ(Column(families, QStringLiteral("FamilyName")), (QStringList{QStringLiteral("Bradley"), QStringLiteral("Brown")}));
    const TDATableData groups = Table(Contacts()->GetSearchData(kGroupSelect + "Groupname LIKE 'choir%' ORDER BY GroupName", 15));
    EXPECT_EQ(Column(groups, QStringLiteral("GroupName")), (QStringList{QStringLiteral("Choir"), QStringLiteral("Choir juniors")}));
}

TEST_F(ContactsService, ASearchStopsAtTheRowLimit)
{
    QStringList values;
    for (int i = 0; i < 40; ++i)
        values << QStringLiteral("('{M%1}', 'Many', 'Manyfold%2')").arg(i).arg(i, 2, 10, QLatin1Char('0'));
    Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName) VALUES %1;").arg(values.join(QStringLiteral(", "))));
    const QString query = kContactSelect + "Lastname LIKE 'Manyfold%'";
    const TDATableData limited = Table(Contacts()->GetSearchData(query, 15));
    EXPECT_EQ(limited.Rows.size(), 15);
    EXPECT_EQ(Column(limited, QStringLiteral("LastName")).first(), QStringLiteral("Manyfold00"));
    EXPECT_EQ(Table(Contacts()->GetSearchData(query, -1)).Rows.size(), 40);
    const TDATableData schema = Table(Contacts()->GetSearchSchema(query));
    EXPECT_TRUE(schema.Rows.isEmpty());
    EXPECT_GE(DAFindField(schema.Fields, QStringLiteral("FlagContact")), 0);
}

// ---- hostile texts -----------------------------------------------------------------------------

class HostileText : public ContactsService, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(HostileText, IsRefusedEverywhereWithAWarningAndChangesNothing)
{
    kestrova::test::LogCapture log;
    const QString hostile = QString::fromLatin1(GetParam());
    const QList<QStringList> before = Everything();
    const auto refused = [&](const std::function<void()> &call, const char *what) {
        try {
            call();
            ADD_FAILURE() << what << " accepted " << GetParam();
        } catch (const std::exception &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("Refused"))) << what << ": " << e.what();
        }
    };
    refused([&] { Contacts()->GetGroupedContacts(QStringLiteral("DAContactsByGroups"), hostile); }, "GetGroupedContacts");
    refused([&] { Contacts()->GetGroupedContacts(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup1) + " OR " + hostile); },
            "GetGroupedContacts after a good term");
    refused([&] { Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), hostile); }, "RemoveGroupMembers");
    refused([&] { Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), "(F_MemberID=" + Q(kAnna) + ") OR " + hostile); },
            "RemoveGroupMembers after a good term");
    refused([&] { Contacts()->GetSearchData(kContactSelect + hostile, 15); }, "GetSearchData");
    refused([&] { Contacts()->GetSearchData(kFamilySelect + "Familyname LIKE 'a%' AND " + hostile, 15); }, "GetSearchData after a good term");
    refused([&] { Contacts()->GetSearchSchema(kGroupSelect + hostile); }, "GetSearchSchema");
    EXPECT_EQ(Everything(), before);
    QStringList warnings;
    for (const QString &line : log.lines())
        if (line.startsWith(QStringLiteral("Warning")) && line.contains(QStringLiteral("ContactsService")))
            warnings << line;
    EXPECT_EQ(warnings.size(), 7) << warnings.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(ContactsService, HostileText,
                         ::testing::Values("1=1", "F_MemberID='x' OR 'a'='a", "'", "F_GroupID='a'; DELETE FROM tblContacts",
                                           "F_MemberID IN (SELECT PK_ContactID FROM tblContacts)",
                                           "F_MemberID = (SELECT PK_ContactID FROM tblContacts LIMIT 1)", "F_MemberID='a' -- x",
                                           "F_MemberID='a' /* x */", "PK_ContactID IS NOT NULL", "LogonPassword LIKE '%'"));

// A refused text reaches the log only as a short excerpt on its own line: it can neither
// forge a line of its own nor grow the log by its size.
TEST_F(ContactsService, ARefusedTextIsLoggedAsAShortExcerptOnItsOwnLine)
{
    kestrova::test::LogCapture log;
    const QString forged = QStringLiteral("x'\r\n2024-01-01 10:00:00 :\tSevere\tLogOnService\tVerifyUser forged");
    const QString huge = QStringLiteral("Lastname = '") + QString(1024 * 1024, QLatin1Char('a')) + QStringLiteral("\n'");
    for (const QString &text : {forged, huge}) {
        EXPECT_THROW(Contacts()->GetGroupedContacts(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + text), std::exception);
        EXPECT_THROW(Contacts()->GetGroupedContacts(text, QString()), std::exception);
        EXPECT_THROW(Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), text), std::exception);
        EXPECT_THROW(Contacts()->GetSearchData(kContactSelect + text, 15), std::exception);
        EXPECT_THROW(Contacts()->GetSearchSchema(text), std::exception);
    }
    const QStringList lines = log.lines();
    EXPECT_FALSE(lines.isEmpty());
    qsizetype size = 0;
    for (const QString &line : lines) {
        EXPECT_FALSE(line.contains(QStringLiteral("forged")) && !line.contains(QStringLiteral("ContactsService"))) << line.toStdString();
        EXPECT_FALSE(line.startsWith(QStringLiteral("2024-01-01"))) << line.toStdString();
        EXPECT_LT(line.size(), 1000) << line.left(300).toStdString();
        size += line.size();
    }
    EXPECT_LT(size, 20000);
}

TEST_F(ContactsService, AnUnknownGroupedDatasetIsRefused)
{
    EXPECT_THROW(Contacts()->GetGroupedContacts(QStringLiteral("tblUsers"), QString()), std::exception);
    EXPECT_THROW(Contacts()->GetGroupedContacts(QStringLiteral("DAContactsByGroups; DELETE FROM tblContacts"), QString()), std::exception);
}

TEST_F(ContactsService, RemovingGroupMembersWithoutAConditionIsRefused)
{
    const QString links = Count(QStringLiteral("tblLnkGroupmembers"));
    EXPECT_THROW(Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), QStringLiteral("  ")), std::exception);
    EXPECT_EQ(Count(QStringLiteral("tblLnkGroupmembers")), links);
}

// ---- typed operations --------------------------------------------------------------------------

TEST_F(ContactsService, InsertGroupedContactAddsOneLinkWithANewKey)
{
    EXPECT_TRUE(Contacts()->InsertGroupedContact(kEve, kEmpty, kGroup3));
    const QList<QStringList> rows = db.rows(QStringLiteral("SELECT PK_LinkID, F_MemberTypeID FROM dbo.tblLnkGroupmembers WHERE F_MemberID = '%1'").arg(kEve));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0].size(), 38);
    EXPECT_EQ(rows[0][0], rows[0][0].toUpper());
    EXPECT_EQ(rows[0][1], kEmpty);
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup3)), (QSet<QString>{kCara, kDan, kEve}));
}

TEST_F(ContactsService, RemoveGroupMembersTakesThePersonOutOfTheGroupAndItsSubGroups)
{
    const QString where = "(( F_GroupID=" + Q(kGroup1) + ") OR ( F_GroupID=" + Q(kGroup2) + ")) AND (F_MemberID=" + Q(kDan) + ")";
    EXPECT_TRUE(Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), where));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_LinkID FROM dbo.tblLnkGroupmembers ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("M1")}, {QStringLiteral("M2")}, {QStringLiteral("M3")}, {QStringLiteral("M5")}}));
    // Through the groups root every group is named: the person leaves them all.
    const QString all = "(( F_GroupID=" + Q(kEmpty) + ") OR ( F_GroupID=" + Q(kGroup1) + ") OR ( F_GroupID=" + Q(kGroup2) + ") OR ( F_GroupID=" +
                        Q(kGroup3) + ")) AND (F_MemberID=" + Q(kCara) + ")";
    EXPECT_TRUE(Contacts()->RemoveGroupMembers(QStringLiteral("tblLnkGroupMembers"), all));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblLnkGroupmembers WHERE F_MemberID = '%1'").arg(kCara)), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("tblLnkGroupmembers")), QStringLiteral("3"));
}

TEST_F(ContactsService, AddContactToFamilySetsTheFamilyAndAnEmptyFamilyIsNull)
{
    EXPECT_TRUE(Contacts()->AddContactToFamily(kEve, kFamily2));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT F_FamilyID FROM dbo.tblContacts WHERE PK_ContactID = '%1'").arg(kEve)), kFamily2);
    EXPECT_TRUE(Contacts()->AddContactToFamily(kEve, QString()));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT coalesce(F_FamilyID, 'null') FROM dbo.tblContacts WHERE PK_ContactID = '%1'").arg(kEve)),
              QStringLiteral("null"));
}

TEST_F(ContactsService, RemoveContactsFromFamilyFreesTheMembersOfEveryListedFamilyToNull)
{
    EXPECT_TRUE(Contacts()->RemoveContactsFromFamily(kFamily1 + "\r\n" + kFamily2 + "\r\n"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts WHERE F_FamilyID IS NOT NULL")), QStringLiteral("0"));
    EXPECT_EQ(Count(QStringLiteral("tblFamilies")), QStringLiteral("2"));
    EXPECT_TRUE(Contacts()->RemoveContactsFromFamily(QString()));
}

TEST_F(ContactsService, RemoveContactsFromFamilyFailingOnTheSecondFamilyKeepsTheFirst)
{
    Sql(QStringLiteral(R"(
        CREATE FUNCTION dbo.refuse_family_two() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN IF OLD.F_FamilyID = '%1' THEN RAISE EXCEPTION 'family two is held'; END IF; RETURN NEW; END $$;
        CREATE TRIGGER hold_family_two BEFORE UPDATE ON dbo.tblContacts FOR EACH ROW EXECUTE FUNCTION dbo.refuse_family_two();
    )").arg(kFamily2));
    kestrova::test::LogCapture log;
    const QList<QStringList> before = Everything();
    EXPECT_FALSE(Contacts()->RemoveContactsFromFamily(kFamily1 + "\n" + kFamily2));
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("ContactsService"), QStringLiteral("RemoveContactsFromFamily")).size(), 1);
}

TEST_F(ContactsService, DeleteContactsClearsEverythingThatRefersToThePersons)
{
    EXPECT_TRUE(Contacts()->DeleteContacts(kAnna + "\n" + kCara));
    // Rules owned by or naming either person are gone, the others stay.
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_RuleLnkID FROM dbo.tblLnkServingRules")), QList<QStringList>{{QStringLiteral("R3")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_UnavailiableID FROM dbo.tblUnAvailiabillity")), QList<QStringList>{{QStringLiteral("U4")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ServingPrefrenceID FROM dbo.tblLnkServingPrefrence ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("P2")}, {QStringLiteral("P4")}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_LinkID FROM dbo.tblServingPrefrenceLiturgy")), QList<QStringList>{{QStringLiteral("PL4")}});
    EXPECT_EQ(Count(QStringLiteral("tblServingPrefrenceFrequency")), QStringLiteral("0"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_LinkID FROM dbo.tblLnkGroupmembers ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("M2")}, {QStringLiteral("M4")}, {QStringLiteral("M5")}}));
    // Anna's service is open again; Dan's stays his.
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID, coalesce(F_MinistryMemberID, 'null'), coalesce(F_MinistryMemberTypeID, 'null'), "
                                     "MemberLocked, MemberNotAttended, FlagMinister FROM dbo.tblScheduledMinistryFunctions ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("S1"), QStringLiteral("null"), QStringLiteral("null"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")},
                                  {QStringLiteral("S2"), kDan, kEmpty, QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1")}}));
    // The persons' own rows go in the same transaction; the others stay.
    EXPECT_EQ(Count(QStringLiteral("tblContacts")), QStringLiteral("3"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblContacts WHERE PK_ContactID IN ('%1', '%2')").arg(kAnna, kCara)),
              QStringLiteral("0"));
}

// Refused half-way (a link of Cara's) or at the last step (Cara's own row): the links cleared
// before come back, so nobody is left without assignments, rules, preferences and groups.
TEST_F(ContactsService, DeleteContactsFailingHalfWayLeavesEveryPersonWhole)
{
    // The table whose deletion is refused for Cara, its column holding her key.
    const std::pair<const char *, const char *> cases[] = {{"tblLnkGroupmembers", "F_MemberID"}, {"tblContacts", "PK_ContactID"}};
    for (const auto &[table, column] : cases) {
        Sql(QStringLiteral(R"(
            CREATE OR REPLACE FUNCTION dbo.refuse_cara() RETURNS trigger LANGUAGE plpgsql AS $$
            BEGIN IF OLD.%2 = '%1' THEN RAISE EXCEPTION 'Cara is held'; END IF; RETURN OLD; END $$;
            CREATE TRIGGER hold_cara BEFORE DELETE ON dbo.%3 FOR EACH ROW EXECUTE FUNCTION dbo.refuse_cara();
        )").arg(kCara, QLatin1String(column), QLatin1String(table)));
        kestrova::test::LogCapture log;
        const QList<QStringList> before = Everything();
        EXPECT_FALSE(Contacts()->DeleteContacts(kAnna + "\n" + kCara + "\n" + kDan)) << table;
        EXPECT_EQ(Everything(), before) << table;
        const QStringList severe = log.texts(QStringLiteral("Severe"), QStringLiteral("ContactsService"), QStringLiteral("DeleteContact"));
        ASSERT_EQ(severe.size(), 1) << table;
        EXPECT_TRUE(severe[0].contains(QStringLiteral("Cara is held"))) << severe[0].toStdString();
        Sql(QStringLiteral("DROP TRIGGER hold_cara ON dbo.%1;").arg(QLatin1String(table)));
    }
}

TEST_F(ContactsService, DeleteContactsWithAnEmptyListDoesNothing)
{
    const QList<QStringList> before = Everything();
    EXPECT_TRUE(Contacts()->DeleteContacts(QStringLiteral("\n")));
    EXPECT_EQ(Everything(), before);
}

// ---- deltas on the updatable datasets ----------------------------------------------------------

class ContactsDeltas : public ContactsService
{
protected:
    // One delta of one change; the values are field name -> value, old values of keys marked "OLD_".
    void Apply(const QString &dataset, TDAChangeType type, const QVariantMap &values)
    {
        TDADelta delta;
        delta.LogicalName = dataset;
        delta.Fields = TContactsService::Schema().DatasetByName(dataset).Fields;
        TDADeltaChange change(1, type, int(delta.Fields.size()));
        for (auto it = values.begin(); it != values.end(); ++it) {
            const bool old = it.key().startsWith(QLatin1String("OLD_"));
            const int field = DAFindField(delta.Fields, old ? it.key().mid(4) : it.key());
            ASSERT_GE(field, 0) << it.key().toStdString();
            if (old)
                change.SetOldValue(field, it.value());
            else
                change.SetNewValue(field, it.value());
        }
        delta.Changes << change;
        const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
        const auto reply = Contacts()->UpdateData(&request);
        ASSERT_TRUE(reply);
        for (const TDADelta &answered : TDADataStreamer::ReadDeltas(reply->Bytes()))
            for (const TDADeltaChange &answer : answered.Changes)
                EXPECT_EQ(answer.Status, TDAChangeStatus::csResolved) << dataset.toStdString() << ": " << answer.Message.toStdString();
    }

    QString Value(const QString &sql) { return db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
};

TEST_F(ContactsDeltas, TheContactListInsertsAndUpdatesButLeavesCommentsToTheDialog)
{
    Apply(QStringLiteral("DAContactList"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_ContactID"), QStringLiteral("{N1}")}, {QStringLiteral("LastName"), QStringLiteral("Newman")},
           {QStringLiteral("Comments"), QStringLiteral("first")}});
    Apply(QStringLiteral("DAContactList"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_ContactID"), QStringLiteral("{N1}")}, {QStringLiteral("F_FamilyID"), kFamily1},
           {QStringLiteral("Comments"), QStringLiteral("second")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT LastName, F_FamilyID, Comments FROM dbo.tblContacts WHERE PK_ContactID = '{N1}'")),
              (QList<QStringList>{{QStringLiteral("Newman"), kFamily1, QStringLiteral("first")}}));
    Apply(QStringLiteral("DAContactList"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_ContactID"), QStringLiteral("{N1}")}});
    EXPECT_EQ(Value(QStringLiteral("SELECT count(*) FROM tblContacts WHERE PK_ContactID = '{N1}'")), QStringLiteral("0"));
}

TEST_F(ContactsDeltas, ContactDetailsLandButTheJoinedNamesAreNotWritten)
{
    Apply(QStringLiteral("DAContactDetails"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_ContactID"), kEve}, {QStringLiteral("city"), QStringLiteral("Utrecht")}, {QStringLiteral("FlagContact"), true},
           {QStringLiteral("Comments"), QStringLiteral("note")}, {QStringLiteral("FamilyName"), QStringLiteral("ignored")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT City, FlagContact, Comments FROM dbo.tblContacts WHERE PK_ContactID = '%1'").arg(kEve)),
              (QList<QStringList>{{QStringLiteral("Utrecht"), QStringLiteral("1"), QStringLiteral("note")}}));
    const auto data = Contacts()->GetData({QStringLiteral("DAContactDetails")},
                                          {TableRequestInfoV5{TableRequestInfo{QString(), true, -1, {DataParameter{QStringLiteral("ContactID"), kAnna}}}, {}, {}, {}}});
    const TDATableData details = Table(data);
    EXPECT_EQ(Column(details, QStringLiteral("FamilyName")), QStringList{QStringLiteral("Abbot-Abrams")});
}

TEST_F(ContactsDeltas, ImportedContactsLand)
{
    Apply(QStringLiteral("DAImportContacts"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_ContactID"), QStringLiteral("{I1}")}, {QStringLiteral("LastName"), QStringLiteral("Imported")},
           {QStringLiteral("Phone1"), QStringLiteral("555")}, {QStringLiteral("DateOfBirth"), QVariant()}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT LastName, phone1, coalesce(DateOfBirth::text, 'null') FROM dbo.tblContacts WHERE PK_ContactID = '{I1}'")),
              (QList<QStringList>{{QStringLiteral("Imported"), QStringLiteral("555"), QStringLiteral("null")}}));
}

TEST_F(ContactsDeltas, ServingPreferencesTheirLiturgiesAndFrequenciesLand)
{
    Apply(QStringLiteral("DALnkServingPrefrence"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_ServingPrefrenceID"), QStringLiteral("P9")}, {QStringLiteral("F_ContactID"), kEve},
           {QStringLiteral("F_MinistryFunctionID"), kUsher}, {QStringLiteral("ContactType"), 0}, {QStringLiteral("ContactCanFillIn"), true}});
    Apply(QStringLiteral("DAServingPrefrenceLiturgy"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_LinkID"), QStringLiteral("PL9")}, {QStringLiteral("F_ServingPrefrenceID"), QStringLiteral("P9")},
           {QStringLiteral("F_ContactID"), kEve}, {QStringLiteral("F_LiturgyTemplateID"), kL1}});
    Apply(QStringLiteral("DAServingPrefrenceFrequency"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_LinkID"), QStringLiteral("PF9")}, {QStringLiteral("F_ServingPrefrenceID"), QStringLiteral("P9")},
           {QStringLiteral("F_ContactID"), kEve}, {QStringLiteral("F_FrequencyID"), QStringLiteral("W")}});
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByCanFillIn"), QString()), (QSet<QString>{kCara, kEve}));
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByLitugy"), kLiturgyCol + " LIKE " + Q(kL1)), (QSet<QString>{kAnna, kEve}));
    Apply(QStringLiteral("DAServingPrefrenceLiturgy"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_LinkID"), QStringLiteral("PL9")}, {QStringLiteral("F_LiturgyTemplateID"), kL2}});
    Apply(QStringLiteral("DAServingPrefrenceFrequency"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_LinkID"), QStringLiteral("PF9")}});
    Apply(QStringLiteral("DALnkServingPrefrence"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_ServingPrefrenceID"), QStringLiteral("P9")}, {QStringLiteral("ContactCanFillIn"), false}});
    EXPECT_EQ(Value(QStringLiteral("SELECT F_LiturgyTemplateID FROM tblServingPrefrenceLiturgy WHERE PK_LinkID = 'PL9'")), kL2);
    EXPECT_EQ(Value(QStringLiteral("SELECT count(*) FROM tblServingPrefrenceFrequency WHERE PK_LinkID = 'PF9'")), QStringLiteral("0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT ContactCanFillIn FROM tblLnkServingPrefrence WHERE PK_ServingPrefrenceID = 'P9'")), QStringLiteral("0"));
}

TEST_F(ContactsDeltas, UnavailableDatesLand)
{
    Apply(QStringLiteral("DAUnAvailiabillity"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_UnavailiableID"), QStringLiteral("U9")}, {QStringLiteral("F_ContactID"), kEve},
           {QStringLiteral("UnavailiableDate"), WallClock(QDate(2027, 1, 6), QTime(0, 0))}});
    Apply(QStringLiteral("DAUnAvailiabillity"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_UnavailiableID"), QStringLiteral("U1")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_UnavailiableID, UnavailiableDate::date::text FROM dbo.tblUnAvailiabillity ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("U4"), QStringLiteral("2026-12-25")}, {QStringLiteral("U9"), QStringLiteral("2027-01-06")}}));
}

TEST_F(ContactsDeltas, RulesLandThroughBothRuleDatasets)
{
    Apply(QStringLiteral("DALnkServingRules"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_RuleLnkID"), QStringLiteral("R8")}, {QStringLiteral("F_OwnerMemberID"), kEve}, {QStringLiteral("F_RuleMemberID"), kAnna},
           {QStringLiteral("F_RuleTypeID"), QStringLiteral("T")}});
    Apply(QStringLiteral("DAAllRules"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_RuleLnkID"), QStringLiteral("R9")}, {QStringLiteral("F_OwnerMemberID"), kEve}, {QStringLiteral("F_RuleMemberID"), kDan},
           {QStringLiteral("F_RuleTypeID"), QStringLiteral("T")}, {QStringLiteral("LastName"), QStringLiteral("joined, not written")}});
    Apply(QStringLiteral("DAAllRules"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_RuleLnkID"), QStringLiteral("R9")}, {QStringLiteral("RuleMemberCaption"), QStringLiteral("Dan")}});
    Apply(QStringLiteral("DAAllRules"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_RuleLnkID"), QStringLiteral("R1")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_RuleLnkID, coalesce(RuleMemberCaption, '-') FROM dbo.tblLnkServingRules ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("R2"), QStringLiteral("-")}, {QStringLiteral("R3"), QStringLiteral("-")},
                                  {QStringLiteral("R8"), QStringLiteral("-")}, {QStringLiteral("R9"), QStringLiteral("Dan")}}));
    const TDATableData rules = Table(Contacts()->GetData(
        {QStringLiteral("DAAllRules")},
        {TableRequestInfoV5{TableRequestInfo{QString(), true, -1, {DataParameter{QStringLiteral("OwnerID"), kEve}, DataParameter{QStringLiteral("MemberID"), kEve}}}, {}, {}, {}}}));
    // Eve owns rules naming Anna and Dan and is named by Ben's.
    EXPECT_EQ(Set(Column(rules, QStringLiteral("LastName"))),
              (QSet<QString>{QStringLiteral("Abbot"), QStringLiteral("Carter"), QStringLiteral("Abrams")}));
}

TEST_F(ContactsDeltas, GroupsAndTheirMemberLinksLand)
{
    Apply(QStringLiteral("DAGroupsList"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_GroupID"), QStringLiteral("{G9}")}, {QStringLiteral("GroupName"), QStringLiteral("Servers")},
           {QStringLiteral("F_ParentGroupID"), kGroup3}});
    Apply(QStringLiteral("DALnkGroupMembers"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_LinkID"), QStringLiteral("M9")}, {QStringLiteral("F_GroupID"), QStringLiteral("{G9}")},
           {QStringLiteral("F_MemberID"), kEve}, {QStringLiteral("F_MemberTypeID"), kEmpty}});
    Apply(QStringLiteral("DAGroupsList"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_GroupID"), QStringLiteral("{G9}")}, {QStringLiteral("GroupName"), QStringLiteral("Altar servers")}});
    Apply(QStringLiteral("DALnkGroupMembers"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_LinkID"), QStringLiteral("M1")}});
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(QStringLiteral("{G9}"))), QSet<QString>{kEve});
    EXPECT_EQ(Value(QStringLiteral("SELECT GroupName FROM tblGroups WHERE PK_GroupID = '{G9}'")), QStringLiteral("Altar servers"));
    EXPECT_EQ(Grouped(QStringLiteral("DAContactsByGroups"), kGroupCol + "=" + Q(kGroup1)), QSet<QString>{kDan});
    const TDATableData memberOf = Table(Contacts()->GetData(
        {QStringLiteral("DALnkMemberOfGroups")},
        {TableRequestInfoV5{TableRequestInfo{QString(), true, -1, {DataParameter{QStringLiteral("F_MemberID"), kDan}, DataParameter{QStringLiteral("F_MemberTypeID"), kEmpty}}}, {}, {}, {}}}));
    EXPECT_EQ(Set(Column(memberOf, QStringLiteral("GroupName"))), (QSet<QString>{QStringLiteral("Choir"), QStringLiteral("Readers")}));
}

TEST_F(ContactsDeltas, FamiliesLandThroughTheListAndTheDetails)
{
    Apply(QStringLiteral("DAFamilyDetails"), TDAChangeType::ctInsert,
          {{QStringLiteral("PK_FamilyID"), QStringLiteral("{F9}")}, {QStringLiteral("FamilyName"), QStringLiteral("Dunn")},
           {QStringLiteral("Modifiedby"), QStringLiteral("admin")}, {QStringLiteral("F_ModifiedUserID"), kAdministratorId}});
    Apply(QStringLiteral("DAFamilyList"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_FamilyID"), QStringLiteral("{F9}")}, {QStringLiteral("FamilyCity"), QStringLiteral("Leiden")}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT FamilyName, FamilyCity FROM dbo.tblFamilies WHERE PK_FamilyID = '{F9}'")),
              (QList<QStringList>{{QStringLiteral("Dunn"), QStringLiteral("Leiden")}}));
    const TDATableData details = Table(Contacts()->GetData(
        {QStringLiteral("DAFamilyDetails")}, {TableRequestInfoV5{TableRequestInfo{QString(), true, -1, {DataParameter{QStringLiteral("PK_FamilyID"), QStringLiteral("{F9}")}}}, {}, {}, {}}}));
    EXPECT_EQ(Column(details, QStringLiteral("Modifiedby")), QStringList{QStringLiteral("admin")});
    Apply(QStringLiteral("DAFamilyList"), TDAChangeType::ctDelete, {{QStringLiteral("OLD_PK_FamilyID"), QStringLiteral("{F9}")}});
    EXPECT_EQ(Count(QStringLiteral("tblFamilies")), QStringLiteral("2"));
}

TEST_F(ContactsDeltas, AFailingFamilyChangeLogsItsErrorAndStatement)
{
    kestrova::test::LogCapture log;
    TDADelta delta;
    delta.LogicalName = QStringLiteral("DAFamilyDetails");
    delta.Fields = TContactsService::Schema().DatasetByName(delta.LogicalName).Fields;
    TDADeltaChange change(1, TDAChangeType::ctInsert, int(delta.Fields.size()));
    change.SetNewValue(DAFindField(delta.Fields, QStringLiteral("PK_FamilyID")), kFamily1); // already there
    delta.Changes << change;
    const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
    const auto reply = Contacts()->UpdateData(&request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(TDADataStreamer::ReadDeltas(reply->Bytes()).at(0).Changes.at(0).Status, TDAChangeStatus::csFailed);
    const QStringList lines = log.texts(QStringLiteral("Severe"), QStringLiteral("ContactsService"), QStringLiteral("BizDAFamilyDetailsProcessError"));
    // One line: the database's text, then the statement.
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\tINSERT INTO tblFamilies"))) << lines[0].toStdString();
}

TEST_F(ContactsDeltas, MinisterScheduleChangesOnlyTheAttendance)
{
    const auto data = Contacts()->GetData({QStringLiteral("DAMinisterSchedule")}, {TableRequestInfoV5{}});
    EXPECT_EQ(Set(Column(Table(data), QStringLiteral("PK_ContactID"))), (QSet<QString>{kAnna, kDan}));
    Apply(QStringLiteral("DAMinisterSchedule"), TDAChangeType::ctUpdate,
          {{QStringLiteral("OLD_PK_ContactID"), kDan}, {QStringLiteral("OLD_F_ScheduledLiturgyID"), QStringLiteral("SL1")},
           {QStringLiteral("MemberNotAttended"), true}});
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID, MemberNotAttended FROM dbo.tblScheduledMinistryFunctions ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("S1"), QStringLiteral("1")}, {QStringLiteral("S2"), QStringLiteral("1")}}));
}

TEST_F(ContactsDeltas, TheReadOnlyListsRefuseChanges)
{
    TDADelta delta;
    delta.LogicalName = QStringLiteral("DAContactsByGroups");
    delta.Fields = TContactsService::Schema().DatasetByName(delta.LogicalName).Fields;
    TDADeltaChange change(1, TDAChangeType::ctDelete, int(delta.Fields.size()));
    change.SetOldValue(0, kAnna);
    delta.Changes << change;
    const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
    const QList<QStringList> before = Everything();
    try {
        const auto reply = Contacts()->UpdateData(&request);
        ASSERT_TRUE(reply);
        EXPECT_EQ(TDADataStreamer::ReadDeltas(reply->Bytes()).at(0).Changes.at(0).Status, TDAChangeStatus::csFailed);
    } catch (const std::exception &) {
    }
    EXPECT_EQ(Everything(), before);
}

} // namespace
