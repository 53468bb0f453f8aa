// A run on a small parish in a real database: two weekends with Saturday-evening and Sunday
// liturgies and a weekday one, every rule type, preferences and frequencies, an unavailable
// day, a locked member and an earlier assignment. The expected members were worked out by
// hand from the ranking (fill-ins last, then longest since serving, stronger preference,
// fewest assignments, contact key) and the rules.
#include "testsupport/GeneratedParish.h"
#include "testsupport/RecordingRepository.h"
#include "SchedulerHarness.h"

#include "dataaccess/TDAConnectionManager.h"
#include "foundation/QorDateTime.h"
#include "pgdriver/uDAADODriver.h"
#include "server/scheduler/TAutoScheduleDARepository.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/LogCapture.h"

#include <functional>
#include <utility>

namespace {

const TDAADODriver kRegistration;

// Contacts sort in the order of their letters.
QString Id(const char *who)
{
    static const QMap<QString, QString> ids{
        {"A", "01"}, {"B", "02"}, {"C", "03"}, {"D", "04"}, {"E", "05"}, {"F", "06"},
        {"G", "07"}, {"H", "08"}, {"R1", "11"}, {"R2", "12"}, {"R3", "13"}};
    return QStringLiteral("{C0000000-0000-0000-0000-0000000000%1}").arg(ids.value(QString::fromLatin1(who)));
}

const QString kReader = QStringLiteral("{F0000000-0000-0000-0000-0000000000A1}");
const QString kServer = QStringLiteral("{F0000000-0000-0000-0000-0000000000A2}");
const QString kOrganist = QStringLiteral("{F0000000-0000-0000-0000-0000000000A3}");
const QString kWeekendMass = QStringLiteral("{70000000-0000-0000-0000-000000000001}");
const QString kWeekdayMass = QStringLiteral("{70000000-0000-0000-0000-000000000002}");
const QString kWeek2 = QStringLiteral("{0B3E8DDA-8FE6-4FD3-BF84-2E06FFA4F32F}");
const QString kNever = QStringLiteral("{98A1AD29-3773-40BE-B344-5541FD636256}");

class DatabaseRun : public SchedulerHarness
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    }

    void Sql(const QString &sql) { db.exec(QStringLiteral("SET search_path=dbo;\n") + sql); }

    void Person(const char *who, bool flagged, const QString &function, const QString &liturgy = {},
                const QString &frequency = {}, bool fillIn = false)
    {
        const QString id = Id(who);
        const QString pref = QString(id).replace(QLatin1Char('C'), QLatin1Char('P'));
        Sql(QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, FlagContact) VALUES ('%1', '%2', 'Fixture', %3);"
                           "INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn) VALUES ('%4', '%1', '%5', %6);")
                .arg(id, QString::fromLatin1(who), flagged ? "1" : "0", pref, function, fillIn ? "1" : "0"));
        if (!liturgy.isEmpty())
            Sql(QStringLiteral("INSERT INTO tblServingPrefrenceLiturgy VALUES ('%1', '%2', '%3', '%4');")
                    .arg(QString(id).replace(QLatin1Char('C'), QLatin1Char('A')), pref, id, liturgy));
        if (!frequency.isEmpty())
            Sql(QStringLiteral("INSERT INTO tblServingPrefrenceFrequency VALUES ('%1', '%2', '%3', '%4');")
                    .arg(QString(id).replace(QLatin1Char('C'), QLatin1Char('B')), pref, id, frequency));
    }

    void Rule(const char *owner, const char *member, const QString &type)
    {
        Sql(QStringLiteral("INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID) "
                           "VALUES ('{R-%1-%2}', '%3', '%4', '%5');")
                .arg(QString::fromLatin1(owner), QString::fromLatin1(member), Id(owner), Id(member), type));
    }

    // A liturgy "S<n>" with its event "E<n>" and rows "S<n>-<k>" for the functions given.
    void Liturgy(const QString &name, const QString &start, const QString &templateId, const QStringList &functions)
    {
        Sql(QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, FlagEvent) VALUES ('E%1', '%1', '%2', 0);"
                           "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID) VALUES ('%1', 'E%1', '%3');")
                .arg(name, start, templateId));
        for (int k = 0; k < functions.size(); ++k)
            Sql(QStringLiteral("INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID) "
                               "VALUES ('%1-%2', '%1', '%3');")
                    .arg(name).arg(k + 1).arg(functions.at(k)));
    }

    void Parish()
    {
        Sql(QStringLiteral("UPDATE tblHistoryStartDate SET HistoryStartDate = '2026-01-01';"
                           "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES "
                           "('%1', 'Reader'), ('%2', 'Server'), ('%3', 'Organist');")
                .arg(kReader, kServer, kOrganist));
        Person("A", false, kServer, kWeekendMass);
        Person("B", false, kServer, kWeekendMass);
        Person("C", false, kServer, {}, kWeek2);
        Person("D", false, kServer, kWeekendMass);
        Person("E", true, kServer, kWeekendMass);
        Person("F", false, kServer);
        Person("G", false, kServer, kWeekendMass);
        Person("H", false, kServer);
        Person("R1", false, kReader, kWeekendMass);
        Person("R2", false, kReader);
        Person("R3", false, kReader, {}, {}, true);
        Rule("A", "B", kRuleAlways);
        Rule("C", "D", kRuleDontApart);
        Rule("F", "D", kNever);
        Rule("R2", "H", kRulePrefer);
        Sql(QStringLiteral("INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate) VALUES ('{U1}', '%1', '2026-11-08');")
                .arg(Id("R2")));
        // H served a fortnight before the period.
        Liturgy("S0", "2026-10-25 10:00", kWeekendMass, {kServer});
        Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' WHERE PK_ScheduledMemberID = 'S0-1';")
                .arg(Id("H"), EmptyGUIDText()));
        Liturgy("S1", "2026-11-07 17:00", kWeekendMass, {kReader, kServer, kServer, kServer});
        Liturgy("S2", "2026-11-08 10:00", kWeekendMass, {kReader, kServer, kServer});
        Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2', MemberLocked = 1 WHERE PK_ScheduledMemberID = 'S2-2';")
                .arg(Id("G"), EmptyGUIDText()));
        Liturgy("S3", "2026-11-11 18:00", kWeekdayMass, {kReader, kServer, kOrganist});
        Liturgy("S4", "2026-11-14 17:00", kWeekendMass, {kReader, kServer, kServer});
        Liturgy("S5", "2026-11-15 10:00", kWeekendMass, {kReader, kServer, kServer});
    }

    static QString EmptyGUIDText() { return QStringLiteral("{00000000-0000-0000-0000-000000000000}"); }

    // Member of each row of a liturgy, as letters, in row order ("-" for none).
    QStringList Members(const QString &liturgy)
    {
        QStringList result;
        const auto rows = db.rows(QStringLiteral("SELECT F_MinistryMemberID FROM dbo.tblScheduledMinistryFunctions "
                                                 "WHERE F_ScheduledLiturgyID = '%1' ORDER BY PK_ScheduledMemberID").arg(liturgy));
        for (const QStringList &row : rows) {
            QString who = QStringLiteral("-");
            for (const char *name : {"A", "B", "C", "D", "E", "F", "G", "H", "R1", "R2", "R3"})
                if (row.at(0) == Id(name))
                    who = QString::fromLatin1(name);
            result << who;
        }
        return result;
    }

    QString Event(const QString &liturgy)
    {
        const auto rows = db.rows(QStringLiteral("SELECT EventLabelColorID, FlagEvent FROM dbo.tblEvents WHERE PK_EventID = 'E%1'").arg(liturgy));
        return rows.isEmpty() ? QString() : rows.at(0).at(0).right(2).left(1) + QLatin1Char('/') + rows.at(0).at(1);
    }

    // Back to the data Parish() made: the run's own assignments and event marks removed.
    void Reset()
    {
        Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, FlagMinister = 0 "
                           "WHERE MemberLocked = 0 AND F_ScheduledLiturgyID <> 'S0';"
                           "UPDATE tblEvents SET EventLabelColorID = NULL, FlagEvent = 0;"));
    }

    bool RunDatabase(const QDate &from, const QDate &to,
                     TAutoScheduleRankingSource ranking = TAutoScheduleRankingSource::InMemory,
                     QList<TRecordingRepository::List> *lists = nullptr,
                     const std::function<void(const TAutoScheduleServiceWrite &)> &beforeSave = {})
    {
        TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"), ranking);
        TRecordingRepository recording(repository);
        recording.BeforeSave = beforeSave;
        TAutoScheduleRunGuard guard(&sink, running);
        TvoAutoScheduler s({}, WallClock(from, QTime(0, 0)), WallClock(to, QTime(0, 0)), {},
                           {EmptyGUIDText(), QStringLiteral("{00000000-0000-0000-0000-000000000001}"),
                            QStringLiteral("{00000000-0000-0000-0000-000000000002}")},
                           true, recording, stop);
        s.SetOnProgress(&sink);
        s.SetTraceFolder(folder.path());
        const bool ok = s.Execute();
        roundTrips = repository.RoundTrips();
        leftFunctions = s.LeftFunctions();
        if (lists)
            *lists = recording.Lists;
        return ok;
    }

    kestrova::test::TestDatabase db{kestrova::test::CurrentSchemaStage()};
    TDAConnectionManager manager;
    int roundTrips = 0;
    int leftFunctions = 0;
};

TEST_F(DatabaseRun, AFixtureParishGetsTheHandDerivedSchedule)
{
    Parish();
    ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16)));
    // Saturday: A brings B (always); C is taken though D cannot join (both places bound).
    EXPECT_EQ(Members("S1"), QStringList({"R1", "A", "B", "C"}));
    // Sunday: R1 served on Saturday evening, R2 is away: the fill-in R3 reads. D is refused
    // because C, D's don't-apart partner, served on Saturday; E is next. G stays locked.
    EXPECT_EQ(Members("S2"), QStringList({"R3", "G", "E"}));
    // Weekday: only people without a liturgy preference or fill-ins; R2 brings H (prefer);
    // nobody plays the organ.
    EXPECT_EQ(Members("S3"), QStringList({"R2", "H", "-"}));
    // D first (never served); F avoids D; A and B cannot come together without displacing D,
    // who is bound by a rule; E serves.
    EXPECT_EQ(Members("S4"), QStringList({"R1", "D", "E"}));
    // R2 leads again and brings H; F has served least recently.
    EXPECT_EQ(Members("S5"), QStringList({"R2", "H", "F"}));
    EXPECT_EQ(Members("S0"), QStringList({"H"})) << "history outside the period is untouched";

    // Colour entry and flag: fill-in R3 (2) and flagged E (1) on Sunday, E on the 14th.
    EXPECT_EQ(Event("S1"), "0/0");
    EXPECT_EQ(Event("S2"), "0/3");
    EXPECT_EQ(Event("S3"), "2/0");
    EXPECT_EQ(Event("S4"), "0/1");
    EXPECT_EQ(Event("S5"), "0/0");
    EXPECT_EQ(sink.Events, QStringList({"begin", "1/10", "2/10", "3/10", "4/10", "5/10", "6/10", "7/10", "8/10",
                                         "9/10", "10/10", "end"}));
    EXPECT_GT(roundTrips, 0);
}

TEST_F(DatabaseRun, ASecondRunOnTheSameDataGivesTheSameSchedule)
{
    Parish();
    const QStringList liturgies{"S1", "S2", "S3", "S4", "S5"};
    auto schedule = [&] {
        QStringList all;
        for (const QString &l : liturgies)
            all << Members(l).join(QLatin1Char(',')) + QLatin1Char(' ') + Event(l);
        return all;
    };
    ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16)));
    const QStringList first = schedule();
    Reset();
    ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16)));
    EXPECT_EQ(schedule(), first);
}

TEST_F(DatabaseRun, BothRankingsGiveTheSameListsAndTheSameScheduleOnTheFixtureParish)
{
    Parish();
    QList<TRecordingRepository::List> byProcedures;
    QList<TRecordingRepository::List> inMemory;
    ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16), TAutoScheduleRankingSource::Procedures, &byProcedures));
    const QList<QStringList> schedule = ScheduleOf(db);
    Reset();
    ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16), TAutoScheduleRankingSource::InMemory, &inMemory));
    EXPECT_EQ(TRecordingRepository::FirstDifference(inMemory, byProcedures), QString());
    EXPECT_EQ(ScheduleOf(db), schedule);
    EXPECT_EQ(inMemory.size(), 11);
}

TEST_F(DatabaseRun, ALiturgysWriteSetsItsRowsOnlyWhileAllAreAsTheRunReadThem)
{
    Parish();
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', FlagMinister = 1, MemberNotAttended = 1 "
                       "WHERE PK_ScheduledMemberID IN ('S2-1', 'S2-3');")
            .arg(Id("R1")));
    TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"));
    TAutoScheduleServiceWrite write;
    write.LiturgyID = QStringLiteral("S2");
    write.EventID = QStringLiteral("ES2");
    // Two members for one row: the last one given wins.
    write.Assignments = {{Id("C"), QStringLiteral("S2-3"), EmptyGUIDText(), true, Id("R1")},
                         {Id("B"), QStringLiteral("S2-3"), {}, false, Id("R1")}};
    write.EventColorID = QStringLiteral("{00000000-0000-0000-0000-000000000002}");
    write.EventCode = 3;
    EXPECT_TRUE(repository.SaveService(write).isEmpty());
    EXPECT_EQ(Members("S2"), QStringList({"R1", "G", "B"})) << "only the row given is written";
    EXPECT_EQ(db.rows(QStringLiteral("SELECT F_MinistryMemberTypeID, FlagMinister::text, MemberNotAttended::text "
                                     "FROM dbo.tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = 'S2-3'")),
              QList<QStringList>({{QString(), "0", "0"}}));
    EXPECT_EQ(Event("S2"), "2/3");

    // A row holding another member than read, a locked row and a deleted one: nothing is written.
    write.Assignments = {{{}, QStringLiteral("S2-1"), {}, false, Id("R2")},
                         {{}, QStringLiteral("S2-2"), {}, false, Id("G")},
                         {{}, QStringLiteral("S2-3"), {}, false, Id("B")},
                         {{}, QStringLiteral("S2-9"), {}, false, {}}};
    write.EventColorID.clear();
    write.EventCode = 0;
    const QList<TAutoScheduleChangedRow> changed = repository.SaveService(write);
    QStringList seen;
    for (const TAutoScheduleChangedRow &row : changed)
        seen << QStringLiteral("%1 %2 %3 %4 %5").arg(row.ScheduledMemberID, row.Exists ? QStringLiteral("here") : QStringLiteral("gone"), row.MemberID)
                    .arg(int(row.FlagMinister))
                    .arg(int(row.MemberLocked));
    EXPECT_EQ(seen, QStringList({"S2-1 here " + Id("R1") + " 1 0", "S2-2 here " + Id("G") + " 0 1", "S2-9 gone  0 0"}));
    EXPECT_EQ(Members("S2"), QStringList({"R1", "G", "B"}));
    EXPECT_EQ(Event("S2"), "2/3");

    write.Assignments = {{{}, QStringLiteral("S2-1"), {}, false, Id("R1")}, {{}, QStringLiteral("S2-3"), {}, false, Id("B")}};
    EXPECT_TRUE(repository.SaveService(write).isEmpty());
    EXPECT_EQ(Members("S2"), QStringList({"-", "G", "-"}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents WHERE PK_EventID = 'ES2' AND EventLabelColorID IS NULL")),
              QStringLiteral("1"));
    EXPECT_EQ(Members("S1"), QStringList({"-", "-", "-", "-"}));
    EXPECT_EQ(repository.RoundTrips(), 3) << "one statement per write";
}

TEST_F(DatabaseRun, AFailedServiceWriteKeepsItsOldMembersAndTheServicesBefore)
{
    Parish();
    // A trigger refuses any write to S4's event: the run fails while saving S4.
    Sql(QStringLiteral("CREATE FUNCTION refuse_s4() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                       "IF NEW.PK_EventID = 'ES4' THEN RAISE EXCEPTION 'S4 is read-only'; END IF; RETURN NEW; END $$;"
                       "CREATE TRIGGER refuse_s4 BEFORE UPDATE ON tblEvents FOR EACH ROW EXECUTE FUNCTION refuse_s4();"
                       "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1' WHERE PK_ScheduledMemberID = 'S4-2';")
            .arg(Id("A")));
    EXPECT_FALSE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16)));
    EXPECT_EQ(Members("S1"), QStringList({"R1", "A", "B", "C"}));
    EXPECT_EQ(Members("S4"), QStringList({"-", "A", "-"})) << "the failed service keeps what it had";
    EXPECT_EQ(Members("S5"), QStringList({"-", "-", "-"}));
    EXPECT_TRUE(QFile::exists(TraceFile()));
    EXPECT_EQ(sink.Events.last(), "end");
    EXPECT_FALSE(running.load());
}

// The chained always rule through the real procedures and tables, with both rankings: A always
// B; B always D and E; D and E can only read, B can only serve (two rows), A only play the
// organ; F is the other organist.
TEST_F(DatabaseRun, AnAlwaysPartnerNeverServesWithoutHisOwnAlwaysPartners)
{
    Sql(QStringLiteral("UPDATE tblHistoryStartDate SET HistoryStartDate = '2026-01-01';"
                       "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES "
                       "('%1', 'Reader'), ('%2', 'Server'), ('%3', 'Organist');")
            .arg(kReader, kServer, kOrganist));
    Person("A", false, kOrganist);
    Person("F", false, kOrganist);
    Person("B", false, kServer);
    Person("D", false, kReader);
    Person("E", false, kReader);
    Rule("A", "B", kRuleAlways);
    Rule("B", "D", kRuleAlways);
    Rule("B", "E", kRuleAlways);
    Liturgy("S1", "2026-11-11 18:00", kWeekdayMass, {kOrganist, kServer, kServer, kReader});
    for (const auto source : {TAutoScheduleRankingSource::InMemory, TAutoScheduleRankingSource::Procedures}) {
        Reset();
        ASSERT_TRUE(RunDatabase(QDate(2026, 11, 11), QDate(2026, 11, 12), source));
        EXPECT_EQ(Members("S1"), QStringList({"F", "-", "-", "-"}))
            << "A is refused: B cannot come with both D and E (source " << int(source) << ")";
    }
}

// Where one person holds two rows of one liturgy of the period: each such liturgy and person
// with the functions held ("*" marks a locked row, "+" one that allows duplicates), unless
// every row the run wrote beside a locked one, and every one after the first, allows duplicates.
QStringList DoubledPersons(const kestrova::test::TestDatabase &db, const QDate &from)
{
    const QList<QStringList> rows = db.rows(QStringLiteral(
        "SELECT s.F_ScheduledLiturgyID, s.F_MinistryMemberID, string_agg(f.MinistryFunctionName || "
        "CASE WHEN s.MemberLocked <> 0 THEN '*' ELSE '' END || CASE WHEN f.AllowDuplicate <> 0 THEN '+' ELSE '' END, ', ' "
        "ORDER BY s.PK_ScheduledMemberID) "
        "FROM dbo.tblScheduledMinistryFunctions s "
        "JOIN dbo.tblMinistryFunctions f ON f.PK_MinistryFunctionID = s.F_MinistryFunctionID "
        "JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
        "JOIN dbo.tblEvents e ON e.PK_EventID = l.F_EventID "
        "WHERE e.StartDateTime >= '%1' AND s.F_MinistryMemberID IS NOT NULL GROUP BY 1, 2 "
        "HAVING count(*) FILTER (WHERE s.MemberLocked = 0 AND f.AllowDuplicate = 0) "
        "> CASE WHEN bool_or(s.MemberLocked <> 0) THEN 0 ELSE 1 END ORDER BY 1, 2").arg(from.toString(Qt::ISODate)));
    QStringList result;
    for (const QStringList &row : rows)
        result << row.join(QLatin1Char(' '));
    return result;
}

// While a run over two months goes, a planner changes open rows of its last month: each kind of
// change on rows of its own. Every one stands after the run, counted as left; the run fills the
// other rows and gives nobody two functions beside the planner's.
TEST_F(DatabaseRun, AssignmentsAndLocksMadeDuringARunAreKept)
{
    struct Change
    {
        const char *name;
        int rows;
        bool member;
        bool locked;
    };
    const Change changes[] = {
        {"assigned and locked", 30, true, true},
        {"assigned", 30, true, false},
        {"locked without a member", 10, false, true},
    };
    const TParishShape shape{100, 2};
    GenerateParish(db, shape);
    const QDate from = GeneratedParishStart();
    const QString lastMonth = from.addMonths(1).toString(Qt::ISODate);
    QMap<QString, QStringList> planned; // row -> member, lock, change
    bool changed = false;
    auto plan = [&](const TAutoScheduleServiceWrite &) {
        if (std::exchange(changed, true))
            return;
        // Open rows of the last month with, per liturgy, the people there already.
        const QList<QStringList> open = db.rows(QStringLiteral(
            "SELECT s.PK_ScheduledMemberID, s.F_ScheduledLiturgyID, s.F_MinistryFunctionID FROM dbo.tblScheduledMinistryFunctions s "
            "JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
            "JOIN dbo.tblEvents e ON e.PK_EventID = l.F_EventID "
            "WHERE e.StartDateTime >= '%1' AND s.MemberLocked = 0 AND s.F_MinistryMemberID IS NULL ORDER BY 1").arg(lastMonth));
        QMap<QString, QStringList> present;
        for (const QStringList &row : db.rows(QStringLiteral(
                 "SELECT F_ScheduledLiturgyID, F_MinistryMemberID FROM dbo.tblScheduledMinistryFunctions WHERE F_MinistryMemberID IS NOT NULL")))
            present[row.at(0)] << row.at(1);
        QMap<QString, QStringList> servers;
        for (const QStringList &row :
             db.rows(QStringLiteral("SELECT F_MinistryFunctionID, F_ContactID FROM dbo.tblLnkServingPrefrence ORDER BY 2")))
            servers[row.at(0)] << row.at(1);
        QString sql;
        qsizetype next = 0;
        for (const Change &change : changes)
            for (int i = 0; i < change.rows; ++i, ++next) {
                ASSERT_LT(next, open.size());
                const QStringList &row = open.at(next);
                QString member;
                if (change.member) {
                    // Someone who serves the function and is not in that liturgy yet.
                    for (const QString &server : std::as_const(servers[row.at(2)]))
                        if (member.isEmpty() && !present[row.at(1)].contains(server))
                            member = server;
                    present[row.at(1)] << member;
                }
                sql += QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = %1, F_MinistryMemberTypeID = %2, "
                                   "MemberLocked = %3 WHERE PK_ScheduledMemberID = '%4';")
                        .arg(member.isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + member + QLatin1Char('\''),
                             member.isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + EmptyGUIDText() + QLatin1Char('\''))
                        .arg(change.locked ? 1 : 0)
                        .arg(row.at(0));
                planned[row.at(0)] = QStringList{member, QString::number(change.locked ? 1 : 0), QString::fromLatin1(change.name)};
            }
        Sql(sql);
    };
    kestrova::test::LogCapture log;
    ASSERT_TRUE(RunDatabase(from, from.addMonths(shape.Months), TAutoScheduleRankingSource::InMemory, nullptr, plan));
    ASSERT_TRUE(changed);
    for (const QStringList &row : db.rows(QStringLiteral("SELECT PK_ScheduledMemberID, coalesce(F_MinistryMemberID, ''), "
                                                         "MemberLocked::text FROM dbo.tblScheduledMinistryFunctions"))) {
        if (planned.contains(row.at(0))) {
            EXPECT_EQ(row.mid(1).join(QLatin1Char(' ')).toStdString(), planned[row.at(0)].mid(0, 2).join(QLatin1Char(' ')).toStdString())
                << planned[row.at(0)].at(2).toStdString() << " " << row.at(0).toStdString();
        }
    }
    EXPECT_EQ(leftFunctions, 70);
    EXPECT_EQ(log.texts(QStringLiteral("Warning"), QStringLiteral("Autoschedule"), QStringLiteral("RunAutoSchedule")),
              QStringList({"70 functions were changed by another user during the run and left as they are"}));
    EXPECT_GT(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblScheduledMinistryFunctions s "
                                       "JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
                                       "JOIN dbo.tblEvents e ON e.PK_EventID = l.F_EventID "
                                       "WHERE e.StartDateTime >= '%1' AND s.MemberLocked = 0 AND s.F_MinistryMemberID IS NOT NULL").arg(lastMonth)).toInt(),
              30) << "the run fills the other rows of the last month";
    EXPECT_EQ(DoubledPersons(db, from).join(QLatin1Char('\n')).toStdString(), "");
}


// While the run writes one liturgy of a weekend, a planner gives the person it chose there a
// row of the weekend's other liturgy, later or already written. The planner's row stands and
// the run chooses again: nobody serves both liturgies of the weekend.
TEST_F(DatabaseRun, APlannersChangeOnTheWeekendsOtherLiturgyIsSeenBeforeTheRunWritesItsOwn)
{
    struct Case
    {
        const char *name;
        const char *writing;
        const char *row;
        const char *who;
    };
    const Case cases[] = {
        {"on the later liturgy", "S1", "S2-3", "C"},
        {"on the liturgy written already", "S2", "S1-4", "E"},
    };
    Parish();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        bool changed = false;
        auto plan = [&](const TAutoScheduleServiceWrite &write) {
            if (write.LiturgyID != QLatin1String(c.writing) || std::exchange(changed, true))
                return;
            ASSERT_TRUE(std::any_of(write.Assignments.cbegin(), write.Assignments.cend(),
                                    [&](const TAutoScheduleServiceWrite::Assignment &a) { return a.ContactID == Id(c.who); }))
                << "the run chose " << c.who << " for " << c.writing;
            Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE PK_ScheduledMemberID = '%3';")
                    .arg(Id(c.who), EmptyGUIDText(), QLatin1String(c.row)));
        };
        ASSERT_TRUE(RunDatabase(QDate(2026, 11, 7), QDate(2026, 11, 16), TAutoScheduleRankingSource::InMemory, nullptr, plan));
        ASSERT_TRUE(changed);
        const QString written = QLatin1String(c.writing);
        const QString other = QLatin1String(c.row).left(2);
        const int index = QLatin1String(c.row).mid(3).toInt() - 1;
        EXPECT_EQ(Members(other).at(index), QLatin1String(c.who)) << "the planner's row";
        EXPECT_FALSE(Members(written).contains(QLatin1String(c.who))) << Members(written).join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(leftFunctions, 1);
    }
}

} // namespace
