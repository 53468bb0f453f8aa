#include "foundation/QorDateTime.h"

#include <gtest/gtest.h>

namespace {

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
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

TEST(DateTime, RoundTripsToTheMillisecondAcrossDaylightSavingChanges)
{
    for (const QDateTime &v : {at(2024, 3, 31, 2, 30), at(2024, 10, 27, 2, 30, 15, 999), at(2060, 12, 31, 23, 59, 59, 999),
                               at(1753, 1, 1), at(2000, 2, 29, 0, 0, 0, 1)})
        EXPECT_EQ(OleToDateTime(DateTimeToOle(v)).toString(Qt::ISODateWithMs), v.toString(Qt::ISODateWithMs));
}

TEST(DateTime, ReadingRoundsToTheMillisecondAndCarriesIntoTheNextDay)
{
    EXPECT_EQ(OleToDateTime(1.0 - 1e-10), at(1899, 12, 31));
    EXPECT_EQ(OleToDateTime(0.5 + 0.4 / 86400000.0), at(1899, 12, 30, 12));
}

TEST(DateTime, OutOfRangeValuesAreInvalid)
{
    EXPECT_FALSE(OleToDateTime(std::nan("")).isValid());
    EXPECT_FALSE(OleToDateTime(1e300).isValid());
    EXPECT_FALSE(OleToDateTime(-1e7).isValid());
}

} // namespace
