// DateTime as the system keeps it: a local wall-clock time without zone. In memory it is a
// QDateTime whose time kind is Qt::UTC, used as a plain calendar value (a zone-less time has
// no daylight-saving gap or overlap, so 02:30 on a spring-forward day stays 02:30); never a
// Qt::LocalTime value, whose gaps and zone look-ups would corrupt or slow it. On the wire and
// in dataset streams it is a double of days since 1899-12-30 whose fraction is the time of
// day, converted by calendar arithmetic and rounded to the millisecond when read. Only the
// years 1 to 9999 are accepted.
#pragma once

#include "foundation/FoundationExport.h"

#include <QDate>
#include <QDateTime>
#include <QStringView>
#include <QTime>

// The wall-clock time of that date and time of day.
FOUNDATION_EXPORT QDateTime WallClock(const QDate &date, const QTime &time = QTime(0, 0));
// The same calendar date and time of day, whatever the value's own time kind.
FOUNDATION_EXPORT QDateTime AsWallClock(const QDateTime &value);
// The computer's local date and time now.
FOUNDATION_EXPORT QDateTime WallClockNow();
// An ISO text "yyyy-MM-dd", "yyyy-MM-dd hh:mm[:ss[.fff...]]" (or with "T"), read as written;
// digits beyond the millisecond are dropped and a trailing zone offset ("Z", "+02", "-03:30")
// is ignored. Invalid for anything else.
FOUNDATION_EXPORT QDateTime WallClockFromIso(QStringView text);

// True for a valid value of the years 1 to 9999.
FOUNDATION_EXPORT bool IsDateTimeInRange(const QDateTime &value);

// An invalid date-time gives 0 (1899-12-30 00:00). Throws std::out_of_range for a valid value
// outside the years 1 to 9999.
FOUNDATION_EXPORT double DateTimeToOle(const QDateTime &value);
// A wall-clock value; invalid for values that are not finite or lie outside the years 1 to 9999.
FOUNDATION_EXPORT QDateTime OleToDateTime(double value);
