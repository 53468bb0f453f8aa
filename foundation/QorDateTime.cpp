#include "foundation/QorDateTime.h"

#include <cmath>
#include <stdexcept>

namespace {

constexpr qint64 kMsPerDay = 86400000;
const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

bool InRange(const QDate &date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

int Digits(QStringView text, qsizetype from, qsizetype count, bool &ok)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || !text[i].isDigit() || text[i].unicode() > '9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (text[i].unicode() - '0');
    }
    return value;
}

} // namespace

QDateTime WallClock(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime AsWallClock(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    return value.timeSpec() == Qt::UTC ? value : WallClock(value.date(), value.time());
}

QDateTime WallClockNow()
{
    return AsWallClock(QDateTime::currentDateTime());
}

QDateTime WallClockFromIso(QStringView text)
{
    text = text.trimmed();
    bool ok = true;
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    const QDate date(Digits(text, 0, 4, ok), Digits(text, 5, 2, ok), Digits(text, 8, 2, ok));
    if (!ok || !date.isValid())
        return {};
    if (text.size() == 10)
        return WallClock(date);
    if ((text[10] != u' ' && text[10] != u'T') || text.size() < 16 || text[13] != u':')
        return {};
    const int hour = Digits(text, 11, 2, ok);
    const int minute = Digits(text, 14, 2, ok);
    int second = 0;
    int ms = 0;
    qsizetype pos = 16;
    if (pos < text.size() && text[pos] == u':') {
        second = Digits(text, pos + 1, 2, ok);
        pos += 3;
        if (pos < text.size() && text[pos] == u'.') {
            ++pos;
            int scale = 100;
            for (; pos < text.size() && text[pos].isDigit() && text[pos].unicode() <= '9'; ++pos, scale /= 10)
                ms += scale * (text[pos].unicode() - '0');
        }
    }
    // Whatever zone a text names, its fields are the time as written.
    const QStringView rest = text.sliced(pos);
    if (!rest.isEmpty() && rest != u"Z" && rest[0] != u'+' && rest[0] != u'-')
        return {};
    const QTime time(hour, minute, second, ms);
    if (!ok || !time.isValid())
        return {};
    return WallClock(date, time);
}

bool IsDateTimeInRange(const QDateTime &value)
{
    return value.isValid() && InRange(value.date());
}

double DateTimeToOle(const QDateTime &value)
{
    if (!value.isValid())
        return 0.0;
    if (!InRange(value.date()))
        throw std::out_of_range("The date-time " + value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString() +
                                " lies outside the years 1 to 9999");
    const qint64 days = value.date().toJulianDay() - kEpochJulianDay;
    const double fraction = double(value.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    // Before the epoch the whole part counts days back while the fraction still counts forward.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QDateTime OleToDateTime(double value)
{
    if (!std::isfinite(value) || value < -693594.0 || value > 2958466.0)
        return {};
    double whole = std::trunc(value);
    qint64 ms = std::llround(std::fabs(value - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        whole += value >= 0 ? 1 : -1;
    }
    const QDate date = QDate::fromJulianDay(kEpochJulianDay + qint64(whole));
    // Rounding may carry past the last day: 9999-12-31 23:59:59.9999 is no year 10000.
    if (!InRange(date))
        return {};
    return WallClock(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}
