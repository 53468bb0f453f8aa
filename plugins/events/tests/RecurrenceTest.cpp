// The weekly pattern's dates: intervals, a start in mid-week, empty ranges, ranges given by
// months (month ends and leap years), skipping the first day, and the stored end date.
#include "plugins/events/uRecurrence.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct ExpandCase
{
    const char *name;
    QDate start;
    QDate end;
    int interval;
    QList<int> days; // 1 Sunday ... 7 Saturday
    bool skipFirstDay;
    QList<QDate> expected;
};

QDate D(int y, int m, int d) { return QDate(y, m, d); }

// 2026-03-04 is a Wednesday; 2026-03-02 the Monday of that week.
const ExpandCase kCases[] = {
    {"MidWeekStartEveryWeekUpToTheEndInclusive", D(2026, 3, 4), D(2026, 3, 18), 1, {2, 4}, false,
     {D(2026, 3, 4), D(2026, 3, 9), D(2026, 3, 11), D(2026, 3, 16), D(2026, 3, 18)}},
    {"IntervalTwoTakesTheStartWeekThenEverySecondWeek", D(2026, 3, 4), D(2026, 4, 8), 2, {4}, false,
     {D(2026, 3, 4), D(2026, 3, 18), D(2026, 4, 1)}},
    {"IntervalZeroTakesTheStartWeekOnly", D(2026, 3, 4), D(2026, 4, 30), 0, {4, 7}, false,
     {D(2026, 3, 4), D(2026, 3, 7)}},
    {"EndBeforeStartGivesNothing", D(2026, 3, 4), D(2026, 3, 3), 1, {1, 2, 3, 4, 5, 6, 7}, false, {}},
    {"SkippingTheFirstDayLeavesTheStartOut", D(2026, 3, 4), D(2026, 3, 12), 1, {4, 5}, true,
     {D(2026, 3, 5), D(2026, 3, 11), D(2026, 3, 12)}},
    {"ASaturdayStartGoesOnInTheNextWeek", D(2026, 3, 7), D(2026, 3, 15), 1, {1, 7}, false,
     {D(2026, 3, 7), D(2026, 3, 8), D(2026, 3, 14), D(2026, 3, 15)}},
    {"NoDayCheckedGivesNothing", D(2026, 3, 4), D(2026, 5, 4), 1, {}, false, {}},
    {"OneMonthFromTheThirtyFirstOfJanuaryEndsOnTheLastOfFebruary", D(2026, 1, 31),
     TRecurrence::EndByMonths(D(2026, 1, 31), 1), 1, {7}, false,
     {D(2026, 1, 31), D(2026, 2, 7), D(2026, 2, 14), D(2026, 2, 21), D(2026, 2, 28)}},
    {"ALeapYearsFebruaryEndsOnTheTwentyNinth", D(2028, 1, 31), TRecurrence::EndByMonths(D(2028, 1, 31), 1), 1, {3}, false,
     {D(2028, 2, 1), D(2028, 2, 8), D(2028, 2, 15), D(2028, 2, 22), D(2028, 2, 29)}},
    {"TheYearEndIsCrossedWeekByWeek", D(2026, 12, 27), D(2027, 1, 10), 1, {1}, false,
     {D(2026, 12, 27), D(2027, 1, 3), D(2027, 1, 10)}},
};

class Expand : public ::testing::TestWithParam<ExpandCase>
{
};

TEST_P(Expand, GivesTheDatesOfThePattern)
{
    const ExpandCase &c = GetParam();
    TRecurrence r;
    r.SetStartDate(c.start);
    r.SetEndDate(c.end);
    r.SetWeekInterval(c.interval);
    for (int day : c.days)
        r.SetDayChecked(day, true);
    r.Expand(c.skipFirstDay);
    QList<QDate> dates;
    for (const TvoRecurrentEvent &e : r.Dates())
        dates << e.Date;
    EXPECT_EQ(dates, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Recurrence, Expand, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ExpandCase> &p) { return std::string(p.param.name); });

TEST(Recurrence, ExpandingAgainReplacesTheDates)
{
    TRecurrence r;
    r.SetStartDate(D(2026, 3, 4));
    r.SetEndDate(D(2026, 3, 11));
    r.SetDayChecked(4, true);
    r.Expand(false);
    r.Expand(false);
    EXPECT_EQ(r.Dates().size(), 2);
}

TEST(Recurrence, TheStoredEndDateIsTheDefaultEndAndABadOneIsToday)
{
    EXPECT_EQ(TRecurrence([] { return QStringLiteral("2026-06-30"); }).EndDate(), D(2026, 6, 30));
    EXPECT_FALSE(TRecurrence([] { return QString(); }).EndDate().isValid());
    EXPECT_EQ(TRecurrence([] { return QStringLiteral("not a date"); }).EndDate(), QDate::currentDate());
    EXPECT_EQ(TRecurrence([]() -> QString { throw std::runtime_error("no host"); }).EndDate(), QDate::currentDate());
    EXPECT_EQ(TRecurrence::ParseDate(TRecurrence::DateText(D(2027, 2, 28))), D(2027, 2, 28));
}

} // namespace
