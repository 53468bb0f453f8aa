// The scheduler's model: persons, candidate lists, use counts and assignment searches.
#include "foundation/QorDateTime.h"
#include "server/scheduler/uScheduler.h"

#include "foundation/uCommon.h"

#include <gtest/gtest.h>

namespace {

TvoService MakeService(const QDateTime &start, TvoFirstSelectionList *persons = nullptr)
{
    return TvoService({QStringLiteral("L"), start, QStringLiteral("T"), QStringLiteral("E")}, true,
                      [persons](const QString &id) { return persons ? persons->Find(id) : nullptr; },
                      [](const QString &, const QDateTime &, const QDateTime &) { return TvoAssignementRef(); });
}

TEST(PersonModel, ACandidateCopySharesTheRuleListsOfItsPerson)
{
    TvoPerson person(QStringLiteral("A"), true, EmptyGUID);
    TvoPerson partner(QStringLiteral("B"), false, EmptyGUID);
    TvoPerson copy(person);
    person.AlwaysList().append(&partner);
    EXPECT_EQ(copy.AlwaysList().size(), 1);
    EXPECT_TRUE(copy.FlagContact);
    EXPECT_FALSE(copy.IsFillIn);
}

TEST(PersonModel, TheFirstSelectionFindsPeopleByIdAndNobodyForAnUnknownId)
{
    TvoFirstSelectionList persons;
    for (int i = 0; i < 300; ++i)
        persons.Add(std::make_unique<TvoPerson>(QStringLiteral("{P-%1}").arg(i), false, EmptyGUID));
    ASSERT_NE(persons.Find(QStringLiteral("{P-123}")), nullptr);
    EXPECT_EQ(persons.Find(QStringLiteral("{P-123}"))->ContactID, QStringLiteral("{P-123}"));
    EXPECT_EQ(persons.Find(QStringLiteral("{p-123}")), nullptr);
    EXPECT_EQ(persons.Find(QString()), nullptr);
}

TEST(ServiceModel, RemovingAPersonFromASharedListRemovesItForBothFunctions)
{
    TvoService service = MakeService(WallClock(QDate(2026, 11, 2), QTime(10, 0)));
    auto f1 = std::make_unique<TvoServiceFunction>();
    auto f2 = std::make_unique<TvoServiceFunction>();
    TvoPerson a(QStringLiteral("A"), false, EmptyGUID);
    f1->Candidates->Add(std::make_unique<TvoPerson>(a));
    f1->Candidates->Add(std::make_unique<TvoPerson>(TvoPerson(QStringLiteral("B"), false, EmptyGUID)));
    f2->Candidates = f1->Candidates;
    service.Functions.push_back(std::move(f1));
    service.Functions.push_back(std::move(f2));
    service.RemoveCandidate(QStringLiteral("A"));
    EXPECT_EQ(service.Functions[1]->Candidates->Count(), 1);
    EXPECT_EQ(service.Functions[1]->Candidates->Item(0)->ContactID, QStringLiteral("B"));
}

TEST(ServiceModel, DecrementingAnUncountedIdLeavesItAtZero)
{
    TvoService service = MakeService(WallClock(QDate(2026, 11, 2), QTime(10, 0)));
    service.DecUseCount(QStringLiteral("X"));
    EXPECT_EQ(service.UseCount(QStringLiteral("X")), 0);
    service.IncUseCount(QStringLiteral("X"));
    EXPECT_EQ(service.UseCount(QStringLiteral("X")), 1);
}

TEST(ServiceModel, ANewAssignmentMovesTheCountFromTheCurrentMember)
{
    TvoService service = MakeService(WallClock(QDate(2026, 11, 2), QTime(10, 0)));
    TvoServiceFunction f;
    f.FunctionID = QStringLiteral("F");
    f.ScheduledMemberID = QStringLiteral("R");
    TvoPerson old(QStringLiteral("O"), false, EmptyGUID);
    TvoPerson fresh(QStringLiteral("N"), true, EmptyGUID);
    auto kept = std::make_shared<TvoAssignement>();
    kept->ContactID = old.ContactID;
    kept->MemberTypeID = EmptyGUID;
    service.SetAssignment(kept, f);
    EXPECT_EQ(service.UseCount(QStringLiteral("O")), 1);
    const TvoAssignementRef a = service.NewAssignment(fresh, f);
    EXPECT_EQ(service.UseCount(QStringLiteral("O")), 0);
    EXPECT_EQ(service.UseCount(QStringLiteral("N")), 1);
    EXPECT_TRUE(a->IsNew);
    EXPECT_TRUE(a->FlagMinister);
    EXPECT_EQ(a->ScheduledMemberID, QStringLiteral("R"));
}

TEST(ServiceModel, FindAssignmentLooksAtFunctionsThenTentativeEntries)
{
    TvoService service = MakeService(WallClock(QDate(2026, 11, 2), QTime(10, 0)));
    auto tentative = std::make_shared<TvoAssignement>();
    tentative->ContactID = QStringLiteral("T");
    service.Tentative.append(tentative);
    EXPECT_EQ(service.FindAssignment(QStringLiteral("T")), tentative);
    EXPECT_EQ(service.FindAssignment(QStringLiteral("U")), nullptr);
}

TEST(SchedulerModel, AssignmentsInAPeriodIncludeServicesOnEitherBound)
{
    // Services come from a run; two liturgies exactly on the bounds of a weekend window.
    class Repo : public IAutoScheduleRepository
    {
    public:
        void BeginRead() override {}
        void CommitRead() override {}
        void RollbackRead() noexcept override {}
        std::optional<QDateTime> ReadHistoryStartDate() override { return std::nullopt; }
        QList<TAutoScheduleContactRow> ReadContacts() override { return {{QStringLiteral("A"), false}}; }
        QList<TAutoScheduleRuleRow> ReadRules() override { return {}; }
        QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &, const QDateTime &) override
        {
            return {{QStringLiteral("S1"), WallClock(QDate(2026, 11, 7), QTime(16, 0)), {}, QStringLiteral("E1")},
                    {QStringLiteral("S2"), WallClock(QDate(2026, 11, 8), QTime(23, 59)), {}, QStringLiteral("E2")}};
        }
        QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &id) override
        {
            TAutoScheduleFunctionRow row;
            row.FunctionID = QStringLiteral("F");
            row.ScheduledMemberID = id + QStringLiteral("/0");
            row.MemberLocked = true;
            row.MemberID = QStringLiteral("A");
            row.MemberTypeID = EmptyGUID;
            return {row};
        }
        QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &) override { return {}; }
        QList<TAutoScheduleChangedRow> SaveService(const TAutoScheduleServiceWrite &) override { return {}; }
    } repo;
    std::atomic<bool> stop{false};
    TvoAutoScheduler s({}, WallClock(QDate(2026, 11, 7), QTime(0, 0)), WallClock(QDate(2026, 11, 9), QTime(0, 0)), {}, {},
                       true, repo, stop);
    ASSERT_TRUE(s.Execute());
    const QDateTime from = WallClock(QDate(2026, 11, 7), QTime(16, 0));
    const QDateTime to = WallClock(QDate(2026, 11, 8), QTime(23, 59));
    ASSERT_NE(s.FindAssignmentInPeriod(QStringLiteral("A"), from, to), nullptr);
    EXPECT_EQ(s.FindAssignmentInPeriod(QStringLiteral("A"), from, to)->LiturgyID, QStringLiteral("S1"));
    EXPECT_EQ(s.FindAssignmentInPeriod(QStringLiteral("A"), from.addSecs(1), to)->LiturgyID, QStringLiteral("S2"));
    EXPECT_EQ(s.FindAssignmentInPeriod(QStringLiteral("A"), from.addSecs(1), to.addSecs(-1)), nullptr);
}

} // namespace
