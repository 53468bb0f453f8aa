// The scheduler's ranking functions and lists on a small hand-built parish: people with and
// without preferred liturgies and weeks, a fill-in, an unavailable person, assignments before
// and after the history start.
#include "foundation/QorDateTime.h"
#include "testsupport/CurrentSchema.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using kestrova::test::CurrentSchemaStage;
using kestrova::test::TestDatabase;

const char *const kWeek2 = "{0B3E8DDA-8FE6-4FD3-BF84-2E06FFA4F32F}";
const char *const kWeek3 = "{16A4AEE4-D2DC-4C7D-96D2-8E89E9F07CA0}";
const char *const kHistoryStart = "'2024-01-01'";

class Ranking : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        db.exec(QStringLiteral(
            "INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, Street, City, State, Zip) VALUES"
            " ('{A}', 'Ann', 'Adams', '1 Long Street', 'Oslo', 'OS', '0150'), ('{B}', 'Bob', 'Brown', NULL, NULL, NULL, NULL),"
            " ('{C}', 'Cid', 'Clark', NULL, NULL, NULL, NULL), ('{D}', 'Dan', 'Davis', NULL, NULL, NULL, NULL),"
            " ('{E}', 'Eve', 'Evans', NULL, NULL, NULL, NULL), ('{FI}', 'Fay', 'Fisher', NULL, NULL, NULL, NULL);"
            "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES"
            " ('{FN-F}', 'Reader'), ('{FN-G}', 'Server'), ('{FN-H}', 'Cantor');"
            "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName) VALUES ('{T1}', 'Mass'), ('{T2}', 'Vespers');"
            "INSERT INTO tblEvents (PK_EventID, StartDateTime) VALUES"
            " ('{EV-NW}', '2024-06-12 19:00'), ('{EV-WE}', '2024-06-09 10:00'), ('{EV-P1}', '2023-12-31 10:00'),"
            " ('{EV-P2}', '2024-06-02 10:00'), ('{EV-P3}', '2024-05-26 10:00');"
            "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID) VALUES"
            " ('{L-NW}', '{EV-NW}', '{T1}'), ('{L-WE}', '{EV-WE}', '{T1}'), ('{L-P1}', '{EV-P1}', '{T1}'),"
            " ('{L-P2}', '{EV-P2}', '{T1}'), ('{L-P3}', '{EV-P3}', '{T1}');"
            "INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID) VALUES"
            " ('{S-NW-F}', '{L-NW}', '{FN-F}', NULL), ('{S-NW-G1}', '{L-NW}', '{FN-G}', NULL), ('{S-NW-G2}', '{L-NW}', '{FN-G}', NULL),"
            " ('{S-NW-H}', '{L-NW}', '{FN-H}', NULL), ('{S-WE-F}', '{L-WE}', '{FN-F}', NULL),"
            " ('{S-P1}', '{L-P1}', '{FN-F}', '{B}'), ('{S-P2}', '{L-P2}', '{FN-G}', '{A}'), ('{S-P3}', '{L-P3}', '{FN-F}', '{A}');"
            "INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn) VALUES"
            " ('{P-A-F}', '{A}', '{FN-F}', 0), ('{P-A-G}', '{A}', '{FN-G}', 0), ('{P-B-F}', '{B}', '{FN-F}', 0),"
            " ('{P-C-F}', '{C}', '{FN-F}', 1), ('{P-D-F}', '{D}', '{FN-F}', 0), ('{P-E-F}', '{E}', '{FN-F}', 0),"
            " ('{P-FI-F}', '{FI}', '{FN-F}', 0);"
            "INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID) VALUES"
            " ('{PL-A}', '{P-A-F}', '{A}', '{T1}'), ('{PL-C}', '{P-C-F}', '{C}', '{T2}'), ('{PL-D}', '{P-D-F}', '{D}', '{T1}'),"
            " ('{PL-E}', '{P-E-F}', '{E}', '{T2}'), ('{PL-FI}', '{P-FI-F}', '{FI}', '{T1}');"
            "INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_FrequencyID) VALUES"
            " ('{PF-A}', '{P-A-F}', '{A}', '%1'), ('{PF-FI}', '{P-FI-F}', '{FI}', '%2');"
            // Unavailable on both days, at a time of day other than the liturgy's.
            "INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate) VALUES"
            " ('{U1}', '{D}', '2024-06-12 08:30'), ('{U2}', '{D}', '2024-06-09 23:00');"
            "INSERT INTO tblGroups (PK_GroupID, GroupName) VALUES ('{GR}', 'Choir');"
            "INSERT INTO tblLnkGroupmembers VALUES ('{LG}', '{GR}', '{A}', '{00000000-0000-0000-0000-000000000000}');"
            "INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID) VALUES"
            " ('{R1}', '{A}', '{B}', '{AE7ADCC4-541B-497C-BB5B-B0005C51471E}'),"
            " ('{R2}', '{C}', '{A}', '{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}'),"
            " ('{R3}', '{B}', '{C}', '{D88258F0-95AF-4E8E-B82C-547C1B6235BB}');")
                    .arg(QLatin1String(kWeek2), QLatin1String(kWeek3)));
    }

    QList<QStringList> rows(const QString &sql) const { return db.rows(sql.arg(QLatin1String(kHistoryStart))); }

    TestDatabase db{CurrentSchemaStage()};
};

const QString kCandidateColumns = QStringLiteral(
    "PK_ContactID, ContactCanFillIn, NumAssigned, IsFillIn, LastName, HasPrefered, NumFunctions, SidenSist, RRatio");

TEST_F(Ranking, NonWeekendCandidatesPutPreferringPeopleFirstAndFillInsLast)
{
    // Adams served other functions since this one (ratio 1 of 2 functions); Fisher and Brown never
    // served since the history start; Fisher prefers this liturgy, Brown names none; Clark is a
    // fill-in; Davis is away that day; Evans prefers another liturgy.
    EXPECT_EQ(rows(QStringLiteral("SELECT ") + kCandidateColumns
                   + QStringLiteral(" FROM step4_nw_ordered('{T1}', '{L-NW}', '{FN-F}', %1)")),
              QList<QStringList>({
                  {"{A}", "0", "2", "0", "Adams", "0", "2", "249", "0.5"},
                  {"{FI}", "0", "0", "0", "Fisher", "0", "1", "4000000", "0"},
                  {"{B}", "0", "0", "0", "Brown", "1", "1", "4000000", "0"},
                  {"{C}", "1", "0", "1", "Clark", "1", "1", "4000000", "0"},
              }));
}

TEST_F(Ranking, WeekendCandidatesFollowTheWeekOfTheMonth)
{
    // Fisher serves only in the third week, Adams only in the second.
    EXPECT_EQ(rows(QStringLiteral("SELECT ") + kCandidateColumns
                   + QStringLiteral(" FROM step4_weekend_ordered(2, '{T1}', '{L-WE}', '{FN-F}', %1)")),
              QList<QStringList>({
                  {"{A}", "0", "2", "0", "Adams", "0", "2", "168", "0.5"},
                  {"{B}", "0", "0", "0", "Brown", "2", "1", "4000000", "0"},
                  {"{C}", "1", "0", "1", "Clark", "2", "1", "4000000", "0"},
              }));
    EXPECT_EQ(rows(QStringLiteral("SELECT PK_ContactID FROM step4_weekend_ordered(3, '{T1}', '{L-WE}', '{FN-F}', %1)")),
              QList<QStringList>({{"{FI}"}, {"{B}"}, {"{C}"}}));
}

TEST_F(Ranking, EveryCandidateGetsANewRandomKey)
{
    const auto keys = rows(QStringLiteral("SELECT Random FROM step4_nw_ordered('{T1}', '{L-NW}', '{FN-F}', %1)"));
    ASSERT_EQ(keys.size(), 4);
    QSet<QString> distinct;
    for (const auto &k : keys) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\{[0-9A-F-]{36}\\}$")).match(k[0]).hasMatch()) << k[0].toStdString();
        distinct.insert(k[0]);
    }
    EXPECT_EQ(distinct.size(), 4);
}

double weight(double rr, double maxRR, double ss, double maxSS, int hasPrefered)
{
    const double hp = (hasPrefered == 2 ? 0 : hasPrefered == 0 ? 2 : hasPrefered) / 2.0 * 0.25;
    if (rr == 0)
        return ss / maxSS * 0.45 + hp;
    return rr / maxRR * 0.3 + ss / maxSS * 0.45 + hp;
}

TEST_F(Ranking, Step4WeighsRotationTimeAndPreference)
{
    const auto result = rows(QStringLiteral(
        "SELECT PK_ContactID, ContactName, IsFillIn, HasPrefered, SidenSist, Random, weighter "
        "FROM Step4(-1, '{T1}', '{L-NW}', '{FN-F}', %1, 0.3, 0.45, 0.25) ORDER BY IsFillIn, weighter DESC, PK_ContactID"));
    ASSERT_EQ(result.size(), 4);
    // Only Adams served since the history start, so 249 hours is the longest time counted.
    const QStringList order{result[0][0], result[1][0], result[2][0], result[3][0]};
    EXPECT_EQ(order, QStringList({"{FI}", "{B}", "{A}", "{C}"}));
    EXPECT_EQ(result[2][1], QStringLiteral("Ann Adams"));
    EXPECT_EQ(result[3][2], QStringLiteral("1"));
    EXPECT_EQ(result[0][5], QStringLiteral("{4397799D-D70F-4097-A6D6-04E09DE84AAD}"));
    EXPECT_NEAR(result[0][6].toDouble(), weight(0, 0.5, 4000000, 249, 0), 1e-6);
    EXPECT_NEAR(result[1][6].toDouble(), weight(0, 0.5, 4000000, 249, 1), 1e-6);
    EXPECT_NEAR(result[2][6].toDouble(), weight(0.5, 0.5, 249, 249, 0), 1e-9);
    EXPECT_NEAR(result[3][6].toDouble(), weight(0, 0.5, 4000000, 249, 1), 1e-6);
}

TEST_F(Ranking, Step4OnAWeekendGivesThePreferenceOfBothLiturgyAndWeek)
{
    const auto result = rows(QStringLiteral(
        "SELECT PK_ContactID, HasPrefered, weighter FROM Step4(2, '{T1}', '{L-WE}', '{FN-F}', %1, 0.3, 0.45, 0.25) "
        "ORDER BY IsFillIn, weighter DESC, PK_ContactID"));
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0][0], QStringLiteral("{B}"));
    EXPECT_NEAR(result[0][2].toDouble(), weight(0, 0.5, 4000000, 168, 2), 1e-6);
    EXPECT_EQ(result[1][0], QStringLiteral("{A}"));
    EXPECT_NEAR(result[1][2].toDouble(), weight(0.5, 0.5, 168, 168, 0), 1e-9);
    EXPECT_EQ(result[2][0], QStringLiteral("{C}"));
}

TEST_F(Ranking, HistoryCountsFromTheHistoryStartDate)
{
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT NumAssigned('{B}', '2023-01-01', '2024-06-12')")), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT NumAssigned('{B}', '2024-01-01', '2024-06-12')")), QStringLiteral("0"));
    // Both ends are included.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT NumAssigned('{A}', '2024-05-26 10:00', '2024-06-02 10:00')")), QStringLiteral("2"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT SinceLast('{B}', '2024-06-12', '2024-01-01')")), QStringLiteral("4000000"));
    const qint64 hours = WallClock(QDate(2023, 12, 31), QTime(10, 0)).secsTo(WallClock(QDate(2024, 6, 12), QTime(0, 0))) / 3600;
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT SinceLast('{B}', '2024-06-12', '2023-01-01')")), QString::number(hours));
    // Only assignments before the moment count; hours are counted as hour boundaries crossed.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT SinceLast('{A}', '2024-06-02 10:00', '2024-01-01')")), QStringLiteral("168"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT SinceLast('{A}', '2024-06-02 11:05', '2024-01-01')")), QStringLiteral("1"));
}

TEST_F(Ranking, RotationRatioCountsOtherAssignmentsSinceThisFunction)
{
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT RotationRatio('{A}', '{FN-F}', '2024-06-12', '2024-01-01')")), QStringLiteral("0.5"));
    // The latest assignment was this very function.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT RotationRatio('{A}', '{FN-G}', '2024-06-12', '2024-01-01')")), QStringLiteral("0"));
    // No assignment in the window.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT RotationRatio('{A}', '{FN-F}', '2024-05-01', '2024-01-01')")), QStringLiteral("0"));
    // One serving preference only, or none at all.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT RotationRatio('{B}', '{FN-F}', '2024-06-12', '2023-01-01')")), QStringLiteral("0"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT RotationRatio('{NOBODY}', '{FN-F}', '2024-06-12', '2023-01-01')")), QStringLiteral("0"));
}

TEST_F(Ranking, FunctionsWithTheFewestPeopleComeFirst)
{
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID, MinistryFunctionName, Ant, AntMinisters FROM step3_ordered('{L-NW}')")),
              QList<QStringList>({
                  {"{S-NW-H}", "Cantor", "1", "0"},
                  {"{S-NW-G1}", "Server", "2", "1"},
                  {"{S-NW-G2}", "Server", "2", "1"},
                  {"{S-NW-F}", "Reader", "1", "6"},
              }));
}

TEST_F(Ranking, ThePeriodIncludesBothEndsEarliestFirst)
{
    EXPECT_EQ(db.rows(QStringLiteral("SELECT * FROM sp_Auto_Step2('2024-06-09 10:00', '2024-06-12 19:00')")),
              QList<QStringList>({
                  {"{L-WE}", "2024-06-09 10:00:00", "{T1}", "{EV-WE}"},
                  {"{L-NW}", "2024-06-12 19:00:00", "{T1}", "{EV-NW}"},
              }));
}

TEST_F(Ranking, RulesAreSeenFromEitherSide)
{
    EXPECT_EQ(db.rows(QStringLiteral("SELECT Contact, Rule FROM sp_AutoSchedule_Rulemembers('{A}', '{A}')")),
              QList<QStringList>({
                  {"{B}", "{AE7ADCC4-541B-497C-BB5B-B0005C51471E}"},
                  {"{C}", "{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}"},
              }));
}

TEST_F(Ranking, DirectoryAndLabelRowsNameEveryKindOfMembership)
{
    EXPECT_EQ(db.rows(QStringLiteral("SELECT Name, TotAdr, MemberOf, theID FROM groupdir WHERE PK_ContactID = '{A}' ORDER BY MemberOf")),
              QList<QStringList>({
                  {"Adams, Ann ", "1 Long Street\nOslo, OS 0150", "Choir", "{GR}"},
                  {"Adams, Ann ", "1 Long Street\nOslo, OS 0150", "Mass", "{T1}"},
                  {"Adams, Ann", "1 Long Street\nOslo, OS 0150", "Reader", "{FN-F}"},
                  {"Adams, Ann", "1 Long Street\nOslo, OS 0150", "Server", "{FN-G}"},
              }));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ContactID, theID FROM groupdir WHERE MemberOf = 'can fill in'")),
              QList<QStringList>({{"{C}", QString()}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT DISTINCT SortName, Name, TotAdr FROM grouplabel WHERE PK_ContactID = '{A}'")),
              QList<QStringList>({{"ADAMS,ANN", "ADAMS, ANN ", "1 LONG STREET\nOSLO, OS 0150"}}));
}

} // namespace
