#include "foundation/QorDateTime.h"
#include "server/core/uServerCommon.h"

#include "foundation/uRegistry.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QDateTime at(int y, int m, int d, int h, int mi = 0, int s = 0)
{
    return WallClock(QDate(y, m, d), QTime(h, mi, s));
}

TEST(ServerCalendarRules, SaturdayEveningBelongsToTheWeekend)
{
    // 2026-12-12 is a Saturday.
    EXPECT_FALSE(IsWeekendService(at(2026, 12, 12, 15, 59, 59)));
    EXPECT_TRUE(IsWeekendService(at(2026, 12, 12, 16, 0, 0)));
    EXPECT_TRUE(IsWeekendService(at(2026, 12, 13, 7)));
    EXPECT_FALSE(IsWeekendService(at(2026, 12, 11, 18)));
    EXPECT_FALSE(IsWeekendService(at(2026, 12, 14, 10)));
}

TEST(ServerCalendarRules, WeekOfMonthCountsSaturdayEveningAsItsSunday)
{
    // 2026-11-07 is a Saturday; its Sunday is the 8th.
    EXPECT_EQ(WeekOfMonthForService(at(2026, 11, 7, 16)), 2);
    EXPECT_EQ(WeekOfMonthForService(at(2026, 11, 7, 15)), 1);
    EXPECT_EQ(WeekOfMonthForService(at(2026, 5, 31, 10)), 5);  // a Sunday, the 31st
    EXPECT_EQ(WeekOfMonthForService(at(2026, 12, 1, 10)), 1);
    // Saturday evening on the last day of a month counts in the next month's first week.
    EXPECT_EQ(WeekOfMonthForService(at(2026, 10, 31, 17)), 1);
}

TEST(ServerRunMode, WrittenOnlyUnderAnExistingProductKey)
{
    QTemporaryDir dir;
    qputenv("KESTROVA_REGISTRY_DIR", dir.path().toUtf8());
    SetServerRunMode(false, QStringLiteral("/opt/kestrova/"));
    QString value;
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, value, QStringLiteral("none"), QStringLiteral("Server run-mode"));
    EXPECT_EQ(value, QStringLiteral("none"));

    TQorReg::WriteString(HKEY_LOCAL_MACHINE, ProductKey, QStringLiteral("x"), QStringLiteral("Installed"));
    SetServerRunMode(false, QStringLiteral("/opt/kestrova/"));
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, value, {}, QStringLiteral("Server run-mode"));
    EXPECT_EQ(value, QStringLiteral("Service"));
    SetServerRunMode(true, QStringLiteral("/opt/kestrova/"));
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, value, {}, QStringLiteral("Server run-mode"));
    EXPECT_EQ(value, QStringLiteral("Application"));
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, value, {}, QStringLiteral("Server path"));
    EXPECT_EQ(value, QStringLiteral("/opt/kestrova/"));
    qunsetenv("KESTROVA_REGISTRY_DIR");
}

} // namespace
