// The schedule view's rules without a window: the period the filter panel suggests, the bounds
// of the applied filter, the times of a new event, the complete mark, and what assigning and
// clearing a member do to a function row.
#include "plugins/events/uEventsCommon.h"
#include "plugins/events/uScheduleRules.h"

#include "dataaccess/TDACDSDataTable.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <gtest/gtest.h>

namespace {

QDate D(int month, int day) { return QDate(2026, month, day); }

// Events at noon on each of the days, counted the way the suggestion counts them.
std::function<int(const TSchedulePeriod &)> EventsOn(const QList<QDate> &days)
{
    return [days](const TSchedulePeriod &period) {
        int count = 0;
        for (const QDate &day : days)
            count += TScheduleRules::SuggestedPeriodHolds(period, QDateTime(day, QTime(12, 0))) ? 1 : 0;
        return count;
    };
}

QList<QDate> Daily(const QDate &from, int days)
{
    QList<QDate> result;
    for (int i = 0; i < days; ++i)
        result << from.addDays(i);
    return result;
}

} // namespace

TEST(ScheduleRules, TheFilterPanelShortensASuggestedPeriodOfMoreThanTwentyEventsInStepsOfFiveDays)
{
    struct Case
    {
        const char *What;
        QDate Start;
        QDate End;
        QList<QDate> Events;
        TSchedulePeriod Expected;
    };
    const QDate today = D(3, 2);
    const QList<Case> cases{
        {"empty dates: today to three months on", {}, {}, {}, {today, D(6, 2)}},
        {"an empty end: three months after the start", D(4, 1), {}, Daily(D(4, 1), 10), {D(4, 1), D(7, 1)}},
        {"twenty events are not shortened", D(4, 1), D(4, 30), Daily(D(4, 1), 20), {D(4, 1), D(4, 30)}},
        // 30 daily events at noon from 1 April: the end steps back from 30 April to 20 April,
        // the first end that leaves no more than 20 (1 to 19 April; the end counts from midnight).
        {"one event a day", D(4, 1), D(4, 30), Daily(D(4, 1), 30), {D(4, 1), D(4, 20)}},
        {"never five days or less after the start", D(4, 1), D(4, 30), QList<QDate>(25, D(4, 1)), {D(4, 1), D(4, 10)}},
        {"the end only moves while it is more than five days on", D(4, 1), D(4, 4), Daily(D(4, 1), 1) + Daily(D(4, 1), 30),
         {D(4, 1), D(4, 4)}},
    };
    for (const Case &c : cases) {
        const TSchedulePeriod got = TScheduleRules::SuggestPeriod(c.Start, c.End, today, EventsOn(c.Events));
        EXPECT_EQ(got.Start, c.Expected.Start) << c.What;
        EXPECT_EQ(got.End, c.Expected.End) << c.What;
    }
}

TEST(ScheduleRules, TheAppliedFilterTakesTheWholeEndDayAndNeedsAnEndAfterTheStart)
{
    const TSchedulePeriod april{D(4, 1), D(4, 30)};
    struct Case
    {
        QDateTime Start;
        bool Passes;
    };
    for (const Case &c : QList<Case>{{QDateTime(D(3, 31), QTime(23, 59)), false},
                                     {QDateTime(D(4, 1), QTime(0, 0)), true},
                                     {QDateTime(D(4, 30), QTime(18, 0)), true},
                                     {QDateTime(D(5, 1), QTime(0, 0)), false}})
        EXPECT_EQ(TScheduleRules::FilterHolds(april, c.Start), c.Passes) << c.Start.toString(Qt::ISODate).toStdString();
    EXPECT_FALSE(TScheduleRules::SuggestedPeriodHolds(april, QDateTime(D(4, 30), QTime(18, 0))));
    EXPECT_TRUE(TScheduleRules::CanApplyFilter(D(4, 1), D(4, 2)));
    EXPECT_FALSE(TScheduleRules::CanApplyFilter(D(4, 1), D(4, 1)));
    EXPECT_FALSE(TScheduleRules::CanApplyFilter({}, D(4, 1)));
}

TEST(ScheduleRules, ANewEventStartsAtTheLastHalfHourAndEndsAnHourFromNow)
{
    struct Case
    {
        QTime Now;
        QTime Start;
        QTime End;
    };
    for (const Case &c : QList<Case>{{QTime(10, 45, 12), QTime(10, 30), QTime(11, 45, 12)},
                                     {QTime(10, 29, 59), QTime(10, 0), QTime(11, 29, 59)},
                                     {QTime(10, 30), QTime(10, 30), QTime(11, 30)}}) {
        const QDateTime now(D(3, 8), c.Now);
        EXPECT_EQ(TScheduleRules::NewEventStart(now), QDateTime(D(3, 8), c.Start));
        EXPECT_EQ(TScheduleRules::NewEventEnd(now), QDateTime(D(3, 8), c.End));
    }
}

TEST(ScheduleRules, CompleteTogglesBetweenTheCompleteMarkAndTheAssignmentColour)
{
    EXPECT_EQ(TScheduleRules::ToggledComplete(EventColor::SomeAssigned, QString()), EventColor::Complete);
    EXPECT_EQ(TScheduleRules::ToggledComplete(EventColor::Complete, EventColor::SomeAssigned), EventColor::SomeAssigned);
    EXPECT_EQ(TScheduleRules::CompleteCaption(EventColor::Complete), 5408);
    EXPECT_EQ(TScheduleRules::CompleteCaption(EventColor::NoneAssigned), 5406);
    EXPECT_FALSE(TScheduleRules::CanUnassign(0));
    EXPECT_TRUE(TScheduleRules::PreviewWholeView(1));
    EXPECT_FALSE(TScheduleRules::PreviewWholeView(2));
    EXPECT_EQ(TScheduleRules::LabelColor(0x0000FF), QColor(255, 0, 0)); // the colour table keeps 0x00BBGGRR
    EXPECT_EQ(TScheduleRules::HelpTopic(true), QStringLiteral("Schedule_filter"));
}

namespace {

TDAField Field(const QString &name, TDADataType type)
{
    TDAField f;
    f.Name = name;
    f.DataType = type;
    return f;
}

// One assigned, locked, attended function row with a position and the minister flag.
class FunctionRows : public TDARemoteDataAdapter
{
public:
    QByteArray GetData(const QStringList &, const QList<TableRequestInfoV5> &) override
    {
        TDATableData data;
        data.Name = QStringLiteral("DAScheduledMinistryFunctions");
        data.Fields = {Field(QStringLiteral("PK_ScheduledMemberID"), TDADataType::datString),
                       Field(QStringLiteral("F_MinistryMemberID"), TDADataType::datString),
                       Field(QStringLiteral("F_MinistryMemberTypeID"), TDADataType::datString),
                       Field(QStringLiteral("MemberCaption"), TDADataType::datString),
                       Field(QStringLiteral("MemberNotAttended"), TDADataType::datBoolean),
                       Field(QStringLiteral("MemberLocked"), TDADataType::datBoolean),
                       Field(QStringLiteral("MemberPosition"), TDADataType::datString),
                       Field(QStringLiteral("FlagMinister"), TDADataType::datBoolean)};
        data.Fields[0].InPrimaryKey = true;
        data.Rows = {{QStringLiteral("{S1}"), QStringLiteral("{C1}"), EmptyGUID, QStringLiteral("Anna Berg"), true, true,
                      QStringLiteral("2"), true}};
        return TDADataStreamer::WriteDatasets({data});
    }
    QByteArray UpdateData(const QByteArray &) override { return {}; }
};

} // namespace

TEST(ScheduleRules, ClearingAMemberResetsTheLockTheAttendanceThePositionAndTheFlag)
{
    FunctionRows adapter;
    TDACDSDataTable rows(QStringLiteral("DAScheduledMinistryFunctions"), &adapter);
    rows.Open();
    TScheduleRules::ClearMember(rows);
    struct Expect
    {
        const char *Field;
        QVariant Value; // invalid: null
    };
    for (const Expect &e : QList<Expect>{{"F_MinistryMemberID", {}},
                                         {"F_MinistryMemberTypeID", {}},
                                         {"MemberCaption", QString()},
                                         {"MemberNotAttended", false},
                                         {"MemberLocked", false},
                                         {"MemberPosition", {}},
                                         {"FlagMinister", false}}) {
        const QVariant value = rows.Value(QString::fromLatin1(e.Field));
        if (e.Value.isValid())
            EXPECT_EQ(value, e.Value) << e.Field;
        else
            EXPECT_TRUE(DAIsNull(value)) << e.Field;
    }
    EXPECT_EQ(rows.GetState(), TDATableState::dsBrowse);
    EXPECT_TRUE(rows.HasChanges());
    EXPECT_FALSE(TScheduleRules::MemberFieldsEditable(rows.Value(QStringLiteral("F_MinistryMemberID"))));

    // Assigning locks the member and leaves no position; without a hit nothing changes.
    EXPECT_FALSE(TScheduleRules::AssignMember(rows, {}));
    TSearchListItem hit;
    hit.Object.Caption = QStringLiteral("{F7}");
    hit.Object.TypeID = TSearchObject::FamilyType;
    hit.Object.Text1 = QStringLiteral("Family Kühn");
    ASSERT_TRUE(TScheduleRules::AssignMember(rows, {hit}));
    EXPECT_EQ(rows.AsString(QStringLiteral("F_MinistryMemberID")), QStringLiteral("{F7}"));
    EXPECT_EQ(rows.AsString(QStringLiteral("MemberCaption")), QStringLiteral("Family Kühn"));
    EXPECT_EQ(rows.Value(QStringLiteral("MemberLocked")), QVariant(true));
    EXPECT_TRUE(rows.IsNull(QStringLiteral("MemberPosition")));
    EXPECT_TRUE(TScheduleRules::MemberFieldsEditable(rows.Value(QStringLiteral("F_MinistryMemberID"))));
}

TEST(ScheduleRules, TheLockIsChangedOnARowWithAnyMemberAndOnNoEmptyRow)
{
    // Contacts, families and groups alike: the member's id decides, not its kind.
    const struct
    {
        QVariant MemberID;
        bool Changes;
    } cases[] = {
        {QVariant(), false},
        {QString(), false},
        {QStringLiteral("{C0000005-0000-4000-8000-000000000000}"), true},
        {QStringLiteral("{F0000001-0000-4000-8000-000000000000}"), true},
        {QStringLiteral("{60000001-0000-4000-8000-000000000000}"), true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TScheduleRules::MemberFieldsEditable(c.MemberID), c.Changes) << c.MemberID.toString().toStdString();
}
