// The ranking held in memory, on small hand-made rows: the quirks of the database procedure it
// must keep. Its equality with the procedure on whole parishes is RankingEquivalenceTest's.
#include "server/scheduler/TAutoScheduleRanking.h"
#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kHistoryStart(QDate(2026, 1, 1), QTime(0, 0));
// Sunday 8 November 2026, 10:00.
const QDateTime kSunday(QDate(2026, 11, 8), QTime(10, 0));

QDateTime Before(int hours)
{
    return kSunday.addSecs(-3600 * hours);
}

class InMemoryRanking : public ::testing::Test
{
protected:
    void Prefer(const QString &contact, const QString &function, int canFillIn = 0, std::optional<QString> liturgy = {},
                std::optional<int> week = {})
    {
        rows.Preferences.append({contact + function + QString::number(rows.Preferences.size()), contact, function, canFillIn,
                                 liturgy, week});
    }
    // Rows must come earliest first, keys descending within one start.
    void Served(const QString &key, const QString &contact, const QString &function, const QDateTime &start,
                const QString &liturgy = QStringLiteral("OLD"))
    {
        rows.Rows.append({key, liturgy, function, contact, start});
    }
    QList<TAutoScheduleCandidateRow> Candidates(int weekNum = 2, const QString &templateId = QStringLiteral("T1"))
    {
        const TAutoScheduleRanking ranking(rows, kHistoryStart);
        return ranking.Candidates({weekNum, QStringLiteral("L"), QStringLiteral("F"), templateId, kHistoryStart, kSunday});
    }
    static QStringList Ids(const QList<TAutoScheduleCandidateRow> &list)
    {
        QStringList ids;
        for (const TAutoScheduleCandidateRow &r : list)
            ids << r.ContactID + QLatin1Char('/') + QString::number(r.IsFillIn);
        return ids;
    }

    TAutoScheduleRankingRows rows{{"A", "B", "C", "D"}, {}, {}, {}};
};

TEST_F(InMemoryRanking, TheLiturgysOwnOldMembersAtItsVeryStartCountForAssignmentsButNotForTimeSinceServing)
{
    Prefer("A", "F");
    Prefer("A", "G");
    Served("S1", "A", "G", Before(48));
    Served("S0", "A", "G", kSunday, QStringLiteral("L"));
    const TAutoScheduleRanking ranking(rows, kHistoryStart);
    EXPECT_EQ(ranking.NumAssigned("A", kSunday), 2);
    EXPECT_EQ(ranking.SinceLast("A", kSunday), 48);
    EXPECT_DOUBLE_EQ(ranking.RotationRatio("A", "F", kSunday), 1.0);
}

TEST_F(InMemoryRanking, TheRotationRatioWalksNewestFirstAndByKeyWithinOneStart)
{
    Prefer("A", "F");
    Prefer("A", "G");
    // One start, two rows: the walk meets K1 (G) before K2 (F), so one other assignment lies between.
    Served("K2", "A", "F", Before(24));
    Served("K1", "A", "G", Before(24));
    const TAutoScheduleRanking ranking(rows, kHistoryStart);
    EXPECT_DOUBLE_EQ(ranking.RotationRatio("A", "F", kSunday), 0.5);
    EXPECT_DOUBLE_EQ(ranking.RotationRatio("A", "G", kSunday), 0.0);
    // Never served F since the history start: every assignment counts.
    EXPECT_DOUBLE_EQ(ranking.RotationRatio("A", "H", kSunday), 1.0);
}

TEST_F(InMemoryRanking, OneFunctionOnlyGivesNoRatioAndHoursAreHourBoundariesCrossed)
{
    Prefer("A", "F");
    Served("S1", "A", "G", kSunday.addSecs(-2 * 60));
    const TAutoScheduleRanking ranking(rows, kHistoryStart);
    EXPECT_DOUBLE_EQ(ranking.RotationRatio("A", "F", kSunday), 0.0);
    EXPECT_EQ(ranking.SinceLast("A", kSunday), 1) << "09:58 to 10:00 crosses one hour boundary";
    EXPECT_EQ(ranking.SinceLast("B", kSunday), 4000000);
}

TEST_F(InMemoryRanking, RowsBeforeTheHistoryStartCountForNothing)
{
    Prefer("A", "F");
    Served("S1", "A", "F", kHistoryStart.addSecs(-1));
    const TAutoScheduleRanking ranking(rows, kHistoryStart);
    EXPECT_EQ(ranking.NumAssigned("A", kSunday), 0);
    EXPECT_EQ(ranking.SinceLast("A", kSunday), 4000000);
}

TEST_F(InMemoryRanking, TiesFallToTheContactKeyOrderThenToFillingIn)
{
    rows.Contacts = {"D", "C", "B", "A"}; // the database's order of keys, whatever it is
    for (const char *who : {"A", "B", "C"})
        Prefer(who, "F", 0, QStringLiteral("T1"));
    // D twice: the same preference the other way round for filling in.
    Prefer("D", "F", 1, QStringLiteral("T1"));
    Prefer("D", "F", 0, QStringLiteral("T1"));
    EXPECT_EQ(Ids(Candidates()), QStringList({"D/0", "D/0", "C/0", "B/0", "A/0"}));
}

TEST_F(InMemoryRanking, FillInsComeLastThenTheHigherRatioTheLongerSinceServingTheStrongerPreferenceFewestAssignments)
{
    Prefer("A", "F", 1, QStringLiteral("T2"));          // a fill-in for this liturgy
    Prefer("B", "F", 0, QStringLiteral("T1"), 2);       // liturgy and week: strongest preference
    Prefer("C", "F", 0, QStringLiteral("T1"));          // liturgy only
    Prefer("D", "F");                                   // no preference
    Served("S1", "C", "G", Before(300));
    Served("S2", "D", "G", Before(100));
    // B and the rest never served: the longest time since serving.
    EXPECT_EQ(Ids(Candidates()), QStringList({"B/0", "C/0", "D/0", "A/1"}));
}

TEST_F(InMemoryRanking, OnAWeekdayAWeekPreferenceLeavesAPersonOutUnlessTheyFillIn)
{
    Prefer("A", "F", 0, {}, 2);
    Prefer("B", "F", 1, {}, 2);
    Prefer("C", "F", 0, QStringLiteral("T2"));
    Prefer("D", "F");
    EXPECT_EQ(Ids(Candidates(-1)), QStringList({"D/0", "B/1"}));
    // A liturgy without a template matches no preferred liturgy.
    EXPECT_EQ(Ids(Candidates(2, QString())), QStringList({"A/0", "B/0", "D/0"}));
}

TEST_F(InMemoryRanking, APersonUnavailableThatDayIsNoCandidate)
{
    Prefer("A", "F");
    Prefer("B", "F");
    rows.Unavailable.append({"A", kSunday.date()});
    rows.Unavailable.append({"B", kSunday.date().addDays(1)});
    EXPECT_EQ(Ids(Candidates()), QStringList({"B/0"}));
}

TEST_F(InMemoryRanking, ASavedLiturgyChangesTheRowsItWritesAndCountsTheirNewMembers)
{
    Prefer("A", "F");
    Prefer("A", "G");
    rows.Rows.append({"R3", "L1", "G", "A", Before(24)});
    rows.Rows.append({"R2", "L1", "F", "A", Before(24)});
    rows.Rows.append({"R1", "L1", "F", "A", Before(24)});
    TAutoScheduleRanking ranking(rows, kHistoryStart);
    EXPECT_EQ(ranking.NumAssigned("A", kSunday), 3);
    TAutoScheduleServiceWrite write;
    write.LiturgyID = "L1";
    write.Assignments.append({{}, "R1", {}, false, "A"});
    ranking.Apply(write);
    EXPECT_EQ(ranking.NumAssigned("A", kSunday), 2) << "only the row written is cleared";
    write.Assignments = {{{}, "R3", {}, false, "A"}, {"B", "R1", {}, false, {}}};
    ranking.Apply(write);
    EXPECT_EQ(ranking.NumAssigned("A", kSunday), 1);
    EXPECT_EQ(ranking.NumAssigned("B", kSunday), 1);
    EXPECT_EQ(ranking.SinceLast("B", kSunday), 24);
}

} // namespace
