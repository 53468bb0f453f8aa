#include "foundation/QorDateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return WallClock(QDate(y, mo, d), QTime(h, mi, s, ms));
}

TEST(DateTime, KnownValuesOfTheDayCount)
{
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(1900, 1, 1, 12)), 2.5);
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(2007, 3, 5)), 39146.0);
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(DateTimeToOle(QDateTime()), 0.0);
    EXPECT_EQ(OleToDateTime(-1.25), at(1899, 12, 29, 6));
    EXPECT_EQ(OleToDateTime(39146.75), at(2007, 3, 5, 18));
}

// Run under TZ=Europe/Berlin and TZ=America/Santiago too (scripts/test): the first value does
// not exist on Berlin's clocks, the last not on Santiago's.
TEST(DateTime, RoundTripsToTheMillisecondAcrossDaylightSavingChanges)
{
    for (const QDateTime &v : {at(2024, 3, 31, 2, 30), at(2024, 10, 27, 2, 30, 15, 999), at(2060, 12, 31, 23, 59, 59, 999),
                               at(1753, 1, 1), at(2000, 2, 29, 0, 0, 0, 1), at(2024, 9, 8), at(2024, 9, 8, 0, 30)}) {
        EXPECT_EQ(OleToDateTime(DateTimeToOle(v)).toString(Qt::ISODateWithMs), v.toString(Qt::ISODateWithMs));
        EXPECT_EQ(OleToDateTime(DateTimeToOle(v)), v);
    }
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(2024, 3, 31, 2, 30)), 45382.0 + 2.5 / 24.0);
    EXPECT_DOUBLE_EQ(DateTimeToOle(at(2024, 9, 8)), 45543.0);
    EXPECT_EQ(OleToDateTime(45543.0).time(), QTime(0, 0));
}

TEST(DateTime, ALocalValueKeepsItsCalendarFields)
{
    const QDateTime local(QDate(2024, 7, 1), QTime(9, 15), Qt::LocalTime);
    EXPECT_EQ(AsWallClock(local), at(2024, 7, 1, 9, 15));
    EXPECT_EQ(AsWallClock(local).timeSpec(), Qt::UTC);
    EXPECT_DOUBLE_EQ(DateTimeToOle(local), DateTimeToOle(at(2024, 7, 1, 9, 15)));
    EXPECT_EQ(WallClockNow().timeSpec(), Qt::UTC);
    EXPECT_EQ(WallClockNow().date(), QDate::currentDate());
}

TEST(DateTime, ReadingRoundsToTheMillisecondAndCarriesIntoTheNextDay)
{
    EXPECT_EQ(OleToDateTime(1.0 - 1e-10), at(1899, 12, 31));
    EXPECT_EQ(OleToDateTime(0.5 + 0.4 / 86400000.0), at(1899, 12, 30, 12));
}

TEST(DateTime, OnlyTheYearsOneTo9999AreAccepted)
{
    const double last = DateTimeToOle(at(9999, 12, 31, 23, 59, 59, 999));
    EXPECT_EQ(OleToDateTime(last), at(9999, 12, 31, 23, 59, 59, 999));
    EXPECT_EQ(OleToDateTime(DateTimeToOle(at(1, 1, 1))), at(1, 1, 1));
    for (const double refused : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                 1e300, -1e7, 2958466.0, 2958465.9999999999, last + 0.9 / 86400000.0, -693594.0})
        EXPECT_FALSE(OleToDateTime(refused).isValid()) << refused;
    EXPECT_THROW(DateTimeToOle(at(10000, 1, 1)), std::out_of_range);
    EXPECT_THROW(DateTimeToOle(at(-1, 12, 31)), std::out_of_range);
    EXPECT_FALSE(IsDateTimeInRange(at(10000, 1, 1)));
    EXPECT_TRUE(IsDateTimeInRange(at(9999, 12, 31)));
}

TEST(DateTime, IsoTextsAreReadAsWritten)
{
    EXPECT_EQ(WallClockFromIso(u"2024-03-31 02:30:00"), at(2024, 3, 31, 2, 30));
    EXPECT_EQ(WallClockFromIso(u"2024-09-08T00:00"), at(2024, 9, 8));
    EXPECT_EQ(WallClockFromIso(u"2024-05-01 10:20:30.123456"), at(2024, 5, 1, 10, 20, 30, 123));
    EXPECT_EQ(WallClockFromIso(u"2024-05-01 10:20:30.5+02"), at(2024, 5, 1, 10, 20, 30, 500));
    EXPECT_EQ(WallClockFromIso(u"2024-05-01"), at(2024, 5, 1));
    for (const char16_t *bad : {u"", u"2024-02-30", u"2024-05-01 25:00", u"10000-01-01 00:00:00", u"infinity",
                                u"2024-05-01 10:20:30 BC", u"2024-05-01x"})
        EXPECT_FALSE(WallClockFromIso(bad).isValid()) << QString::fromUtf16(bad).toStdString();
}

} // namespace
