#include "server/calendar/LiturgicalCalendar.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

using namespace kestrova::calendar;

const QList<CalendarDay> &allRows()
{
    static const QList<CalendarDay> rows = CalendarRows(2000, 2060);
    return rows;
}

const CalendarDay &row(const QDate &date)
{
    const auto &rows = allRows();
    const qint64 index = QDate(2000, 1, 1).daysTo(date);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, rows.size());
    return rows[index];
}

TEST(LiturgicalCalendar, EasterMatchesThePublishedTable)
{
    EXPECT_EQ(EasterDay(2000), QDate(2000, 4, 23));
    EXPECT_EQ(EasterDay(2008), QDate(2008, 3, 23));
    EXPECT_EQ(EasterDay(2011), QDate(2011, 4, 24));
    EXPECT_EQ(EasterDay(2024), QDate(2024, 3, 31));
    EXPECT_EQ(EasterDay(2025), QDate(2025, 4, 20));
    EXPECT_EQ(EasterDay(2038), QDate(2038, 4, 25));
    EXPECT_EQ(EasterDay(2057), QDate(2057, 4, 22));
}

TEST(LiturgicalCalendar, EasterDayRowsCarryTheFeast)
{
    for (const QDate &easter : {QDate(2024, 3, 31), QDate(2025, 4, 20), QDate(2038, 4, 25), QDate(2057, 4, 22)}) {
        const CalendarDay &r = row(easter);
        EXPECT_EQ(r.feastRef, Feast::EasterDay) << easter.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(r.fullName, QStringLiteral("Easter Day"));
        EXPECT_EQ(r.season, QStringLiteral("Easter"));
        EXPECT_EQ(r.dayColor, Color::White);
    }
}

TEST(LiturgicalCalendar, EveryDateOfTheRangeHasExactlyOneRow)
{
    const auto &rows = allRows();
    ASSERT_EQ(rows.size(), QDate(2000, 1, 1).daysTo(QDate(2060, 12, 31)) + 1);
    QSet<int> ids;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].date, QDate(2000, 1, 1).addDays(i));
        ids.insert(rows[i].id);
    }
    EXPECT_EQ(ids.size(), rows.size());
    EXPECT_EQ(rows.first().id, 20000101);
    EXPECT_EQ(rows.last().id, 20601231);
}

TEST(LiturgicalCalendar, AdventStartsOnTheFourthSundayBeforeChristmas)
{
    EXPECT_EQ(FirstSundayOfAdvent(2022), QDate(2022, 11, 27));
    EXPECT_EQ(FirstSundayOfAdvent(2023), QDate(2023, 12, 3));
    EXPECT_EQ(FirstSundayOfAdvent(2024), QDate(2024, 12, 1));
    EXPECT_EQ(row(QDate(2024, 11, 30)).season, QStringLiteral("Trinity"));
    const CalendarDay &advent = row(QDate(2024, 12, 1));
    EXPECT_EQ(advent.season, QStringLiteral("Advent"));
    EXPECT_EQ(advent.fullName, QStringLiteral("1st Sunday of Advent"));
    EXPECT_EQ(advent.dayColor, Color::Violet);
    EXPECT_EQ(row(QDate(2024, 11, 24)).feastRef, Feast::ChristTheKing);
    EXPECT_EQ(row(QDate(2024, 12, 22)).fullName, QStringLiteral("4th Sunday of Advent"));
    EXPECT_EQ(row(QDate(2024, 12, 25)).feastRef, Feast::ChristmasDay);
    EXPECT_EQ(row(QDate(2024, 12, 25)).season, QStringLiteral("Christmas"));
}

TEST(LiturgicalCalendar, TheSundayCycleAndWeekdayCycleChangeAtAdvent)
{
    EXPECT_EQ(row(QDate(2024, 11, 30)).year, QStringLiteral("B"));
    EXPECT_EQ(row(QDate(2024, 12, 1)).year, QStringLiteral("C"));
    EXPECT_EQ(row(QDate(2025, 11, 29)).year, QStringLiteral("C"));
    EXPECT_EQ(row(QDate(2025, 11, 30)).year, QStringLiteral("A"));
    EXPECT_EQ(row(QDate(2022, 11, 27)).year, QStringLiteral("A"));
    EXPECT_EQ(row(QDate(2024, 11, 30)).yearDC, QStringLiteral("2"));
    EXPECT_EQ(row(QDate(2024, 12, 1)).yearDC, QStringLiteral("1"));
    EXPECT_EQ(row(QDate(2025, 6, 1)).yearDC, QStringLiteral("1"));
}

TEST(LiturgicalCalendar, LentRunsFromAshWednesdayToPalmSunday)
{
    EXPECT_EQ(row(QDate(2024, 2, 13)).season, QStringLiteral("Epiphany"));
    EXPECT_EQ(row(QDate(2024, 2, 13)).dayColor, Color::Green);
    const CalendarDay &ash = row(QDate(2024, 2, 14));
    EXPECT_EQ(ash.feastRef, Feast::AshWednesday);
    EXPECT_EQ(ash.season, QStringLiteral("Lent"));
    EXPECT_EQ(ash.dayColor, Color::Violet);
    EXPECT_EQ(row(QDate(2024, 2, 18)).fullName, QStringLiteral("1st Sunday in Lent"));
    EXPECT_EQ(row(QDate(2024, 3, 24)).feastRef, Feast::PalmSunday);
    EXPECT_EQ(row(QDate(2024, 3, 24)).season, QStringLiteral("Holy Week"));
    EXPECT_EQ(row(QDate(2024, 3, 29)).feastRef, Feast::GoodFriday);
    EXPECT_EQ(row(QDate(2024, 3, 29)).dayColor, Color::Red);
}

TEST(LiturgicalCalendar, AscensionPentecostAndTrinityFollowEaster)
{
    EXPECT_EQ(row(QDate(2024, 5, 9)).feastRef, Feast::AscensionDay);
    EXPECT_EQ(row(QDate(2024, 5, 9)).season, QStringLiteral("Ascension"));
    EXPECT_EQ(row(QDate(2024, 5, 8)).season, QStringLiteral("Easter"));
    const CalendarDay &pentecost = row(QDate(2024, 5, 19));
    EXPECT_EQ(pentecost.feastRef, Feast::Pentecost);
    EXPECT_EQ(pentecost.season, QStringLiteral("Pentecost"));
    EXPECT_EQ(pentecost.dayColor, Color::Red);
    EXPECT_EQ(row(QDate(2024, 5, 26)).feastRef, Feast::TrinitySunday);
    EXPECT_EQ(row(QDate(2024, 6, 2)).fullName, QStringLiteral("1st Sunday after Trinity"));
    EXPECT_EQ(row(QDate(2024, 6, 2)).dayColor, Color::Green);
    EXPECT_EQ(row(QDate(2024, 6, 3)).fullName, QStringLiteral("Monday after the 1st Sunday after Trinity"));
}

TEST(LiturgicalCalendar, ChristmasSeasonEndsBeforeEpiphany)
{
    EXPECT_EQ(row(QDate(2025, 1, 5)).season, QStringLiteral("Christmas"));
    EXPECT_EQ(row(QDate(2025, 1, 5)).fullName, QStringLiteral("2nd Sunday after Christmas"));
    EXPECT_EQ(row(QDate(2025, 1, 6)).feastRef, Feast::Epiphany);
    EXPECT_EQ(row(QDate(2025, 1, 12)).fullName, QStringLiteral("1st Sunday after Epiphany"));
}

TEST(LiturgicalCalendar, EveryRowHasNamesThatFitTheirColumns)
{
    for (const CalendarDay &r : allRows()) {
        ASSERT_FALSE(r.fullName.isEmpty()) << r.id;
        ASSERT_LE(r.fullName.size(), 100) << r.id;
        ASSERT_LE(r.shortName.size(), 50) << r.id;
        ASSERT_LE(r.day.size(), 30) << r.id;
        ASSERT_TRUE(r.year == QLatin1String("A") || r.year == QLatin1String("B") || r.year == QLatin1String("C"));
        ASSERT_NE(r.dayColor, 0);
    }
}

TEST(LiturgicalCalendar, CsvHasAHeaderAndQuotesWhereNeeded)
{
    const QList<CalendarDay> rows = CalendarRows(2024, 2024);
    const QStringList lines = QString::fromUtf8(CalendarCsv(rows)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), rows.size() + 1);
    EXPECT_EQ(lines.first().split(QLatin1Char(',')), CalendarColumns());
    EXPECT_EQ(CalendarColumns().size(), 15);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("20240101,2024,1,1,2,2024-01-01,Monday,")));
}

TEST(LiturgicalCalendar, SqlDoublesQuotesAndSeparatesBatches)
{
    // Two years are more rows than one statement holds: a setting batch and two insert batches.
    const QString sql = QString::fromUtf8(CalendarSql(CalendarRows(2023, 2024)));
    EXPECT_TRUE(sql.contains(QStringLiteral("'All Saints'' Day'")));
    EXPECT_EQ(sql.count(QStringLiteral("\nGO\n")), 3);
    EXPECT_EQ(sql.count(QStringLiteral("INSERT INTO tblCalenderData VALUES")), 2);
}

} // namespace
