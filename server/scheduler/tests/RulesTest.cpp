// The serving rules, one group per rule, on an in-memory parish. Candidates rank by their
// contact key when nothing else differs, so the names below fix the ranking.
#include "SchedulerHarness.h"

namespace {

const QString kAvoid = QStringLiteral("{0B2E7E0A-1111-4F00-9000-000000000001}");

class Always : public SchedulerHarness {};

TEST_F(Always, ThePartnerIsPlacedInAnotherOpenFunctionOfTheService)
{
    People({"A", "C", "Y"});
    repo.AddRule("A", "Y", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"C", "Y"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "Y"); // C ranks first, but the rule brings Y
}

TEST_F(Always, ACandidateWhosePartnerCannotBePlacedIsRefusedAndTheNextIsTaken)
{
    People({"A", "B", "Y"});
    repo.AddRule("A", "Y", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    Eligible("F1", {"A", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "B");
}

TEST_F(Always, APartnerAlreadyServingInTheServiceSatisfiesTheRule)
{
    People({"A", "B"});
    repo.AddRule("A", "B", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1", false, "B");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F2", {"A"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "B");
    EXPECT_EQ(repo.MemberOf(f2), "A");
}

class Avoid : public SchedulerHarness {};

TEST_F(Avoid, APersonIsNotPlacedWhereAnAvoidedPartnerServes)
{
    People({"A", "B", "C"});
    repo.AddRule("A", "B", kAvoid);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"B"});
    Eligible("F2", {"A", "C"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "B");
    EXPECT_EQ(repo.MemberOf(f2), "C");
}

TEST_F(Avoid, TheRuleHoldsFromEitherSide)
{
    People({"A", "B", "C"});
    repo.AddRule("A", "B", kAvoid); // B is the rule's member, A its owner
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"B", "C"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f2), "C");
}

class Weekend : public SchedulerHarness {};

TEST_F(Weekend, APersonServesAtOneLiturgyFromSaturdayEveningToSunday)
{
    People({"B", "C"});
    repo.AddLiturgy("L1", At(2026, 11, 7, 17));
    repo.AddLiturgy("L2", At(2026, 11, 8, 10));
    const QString sat = repo.AddRow("L1", "F1");
    const QString sun = repo.AddRow("L2", "F1");
    Eligible("F1", {"B", "C"});
    repo.HistoryStartDate = At(2026, 11, 9, 0); // keeps the ranking from seeing B's Saturday
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(sat), "B");
    EXPECT_EQ(repo.MemberOf(sun), "C");
}

TEST_F(Weekend, ASaturdayMorningServiceIsNotPartOfTheWeekend)
{
    People({"B"});
    repo.AddLiturgy("L1", At(2026, 11, 7, 10));
    repo.AddLiturgy("L2", At(2026, 11, 8, 10));
    const QString sat = repo.AddRow("L1", "F1");
    const QString sun = repo.AddRow("L2", "F1");
    Eligible("F1", {"B"});
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(sat), "B");
    EXPECT_EQ(repo.MemberOf(sun), "B");
}

TEST_F(Weekend, TheCandidateQueryOfAWeekendServiceCarriesItsWeekOfMonth)
{
    People({"B"});
    repo.AddLiturgy("L1", At(2026, 11, 7, 17)); // counts as Sunday the 8th: week 2
    repo.AddLiturgy("L2", At(2026, 11, 9, 10));
    repo.AddRow("L1", "F1");
    repo.AddRow("L2", "F1");
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 10)));
    EXPECT_EQ(repo.CountCalls("ReadCandidates L1 F1 2"), 1);
    EXPECT_EQ(repo.CountCalls("ReadCandidates L2 F1 -1"), 1);
}

class DontApart : public SchedulerHarness {};

TEST_F(DontApart, APersonIsRefusedOnSundayWhenThePartnerServesOnSaturdayEvening)
{
    People({"A", "B", "C"});
    repo.AddRule("A", "B", kRuleDontApart);
    repo.AddLiturgy("L1", At(2026, 11, 7, 17));
    repo.AddLiturgy("L2", At(2026, 11, 8, 10));
    const QString sat = repo.AddRow("L1", "F1");
    const QString sun = repo.AddRow("L2", "F2");
    Eligible("F1", {"B"});
    Eligible("F2", {"A", "C"});
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(sat), "B");
    EXPECT_EQ(repo.MemberOf(sun), "C");
}

TEST_F(DontApart, ThePartnerIsBroughtIntoTheSameWeekendService)
{
    People({"A", "C", "Y"});
    repo.AddRule("A", "Y", kRuleDontApart);
    repo.AddLiturgy("L1", At(2026, 11, 8, 10));
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"C", "Y"});
    ASSERT_TRUE(Run(QDate(2026, 11, 8), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "Y");
}

TEST_F(DontApart, TheRuleDoesNothingOnWeekdays)
{
    People({"A", "C", "Y"});
    repo.AddRule("A", "Y", kRuleDontApart);
    repo.AddLiturgy("L1", Monday());
    repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"C", "Y"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f2), "C");
}

class Prefer : public SchedulerHarness {};

TEST_F(Prefer, ThePreferredPartnerIsPlacedInTheSameService)
{
    People({"A", "C", "Y"});
    repo.AddRule("A", "Y", kRulePrefer);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"C", "Y"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "Y");
}

TEST_F(Prefer, APartnerWhoCannotBePlacedDoesNotKeepThePersonOut)
{
    People({"A", "Y"});
    repo.AddRule("A", "Y", kRulePrefer);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    Eligible("F1", {"A"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
}

class Duplicates : public SchedulerHarness {};

TEST_F(Duplicates, APersonHoldsOneFunctionOfAService)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"A", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "B");
}

TEST_F(Duplicates, AFunctionThatAllowsDuplicatesTakesAPersonWhoAlreadyServes)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2", true);
    Eligible("F1", {"A"});
    Eligible("F2", {"A", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "A");
}

TEST_F(Duplicates, APersonNeverHoldsTheSameFunctionTwice)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    const QString r0 = repo.AddRow("L1", "F1", true);
    const QString r1 = repo.AddRow("L1", "F1", true);
    Eligible("F1", {"A", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(r0), "A");
    EXPECT_EQ(repo.MemberOf(r1), "B");
}

// One liturgy: each row names its function, whether that allows duplicates, who is locked on it
// or who may serve its function, and who serves it after the run ("" for nobody). Partners
// placed by a candidate taken at a function allowing duplicates are where a used person was
// given a second function.
struct DuplicateRow
{
    const char *function;
    bool allowDuplicate;
    const char *locked;
    QStringList eligible;
    const char *expected;
};
struct DuplicateCase
{
    const char *name;
    bool weekend;
    QList<QPair<const char *, QString>> rules; // "C>P": C's rule with P
    QList<DuplicateRow> rows;
};

class UsedPersons : public SchedulerHarness, public ::testing::WithParamInterface<DuplicateCase>
{
};

TEST_P(UsedPersons, APersonWhoServesTakesAnotherFunctionOnlyWhereItAllowsDuplicates)
{
    const DuplicateCase &c = GetParam();
    QStringList people;
    for (const auto &rule : c.rules)
        people << QString::fromLatin1(rule.first).split(QLatin1Char('>'));
    for (const DuplicateRow &row : c.rows)
        people << row.eligible << QString::fromLatin1(row.locked);
    people.removeAll(QString());
    people.removeDuplicates();
    People(people);
    for (const auto &rule : c.rules) {
        const QStringList pair = QString::fromLatin1(rule.first).split(QLatin1Char('>'));
        repo.AddRule(pair.at(0), pair.at(1), rule.second);
    }
    repo.AddLiturgy("L1", c.weekend ? At(2026, 11, 8, 10) : Monday());
    QStringList rows;
    for (const DuplicateRow &row : c.rows) {
        rows << repo.AddRow("L1", QString::fromLatin1(row.function), row.allowDuplicate, QString::fromLatin1(row.locked));
        Eligible(QString::fromLatin1(row.function), row.eligible);
    }
    ASSERT_TRUE(c.weekend ? Run(QDate(2026, 11, 8), QDate(2026, 11, 9)) : RunMonday()) << c.name;
    for (qsizetype i = 0; i < rows.size(); ++i)
        EXPECT_EQ(repo.MemberOf(rows[i]), QString::fromLatin1(c.rows[i].expected)) << c.name << ": row " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsedPersons,
    ::testing::Values(
        DuplicateCase{"a prefer partner locked on a function allowing duplicates does not displace X", false, {{"C>L", kRulePrefer}},
                      {{"F2", false, "", {"L", "X"}, "X"}, {"F3", true, "L", {}, "L"}, {"F3", true, "", {"C"}, "C"}}},
        DuplicateCase{"an always partner locked in the liturgy is with C already", false, {{"C>L", kRuleAlways}},
                      {{"F3", true, "", {"C"}, "C"}, {"F0", false, "L", {}, "L"}, {"F2", false, "", {"L", "X"}, "X"}}},
        DuplicateCase{"a don't-apart partner locked on the weekend liturgy does not displace X", true, {{"C>L", kRuleDontApart}},
                      {{"F1", false, "", {"L", "X"}, "X"}, {"F3", true, "L", {}, "L"}, {"F3", true, "", {"C"}, "C"}}},
        DuplicateCase{"a partner who serves may take a second function that allows duplicates too", false, {{"C>P", kRulePrefer}},
                      {{"F1", false, "", {"P"}, "P"}, {"F3", true, "", {"C"}, "C"}, {"F4", true, "", {"P", "X"}, "P"}}}));

class Displacement : public SchedulerHarness {};

TEST_F(Displacement, AnAlwaysPartnerDisplacesAMemberWithoutBindingRules)
{
    People({"A", "C", "Y"});
    repo.AddRule("A", "Y", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f2 = repo.AddRow("L1", "F2");
    const QString f3 = repo.AddRow("L1", "F3");
    Eligible("F2", {"C", "Y"});
    Eligible("F3", {"A"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f2), "Y");
    EXPECT_EQ(repo.MemberOf(f3), "A");
}

TEST_F(Displacement, AMemberBoundByAnAlwaysRuleIsNotDisplaced)
{
    People({"A", "C", "D", "Y"});
    repo.AddRule("A", "Y", kRuleAlways);
    repo.AddRule("C", "D", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f2 = repo.AddRow("L1", "F2");
    const QString f4 = repo.AddRow("L1", "F4");
    const QString f3 = repo.AddRow("L1", "F3");
    Eligible("F2", {"C", "Y"});
    Eligible("F4", {"D"});
    Eligible("F3", {"A"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f2), "C");
    EXPECT_EQ(repo.MemberOf(f4), "D");
    EXPECT_EQ(repo.MemberOf(f3), ""); // A's partner could only come by displacing C
}

class RuleCycles : public SchedulerHarness {};

TEST_F(RuleCycles, ACycleOfAlwaysRulesPlacesEveryoneAndEnds)
{
    People({"A", "B", "C"});
    repo.AddRule("A", "B", kRuleAlways);
    repo.AddRule("B", "C", kRuleAlways);
    repo.AddRule("C", "A", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    const QString f3 = repo.AddRow("L1", "F3");
    Eligible("F1", {"A"});
    Eligible("F2", {"B"});
    Eligible("F3", {"C"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "B");
    EXPECT_EQ(repo.MemberOf(f3), "C");
}

TEST_F(RuleCycles, AnUnsatisfiableCycleEndsWithBothRefused)
{
    People({"A", "B", "Z"});
    repo.AddRule("A", "B", kRuleAlways);
    repo.AddRule("B", "A", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    Eligible("F1", {"A", "B", "Z"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "Z");
}

TEST_F(RuleCycles, PreferAndDontApartCyclesOnAWeekendEnd)
{
    People({"A", "B", "C"});
    repo.AddRule("A", "B", kRulePrefer);
    repo.AddRule("B", "C", kRuleDontApart);
    repo.AddRule("C", "A", kRulePrefer);
    repo.AddLiturgy("L1", At(2026, 11, 8, 10));
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    const QString f3 = repo.AddRow("L1", "F3");
    Eligible("F1", {"A"});
    Eligible("F2", {"B"});
    Eligible("F3", {"C"});
    ASSERT_TRUE(Run(QDate(2026, 11, 8), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "B");
    EXPECT_EQ(repo.MemberOf(f3), "C");
}

class UseCounts : public SchedulerHarness {};

TEST_F(UseCounts, APartnerPlacedForARefusedCandidateIsFreeAgainAfterwards)
{
    People({"A", "C", "Y", "Z"});
    repo.AddRule("A", "Y", kRuleDontApart); // Y is placed with A ...
    repo.AddRule("A", "Z", kRuleDontApart); // ... then A is refused: Z serves on Saturday evening
    repo.AddLiturgy("L0", At(2026, 11, 7, 17));
    repo.AddLiturgy("L1", At(2026, 11, 8, 10));
    repo.AddRow("L0", "F9");
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F9", {"Z"});
    Eligible("F1", {"A", "C"});
    Eligible("F2", {"Y"});
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(f1), "C");
    EXPECT_EQ(repo.MemberOf(f2), "Y"); // Y's count went back to 0, so Y is no duplicate
}

TEST_F(UseCounts, ARefusedPartnerTakesBackWhatItsOwnRulesPlaced)
{
    People({"A", "Q", "R", "Y", "Z"});
    repo.AddRule("A", "Y", kRulePrefer);
    repo.AddRule("Y", "Q", kRuleAlways); // placed on the way ...
    repo.AddRule("Y", "Z", kRuleAlways); // ... then Y fails: Z has no open function
    repo.AddLiturgy("L1", Monday());
    const QString f1 = repo.AddRow("L1", "F1");
    const QString f2 = repo.AddRow("L1", "F2");
    const QString f3 = repo.AddRow("L1", "F3");
    Eligible("F1", {"A"});
    Eligible("F2", {"Y"});
    Eligible("F3", {"R", "Q"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "");
    EXPECT_EQ(repo.MemberOf(f3), "R");
}

class SharedCandidates : public SchedulerHarness {};

TEST_F(SharedCandidates, ConsecutiveRowsOfOneFunctionShareOneQueryAndOneList)
{
    People({"A", "B", "C"});
    repo.AddLiturgy("L1", Monday());
    const QString r0 = repo.AddRow("L1", "F1");
    const QString r1 = repo.AddRow("L1", "F1");
    const QString r2 = repo.AddRow("L1", "F1");
    Eligible("F1", {"A", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.CountCalls("ReadCandidates L1 F1"), 1);
    EXPECT_EQ(repo.MemberOf(r0), "A");
    EXPECT_EQ(repo.MemberOf(r1), "B");
    EXPECT_EQ(repo.MemberOf(r2), "");
}

TEST_F(SharedCandidates, RowsOfOneFunctionApartQueryAgain)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    repo.AddRow("L1", "F1");
    repo.AddRow("L1", "F2");
    repo.AddRow("L1", "F1");
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.CountCalls("ReadCandidates L1 F1"), 2);
}

class LockedMembers : public SchedulerHarness {};

TEST_F(LockedMembers, ALockedMemberIsKeptAndCountsAsServing)
{
    People({"B", "L"});
    repo.AddLiturgy("L1", Monday());
    const QString locked = repo.AddRow("L1", "F1", false, "L");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F1", {"B"});
    Eligible("F2", {"L", "B"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(locked), "L");
    EXPECT_EQ(repo.MemberOf(f2), "B");
}

TEST_F(LockedMembers, ALockedGroupDoesNotCountAsAPersonServing)
{
    People({"G"});
    repo.AddLiturgy("L1", Monday());
    const QString locked = repo.AddRow("L1", "F1", false, "G");
    repo.Rows.last().Function.MemberTypeID = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("F2", {"G"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.MemberOf(locked), "G");
    EXPECT_EQ(repo.MemberOf(f2), "G");
}

// A partner whose placement is taken back leaves nothing marked behind: neither it nor the
// partners its own rules placed on the way count as placed on the next try.
class NestedFailure : public SchedulerHarness
{
};

// One liturgy on a Monday: each case names its rules, each function with who may serve it, and
// who serves it after the run ("" for nobody).
struct PartnerRule
{
    const char *from, *to;
    const QString &kind;
};
struct PartnerFunction
{
    const char *id;
    QStringList eligible;
    const char *expected;
};
struct PartnerCase
{
    const char *name;
    QStringList people;
    QList<PartnerRule> rules;
    QList<PartnerFunction> functions;
};

class NestedPartnerFailure : public SchedulerHarness, public ::testing::WithParamInterface<PartnerCase>
{
};

TEST_P(NestedPartnerFailure, APartnersPlacementTakenBackLeavesNoPartnerOfItsOwnBehind)
{
    const PartnerCase &c = GetParam();
    People(c.people);
    for (const PartnerRule &rule : c.rules)
        repo.AddRule(QString::fromLatin1(rule.from), QString::fromLatin1(rule.to), rule.kind);
    repo.AddLiturgy("L1", Monday());
    QStringList rows;
    for (const PartnerFunction &function : c.functions) {
        rows << repo.AddRow("L1", QString::fromLatin1(function.id));
        Eligible(QString::fromLatin1(function.id), function.eligible);
    }
    ASSERT_TRUE(RunMonday()) << c.name;
    for (qsizetype i = 0; i < rows.size(); ++i)
        EXPECT_EQ(repo.MemberOf(rows[i]), QString::fromLatin1(c.functions[i].expected)) << c.name << ": " << c.functions[i].id;
}

// C always P; P always Q and S; X is the other candidate for C's function F.
const QList<PartnerRule> kChainedAlways = {{"C", "P", kRuleAlways}, {"P", "Q", kRuleAlways}, {"P", "S", kRuleAlways}};

INSTANTIATE_TEST_SUITE_P(
    Cases, NestedPartnerFailure,
    ::testing::Values(
        PartnerCase{"P cannot come with both Q and S, who can serve only G3: C is refused", {"C", "P", "Q", "S", "X"}, kChainedAlways,
                    {{"F", {"C", "X"}, "X"}, {"G1", {"P"}, ""}, {"G2", {"P"}, ""}, {"G3", {"Q", "S"}, ""}}},
        PartnerCase{"with room for everyone the chain is placed whole", {"C", "P", "Q", "S", "X"}, kChainedAlways,
                    {{"F", {"C", "X"}, "C"}, {"G1", {"P"}, "P"}, {"G3", {"Q", "S"}, "Q"}, {"G4", {"S"}, "S"}}},
        PartnerCase{"P always Y and Z: Y comes and brings Q (prefer), then P fails on Z; Y never serves without P",
                    {"A", "B", "P", "Q", "Y", "Z"},
                    {{"A", "P", kRulePrefer}, {"A", "Q", kRulePrefer}, {"P", "Y", kRuleAlways}, {"P", "Z", kRuleAlways}, {"Y", "Q", kRulePrefer}},
                    {{"F", {"A"}, "A"}, {"G1", {"P"}, ""}, {"G2", {"P"}, ""}, {"G3", {"B", "Q"}, "Q"}, {"G4", {"Y"}, ""}}}));

TEST_F(NestedFailure, ADontApartPartnerMarkedByAFailedPlacementIsStillBroughtIn)
{
    // P brings Q on the way, then is refused: Z, P's partner, served on Saturday evening.
    People({"B", "C", "P", "Q", "Z"});
    repo.AddRule("C", "P", kRuleDontApart);
    repo.AddRule("C", "Q", kRuleDontApart);
    repo.AddRule("P", "Q", kRuleDontApart);
    repo.AddRule("P", "Z", kRuleDontApart);
    repo.AddLiturgy("L0", At(2026, 11, 7, 17));
    repo.AddLiturgy("L1", At(2026, 11, 8, 10));
    const QString sat = repo.AddRow("L0", "F9");
    const QString f = repo.AddRow("L1", "F");
    const QString g1 = repo.AddRow("L1", "G1");
    const QString g2 = repo.AddRow("L1", "G2");
    const QString g3 = repo.AddRow("L1", "G3");
    Eligible("F9", {"Z"});
    Eligible("F", {"C"});
    Eligible("G1", {"P"});
    Eligible("G2", {"P"});
    Eligible("G3", {"B", "Q"});
    ASSERT_TRUE(Run(QDate(2026, 11, 7), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.MemberOf(sat), "Z");
    EXPECT_EQ(repo.MemberOf(f), "C");
    EXPECT_EQ(repo.MemberOf(g1), "");
    EXPECT_EQ(repo.MemberOf(g2), "");
    EXPECT_EQ(repo.MemberOf(g3), "Q") << "C's own don't-apart partner comes, B ranks first only";
}

TEST_F(NestedFailure, TheFiltersCompareIdsWithoutLetterCase)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday(), QStringLiteral("{7a000000-0000-0000-0000-0000000000bc}"));
    const QString f1 = repo.AddRow("L1", "{f1000000-0000-0000-0000-0000000000ab}");
    const QString f2 = repo.AddRow("L1", "F2");
    Eligible("{f1000000-0000-0000-0000-0000000000ab}", {"A"});
    Eligible("F2", {"B"});
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 3), {"{F1000000-0000-0000-0000-0000000000AB}"},
                    {"{7A000000-0000-0000-0000-0000000000BC}"}));
    EXPECT_EQ(repo.MemberOf(f1), "A");
    EXPECT_EQ(repo.MemberOf(f2), "") << "outside the function filter";
}

} // namespace
