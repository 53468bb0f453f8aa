// DateTime as it travels on the wire and in dataset streams: local wall-clock time without
// zone, as a double of days since 1899-12-30 whose fraction is the time of day. Converted by
// calendar arithmetic (never through epoch seconds, so no zone or DST shift can creep in) and
// rounded to the millisecond when read.
#pragma once

#include "foundation/FoundationExport.h"

#include <QDateTime>

// An invalid date-time gives 0 (1899-12-30 00:00).
FOUNDATION_EXPORT double DateTimeToOle(const QDateTime &value);
// Values outside the years 1 to 9999 or not finite give an invalid QDateTime.
FOUNDATION_EXPORT QDateTime OleToDateTime(double value);
