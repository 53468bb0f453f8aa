#include "server/calendar/LiturgicalCalendar.h"

#include <QStringList>

#include <algorithm>

namespace kestrova::calendar {
namespace {

// Calendar scripts insert this many rows per statement.
constexpr int kRowsPerInsert = 500;

struct Season
{
    const char *name;
    int color;
};

const Season kAdvent{"Advent", Color::Violet};
const Season kChristmas{"Christmas", Color::White};
const Season kEpiphany{"Epiphany", Color::Green};
const Season kLent{"Lent", Color::Violet};
const Season kHolyWeek{"Holy Week", Color::Red};
const Season kEaster{"Easter", Color::White};
const Season kAscension{"Ascension", Color::White};
const Season kPentecost{"Pentecost", Color::Red};
const Season kTrinity{"Trinity", Color::Green};

struct FeastText
{
    int feast;
    const char *fullName;
    const char *shortName;
    int color;
};

const FeastText kFeasts[] = {
    {Feast::None, "", "", 0},
    {Feast::ChristmasDay, "Christmas Day", "Christmas", Color::White},
    {Feast::Epiphany, "Epiphany", "Epiphany", Color::White},
    {Feast::AshWednesday, "Ash Wednesday", "Ash Wednesday", Color::Violet},
    {Feast::PalmSunday, "Palm Sunday", "Palm Sunday", Color::Red},
    {Feast::MaundyThursday, "Maundy Thursday", "Maundy Thursday", Color::White},
    {Feast::GoodFriday, "Good Friday", "Good Friday", Color::Red},
    {Feast::EasterEve, "Easter Eve", "Easter Eve", Color::Red},
    {Feast::EasterDay, "Easter Day", "Easter", Color::White},
    {Feast::AscensionDay, "Ascension Day", "Ascension", Color::White},
    {Feast::Pentecost, "Pentecost", "Pentecost", Color::Red},
    {Feast::TrinitySunday, "Trinity Sunday", "Trinity", Color::White},
    {Feast::AllSaints, "All Saints' Day", "All Saints", Color::White},
    {Feast::ChristTheKing, "Christ the King", "Christ the King", Color::White},
};

const char *const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

QString ordinal(int n)
{
    const int lastTwo = n % 100;
    const char *suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        switch (n % 10) {
        case 1: suffix = "st"; break;
        case 2: suffix = "nd"; break;
        case 3: suffix = "rd"; break;
        default: break;
        }
    }
    return QString::number(n) + QLatin1String(suffix);
}

// Sundays in the range (after, upTo], or [after, upTo] when the first day counts.
int sundaysBetween(const QDate &after, const QDate &upTo, bool includeFirst)
{
    int count = 0;
    for (QDate d = includeFirst ? after : after.addDays(1); d <= upTo; d = d.addDays(1)) {
        if (d.dayOfWeek() == Qt::Sunday)
            ++count;
    }
    return count;
}

// Where a date stands in its season: the season, the number of its latest Sunday, the names of
// that Sunday (or of the day the season opened with, before its first Sunday).
struct Position
{
    const Season *season = nullptr;
    int week = 0;
    QString anchorFull;   // "the 2nd Sunday of Advent", "Ash Wednesday"
    QString anchorShort;  // "Advent 2", "Ash Wednesday"
    QString sundayFull;   // the Sunday's own name, "2nd Sunday of Advent"
};

Position locate(const QDate &d)
{
    const int y = d.year();
    const QDate easter = EasterDay(y);
    const QDate ash = easter.addDays(-46);
    const QDate palm = easter.addDays(-7);
    const QDate ascension = easter.addDays(39);
    const QDate pentecost = easter.addDays(49);
    const QDate trinity = easter.addDays(56);
    const QDate advent = FirstSundayOfAdvent(y);
    const QDate christmas(y, 12, 25);
    const QDate epiphany(y, 1, 6);

    Position p;
    auto sundayNamed = [&p](int week, const QString &full, const QString &shortName, const QString &openedFull,
                            const QString &openedShort) {
        p.week = week;
        if (week == 0) {
            p.anchorFull = openedFull;
            p.anchorShort = openedShort;
        } else {
            p.sundayFull = full;
            p.anchorFull = QStringLiteral("the ") + full;
            p.anchorShort = shortName;
        }
    };
    if (d >= advent && d < christmas) {
        p.season = &kAdvent;
        const int w = sundaysBetween(advent, d, true);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday of Advent"), QStringLiteral("Advent %1").arg(w), {}, {});
    } else if (d >= christmas || d < epiphany) {
        p.season = &kChristmas;
        const QDate opened = d >= christmas ? christmas : QDate(y - 1, 12, 25);
        const int w = sundaysBetween(opened, d, false);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday after Christmas"), QStringLiteral("Christmas %1").arg(w),
                    QStringLiteral("Christmas Day"), QStringLiteral("Christmas"));
    } else if (d < ash) {
        p.season = &kEpiphany;
        const int w = sundaysBetween(epiphany, d, false);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday after Epiphany"), QStringLiteral("Epiphany %1").arg(w),
                    QStringLiteral("Epiphany"), QStringLiteral("Epiphany"));
    } else if (d < palm) {
        p.season = &kLent;
        const int w = sundaysBetween(ash, d, false);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday in Lent"), QStringLiteral("Lent %1").arg(w),
                    QStringLiteral("Ash Wednesday"), QStringLiteral("Ash Wednesday"));
    } else if (d < easter) {
        p.season = &kHolyWeek;
        p.week = 1;
        p.sundayFull = QStringLiteral("Palm Sunday");
        p.anchorFull = QStringLiteral("Holy Week");
        p.anchorShort = QStringLiteral("Holy Week");
    } else if (d < ascension) {
        p.season = &kEaster;
        const int w = sundaysBetween(easter, d, true);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday of Easter"), QStringLiteral("Easter %1").arg(w), {}, {});
        if (w == 1) {
            p.sundayFull = QStringLiteral("Easter Day");
            p.anchorFull = QStringLiteral("Easter Day");
            p.anchorShort = QStringLiteral("Easter");
        }
    } else if (d < pentecost) {
        p.season = &kAscension;
        const int w = sundaysBetween(ascension, d, false);
        sundayNamed(w, QStringLiteral("Sunday after Ascension Day"), QStringLiteral("Ascension %1").arg(w),
                    QStringLiteral("Ascension Day"), QStringLiteral("Ascension"));
    } else if (d < trinity) {
        p.season = &kPentecost;
        p.week = 1;
        p.sundayFull = QStringLiteral("Pentecost");
        p.anchorFull = QStringLiteral("Pentecost");
        p.anchorShort = QStringLiteral("Pentecost");
    } else {
        p.season = &kTrinity;
        const int w = sundaysBetween(trinity, d, false);
        sundayNamed(w, ordinal(w) + QStringLiteral(" Sunday after Trinity"), QStringLiteral("Trinity %1").arg(w),
                    QStringLiteral("Trinity Sunday"), QStringLiteral("Trinity"));
    }
    return p;
}

int feastOf(const QDate &d)
{
    const int y = d.year();
    const QDate easter = EasterDay(y);
    const qint64 fromEaster = easter.daysTo(d);
    if (d.month() == 12 && d.day() == 25)
        return Feast::ChristmasDay;
    if (d.month() == 1 && d.day() == 6)
        return Feast::Epiphany;
    switch (fromEaster) {
    case -46: return Feast::AshWednesday;
    case -7: return Feast::PalmSunday;
    case -3: return Feast::MaundyThursday;
    case -2: return Feast::GoodFriday;
    case -1: return Feast::EasterEve;
    case 0: return Feast::EasterDay;
    case 39: return Feast::AscensionDay;
    case 49: return Feast::Pentecost;
    case 56: return Feast::TrinitySunday;
    default: break;
    }
    if (d.month() == 11 && d.day() == 1)
        return Feast::AllSaints;
    if (d == FirstSundayOfAdvent(y).addDays(-7))
        return Feast::ChristTheKing;
    return Feast::None;
}

QString csvField(const QString &value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n'))
        && !value.contains(QLatin1Char('\r')))
        return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString sqlText(const QString &value)
{
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

QStringList rowValues(const CalendarDay &r)
{
    return {QString::number(r.id), QString::number(r.calYear), QString::number(r.calMonth), QString::number(r.calDay),
            QString::number(r.weekDay), r.date.toString(Qt::ISODate), r.day, r.fullName, r.shortName,
            QString::number(r.dayColor), QString::number(r.feastRef), r.year, r.yearDC,
            QString::number(r.seasonWeek), r.season};
}

} // namespace

QDate EasterDay(int year)
{
    // The anonymous Gregorian computus (Meeus, Jones, Butcher).
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = ((h + l - 7 * m + 114) % 31) + 1;
    return QDate(year, month, day);
}

QDate FirstSundayOfAdvent(int year)
{
    const QDate christmas(year, 12, 25);
    // The fourth Sunday before Christmas Day (Christmas Day itself never counts).
    const int back = christmas.dayOfWeek() % 7; // days back to the Sunday before or on Christmas
    QDate fourth = christmas.addDays(-(back == 0 ? 7 : back));
    return fourth.addDays(-21);
}

QList<CalendarDay> CalendarRows(int fromYear, int toYear)
{
    QList<CalendarDay> rows;
    for (QDate d(fromYear, 1, 1); d.year() <= toYear; d = d.addDays(1)) {
        CalendarDay r;
        r.date = d;
        r.id = d.year() * 10000 + d.month() * 100 + d.day();
        r.calYear = d.year();
        r.calMonth = d.month();
        r.calDay = d.day();
        r.weekDay = d.dayOfWeek() % 7 + 1;
        r.day = QLatin1String(kWeekdays[d.dayOfWeek() % 7]);

        // The liturgical year starts with Advent and is named after the year it ends in.
        const int endYear = d >= FirstSundayOfAdvent(d.year()) ? d.year() + 1 : d.year();
        static const char *const kCycle[] = {"C", "A", "B"};
        r.year = QLatin1String(kCycle[endYear % 3]);
        r.yearDC = endYear % 2 == 1 ? QStringLiteral("1") : QStringLiteral("2");

        const Position p = locate(d);
        r.season = QLatin1String(p.season->name);
        r.seasonWeek = p.week;
        r.dayColor = p.season->color;
        const bool sunday = d.dayOfWeek() == Qt::Sunday;
        if (sunday) {
            r.fullName = p.sundayFull;
            r.shortName = p.anchorShort;
        } else if (p.season == &kHolyWeek) {
            r.fullName = r.day + QStringLiteral(" of Holy Week");
            r.shortName = QStringLiteral("Holy Week, ") + r.day.left(3);
        } else {
            r.fullName = r.day + QStringLiteral(" after ") + p.anchorFull;
            r.shortName = p.anchorShort + QStringLiteral(", ") + r.day.left(3);
        }
        r.feastRef = feastOf(d);
        if (r.feastRef != Feast::None) {
            const FeastText &f = kFeasts[r.feastRef];
            r.fullName = QLatin1String(f.fullName);
            r.shortName = QLatin1String(f.shortName);
            r.dayColor = f.color;
        }
        rows << r;
    }
    return rows;
}

QStringList CalendarColumns()
{
    return {QStringLiteral("ID"), QStringLiteral("CalYear"), QStringLiteral("CalMonth"), QStringLiteral("CalDay"),
            QStringLiteral("WeekDay"), QStringLiteral("Date"), QStringLiteral("Day"), QStringLiteral("FullName"),
            QStringLiteral("ShortName"), QStringLiteral("Day_Color"), QStringLiteral("FeastRef"), QStringLiteral("Year"),
            QStringLiteral("YearDC"), QStringLiteral("SeasonWeek"), QStringLiteral("Season")};
}

QByteArray CalendarCsv(const QList<CalendarDay> &rows)
{
    QString out = CalendarColumns().join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const CalendarDay &r : rows) {
        QStringList fields;
        for (const QString &v : rowValues(r))
            fields << csvField(v);
        out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray CalendarSql(const QList<CalendarDay> &rows)
{
    QString out = QStringLiteral("-- The rows of tblCalenderData, generated by the calendar generator; do not edit.\n"
                                 "SET search_path = dbo;\nGO\n");
    for (qsizetype start = 0; start < rows.size(); start += kRowsPerInsert) {
        out += QStringLiteral("INSERT INTO tblCalenderData VALUES\n");
        const qsizetype end = std::min(rows.size(), start + kRowsPerInsert);
        for (qsizetype i = start; i < end; ++i) {
            const CalendarDay &r = rows[i];
            const QStringList v = rowValues(r);
            QStringList pieces;
            for (int col = 0; col < v.size(); ++col) {
                const bool text = col == 5 || col == 6 || col == 7 || col == 8 || col == 11 || col == 12 || col == 14;
                pieces << (text ? sqlText(v[col]) : v[col]);
            }
            out += QStringLiteral("    (") + pieces.join(QStringLiteral(", ")) + (i + 1 < end ? QStringLiteral("),\n")
                                                                                          : QStringLiteral(");\n"));
        }
        out += QStringLiteral("GO\n");
    }
    return out.toUtf8();
}

} // namespace kestrova::calendar
