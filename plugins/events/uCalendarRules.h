// What the calendar decides without a window: the periods its views show, the half hour a
// new liturgy starts in, which day-header text fits, the season colours of the month
// watermark, the flag pictures of an event, the reading and writing of its settings, the
// events of the list as the views paint them, the days chosen in the navigator and the weekday
// letters of its header.
#pragma once

#include "plugins/events/uEventSettings.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QRect>
#include <QString>

#include <functional>

class TDACDSDataTable;

// One event as the views show it.
struct TCalendarEvent
{
    QString ID;
    QString Caption;
    QString Location;
    QDateTime Start;
    QDateTime Finish;
    QColor Label;
    QString LabelID;
    int Flags = 0;
};

enum class TCalendarViewKind { Day, Week, Month, Year, TimeGrid };

struct TCalendarPeriod
{
    QDate First;
    QDate Last; // inclusive
    bool Contains(const QDate &d) const { return d >= First && d <= Last; }
};

namespace CalendarLogic {

// The half hour the time lies in: from the full or half hour (minutes 30-59 give :30) to 30
// minutes later.
QPair<QDateTime, QDateTime> HalfHourOf(const QDateTime &time);

// The days a view shows around the date: the day; the week from Monday; six weeks from the
// Monday on or before the first of the month; the calendar year; the week for the time grid.
TCalendarPeriod PeriodOf(TCalendarViewKind view, const QDate &date);
// The most days the date navigator chooses at once; the day view shows them side by side.
constexpr int kMaxChosenDays = 14;
// The days a drag in the navigator chooses: from the anchor to the day under the mouse, in
// order, at most kMaxChosenDays of them counted from the anchor.
QList<QDate> DaysBetween(const QDate &anchor, const QDate &to);
// A control-click: the day joins the chosen days or leaves them (the last one stays); in order,
// and a day beyond kMaxChosenDays is not taken.
QList<QDate> ToggledDay(const QList<QDate> &days, const QDate &day);
// The day one or more periods on of several chosen days: each moves by the span they cover.
QList<QDate> StepDays(const QList<QDate> &days, int steps);
// The weekday's letter for narrow headers (1 Monday ... 7 Sunday): the locale's narrow name, or
// the first letter of its short name where the locale's narrow names are numbers.
QString WeekdayLetter(const QLocale &locale, int day);
// The date one period on (steps > 0) or back.
QDate StepPeriod(TCalendarViewKind view, const QDate &date, int steps);

// A day header: the long text when the width holds it, else the short text when that fits,
// else the control's own text. Without an entry in the calendar of feasts the plain date.
struct TFeast
{
    bool Found = false;
    QString FullName;
    QString ShortName;
};
QString DayHeaderText(const QDate &date, const TFeast &feast, int width, const std::function<int(const QString &)> &textWidth,
                      const QString &ownText);
QString LongHeader(const QDate &date, const QString &fullName);
QString ShortHeader(const QDate &date, const QString &shortName);

// The light colour of the month's season, and the watermark's: 85 % of it and 15 % black.
QColor SeasonColor(int month);
QColor WatermarkColor(int month);
QColor Blend(const QColor &a, const QColor &b, int percentOfA);

// The pictures of the event flag from the right edge leftwards: bit 0 picture 0, bit 1 picture 1.
QList<int> FlagImages(int flags);
// Where they go in an event's bounds: from 2 pixels inside the right edge, 2 pixels below the top.
QList<QRect> FlagImageRects(const QRect &bounds, int flags, const QSize &imageSize);

// A colour value as the database keeps it (0x00BBGGRR).
QColor FromStoredColor(int value);

// The day view's time scale as stored: 15, 30, 45 or 60; anything else 30.
int TimeIntervalFrom(const QString &text);

// The settings under their keys; times as "HH:mm" (read also as the locale's), the Boolean as
// "-1" or "0", integers as decimal text. Unreadable values keep the defaults.
void ReadSettings(TvoEventSettings &settings, const std::function<QString(const QString &, const QString &)> &get);
void WriteSettings(const TvoEventSettings &settings, const std::function<void(const QString &, const QString &)> &set);

// What "complete" leaves: the computed colour when it is complete, else the complete id.
QString ToggledComplete(const QString &current, const QString &computed);

// The events of the list (its current filter) that start on the period's days, by start. A
// missing finish is the start plus the standard duration.
QList<TCalendarEvent> EventsOf(const TDACDSDataTable &table, const TCalendarPeriod &period, int standardMinutes);

// Side-by-side columns of overlapping events of one day: for each event its column and the
// column count of its overlapping group.
struct TLane
{
    int Column = 0;
    int Columns = 1;
};
QList<TLane> Lanes(const QList<TCalendarEvent> &events);

} // namespace CalendarLogic
