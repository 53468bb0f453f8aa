#include "foundation/QorDateTime.h"

#include <cmath>

namespace {

constexpr qint64 kMsPerDay = 86400000;
const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

} // namespace

double DateTimeToOle(const QDateTime &value)
{
    if (!value.isValid())
        return 0.0;
    const qint64 days = value.date().toJulianDay() - kEpochJulianDay;
    const double fraction = double(value.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    // Before the epoch the whole part counts days back while the fraction still counts forward.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

QDateTime OleToDateTime(double value)
{
    if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0)
        return {};
    double whole = std::trunc(value);
    qint64 ms = std::llround(std::fabs(value - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        whole += value >= 0 ? 1 : -1;
    }
    const QDate date = QDate::fromJulianDay(kEpochJulianDay + qint64(whole));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::LocalTime);
}
