// The liturgical calendar that the server ships as its calendar file and the database's
// calendar script: one row per date with its season, observance, colour and reading cycles.
// Pure computation: it reads no clock and no file.
#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace kestrova::calendar {

// Day_Color values: Windows colour values (0x00BBGGRR), as the client paints event colours too.
namespace Color {
constexpr int Violet = 0x800080;
constexpr int White = 0xFFFFFF;
constexpr int Green = 0x008000;
constexpr int Red = 0x0000FF;
} // namespace Color

// FeastRef values: codes of the principal feasts; 0 is a day without one.
namespace Feast {
constexpr int None = 0;
constexpr int ChristmasDay = 1;
constexpr int Epiphany = 2;
constexpr int AshWednesday = 3;
constexpr int PalmSunday = 4;
constexpr int MaundyThursday = 5;
constexpr int GoodFriday = 6;
constexpr int EasterEve = 7;
constexpr int EasterDay = 8;
constexpr int AscensionDay = 9;
constexpr int Pentecost = 10;
constexpr int TrinitySunday = 11;
constexpr int AllSaints = 12;
constexpr int ChristTheKing = 13;
constexpr int Count = 14;
} // namespace Feast

// One row of tblCalenderData, in its column order.
struct CalendarDay
{
    int id = 0;            // yyyymmdd
    int calYear = 0;
    int calMonth = 0;
    int calDay = 0;
    int weekDay = 0;       // 1 = Sunday ... 7 = Saturday
    QDate date;
    QString day;           // weekday name
    QString fullName;
    QString shortName;
    int dayColor = 0;
    int feastRef = Feast::None;
    QString year;          // Sunday cycle: A, B or C
    QString yearDC;        // weekday cycle: 1 or 2
    int seasonWeek = 0;    // number of the season's latest Sunday (0 before its first)
    QString season;
};

// Easter Day of a Gregorian year.
QDate EasterDay(int year);
// First Sunday of Advent of a year: the Sunday from 27 November to 3 December.
QDate FirstSundayOfAdvent(int year);

// Every date from 1 January of `fromYear` to 31 December of `toYear`, in date order.
QList<CalendarDay> CalendarRows(int fromYear, int toYear);

// The column names, in order.
QStringList CalendarColumns();
// The rows as UTF-8 CSV with a header row (fields quoted where needed, dates as yyyy-MM-dd).
QByteArray CalendarCsv(const QList<CalendarDay> &rows);
// The rows as a script of INSERT batches separated by "GO" lines.
QByteArray CalendarSql(const QList<CalendarDay> &rows);

} // namespace kestrova::calendar
