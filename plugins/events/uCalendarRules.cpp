#include "plugins/events/uCalendarRules.h"

#include "plugins/events/uEventsCommon.h"

#include "dataaccess/TDACDSDataTable.h"

#include <QLocale>

#include <algorithm>
#include <cstdlib>

namespace CalendarLogic {

QPair<QDateTime, QDateTime> HalfHourOf(const QDateTime &time)
{
    const QTime t = time.time();
    const QDateTime from(time.date(), QTime(t.hour(), t.minute() >= 30 ? 30 : 0));
    return {from, from.addSecs(30 * 60)};
}

namespace {
QDate MondayOf(const QDate &d)
{
    return d.addDays(1 - d.dayOfWeek());
}
} // namespace

TCalendarPeriod PeriodOf(TCalendarViewKind view, const QDate &date)
{
    switch (view) {
    case TCalendarViewKind::Day:
        return {date, date};
    case TCalendarViewKind::Week:
    case TCalendarViewKind::TimeGrid:
        return {MondayOf(date), MondayOf(date).addDays(6)};
    case TCalendarViewKind::Month: {
        const QDate first = MondayOf(QDate(date.year(), date.month(), 1));
        return {first, first.addDays(6 * 7 - 1)};
    }
    case TCalendarViewKind::Year:
        return {QDate(date.year(), 1, 1), QDate(date.year(), 12, 31)};
    }
    return {date, date};
}

QList<QDate> DaysBetween(const QDate &anchor, const QDate &to)
{
    if (!anchor.isValid())
        return {};
    const QDate target = to.isValid() ? to : anchor;
    const int step = target < anchor ? -1 : 1;
    const qint64 span = std::min<qint64>(std::abs(anchor.daysTo(target)), kMaxChosenDays - 1);
    QList<QDate> days;
    for (qint64 i = 0; i <= span; ++i)
        days << anchor.addDays(i * step);
    std::sort(days.begin(), days.end());
    return days;
}

QList<QDate> ToggledDay(const QList<QDate> &days, const QDate &day)
{
    QList<QDate> result = days;
    if (result.contains(day)) {
        if (result.size() > 1)
            result.removeAll(day);
    } else if (day.isValid() && result.size() < kMaxChosenDays) {
        result << day;
    }
    std::sort(result.begin(), result.end());
    return result;
}

QList<QDate> StepDays(const QList<QDate> &days, int steps)
{
    if (days.isEmpty())
        return days;
    const qint64 span = days.first().daysTo(days.last()) + 1;
    QList<QDate> moved;
    for (const QDate &d : days)
        moved << d.addDays(span * steps);
    return moved;
}

QString WeekdayLetter(const QLocale &locale, int day)
{
    const QString narrow = locale.dayName(day, QLocale::NarrowFormat);
    bool number = false;
    narrow.toInt(&number);
    if (!narrow.isEmpty() && !number)
        return narrow;
    const QString brief = locale.dayName(day, QLocale::ShortFormat);
    brief.toInt(&number);
    if (!brief.isEmpty() && !number)
        return brief.left(1);
    // A locale without names: the C locale's, which are English.
    return QLocale::c().dayName(day, QLocale::ShortFormat).left(1);
}

QDate StepPeriod(TCalendarViewKind view, const QDate &date, int steps)
{
    switch (view) {
    case TCalendarViewKind::Day:
        return date.addDays(steps);
    case TCalendarViewKind::Week:
    case TCalendarViewKind::TimeGrid:
        return date.addDays(7 * steps);
    case TCalendarViewKind::Month:
        return QDate(date.year(), date.month(), 1).addMonths(steps);
    case TCalendarViewKind::Year:
        return date.addYears(steps);
    }
    return date;
}

QString LongHeader(const QDate &date, const QString &fullName)
{
    return QLocale().toString(date, QLocale::LongFormat) + QStringLiteral(" - ") + fullName;
}

QString ShortHeader(const QDate &date, const QString &shortName)
{
    return QLocale().toString(date, QLocale::ShortFormat) + QStringLiteral(" - ") + shortName;
}

QString DayHeaderText(const QDate &date, const TFeast &feast, int width, const std::function<int(const QString &)> &textWidth,
                      const QString &ownText)
{
    if (!feast.Found)
        return QLocale().toString(date, QLocale::ShortFormat);
    const QString full = LongHeader(date, feast.FullName);
    if (width >= textWidth(full))
        return full;
    const QString brief = ShortHeader(date, feast.ShortName);
    if (width >= textWidth(brief))
        return brief;
    return ownText;
}

QColor SeasonColor(int month)
{
    if (month >= 3 && month <= 5)
        return QColor(208, 255, 208);
    if (month >= 6 && month <= 8)
        return QColor(255, 208, 208);
    if (month >= 9 && month <= 11)
        return QColor(255, 255, 208);
    return QColor(231, 231, 255);
}

QColor Blend(const QColor &a, const QColor &b, int percentOfA)
{
    auto mix = [percentOfA](int x, int y) { return (x * percentOfA + y * (100 - percentOfA) + 50) / 100; };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor WatermarkColor(int month)
{
    return Blend(SeasonColor(month), Qt::black, 85);
}

QList<int> FlagImages(int flags)
{
    QList<int> images;
    if (flags & 1)
        images << 0;
    if (flags & 2)
        images << 1;
    return images;
}

QList<QRect> FlagImageRects(const QRect &bounds, int flags, const QSize &imageSize)
{
    QList<QRect> rects;
    int right = bounds.right() + 1 - 2;
    for (int i = 0; i < FlagImages(flags).size(); ++i) {
        right -= imageSize.width();
        rects << QRect(QPoint(right, bounds.top() + 2), imageSize);
    }
    return rects;
}

QColor FromStoredColor(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int TimeIntervalFrom(const QString &text)
{
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok);
    return ok && (minutes == 15 || minutes == 30 || minutes == 45 || minutes == 60) ? minutes : 30;
}

namespace {
QTime ReadTime(const QString &text, const QTime &fallback)
{
    for (const QString &format : {QStringLiteral("HH:mm"), QStringLiteral("H:mm"), QStringLiteral("HH:mm:ss")}) {
        const QTime t = QTime::fromString(text.trimmed(), format);
        if (t.isValid())
            return t;
    }
    const QTime t = QLocale().toTime(text.trimmed(), QLocale::ShortFormat);
    return t.isValid() ? t : fallback;
}
} // namespace

void ReadSettings(TvoEventSettings &settings, const std::function<QString(const QString &, const QString &)> &get)
{
    settings.WorkdayStart = ReadTime(get(QStringLiteral("WorkhourStart"), QStringLiteral("08:00")), settings.WorkdayStart);
    settings.WorkdayEnd = ReadTime(get(QStringLiteral("WorkhourEnd"), QStringLiteral("16:00")), settings.WorkdayEnd);
    const QString flag = get(QStringLiteral("ShowMonthNumber"), QStringLiteral("1")).trimmed();
    if (flag == QStringLiteral("0") || flag.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        settings.ShowMonthNumber = false;
    else if (!flag.isEmpty())
        settings.ShowMonthNumber = true;
    bool ok = false;
    const int minutes = get(QStringLiteral("StandardDuration"), QStringLiteral("60")).trimmed().toInt(&ok);
    if (ok && minutes > 0)
        settings.StandardDuration = minutes;
}

void WriteSettings(const TvoEventSettings &settings, const std::function<void(const QString &, const QString &)> &set)
{
    set(QStringLiteral("WorkhourStart"), settings.WorkdayStart.toString(QStringLiteral("HH:mm")));
    set(QStringLiteral("WorkhourEnd"), settings.WorkdayEnd.toString(QStringLiteral("HH:mm")));
    set(QStringLiteral("ShowMonthNumber"), settings.ShowMonthNumber ? QStringLiteral("-1") : QStringLiteral("0"));
    set(QStringLiteral("StandardDuration"), QString::number(settings.StandardDuration));
}

QString ToggledComplete(const QString &current, const QString &computed)
{
    return current.compare(EventColor::Complete, Qt::CaseInsensitive) == 0 ? computed : EventColor::Complete;
}

QList<TCalendarEvent> EventsOf(const TDACDSDataTable &table, const TCalendarPeriod &period, int standardMinutes)
{
    QList<TCalendarEvent> events;
    if (!table.GetActive())
        return events;
    const int id = table.FieldIndex(QStringLiteral("PK_EventID"));
    const int subject = table.FieldIndex(QStringLiteral("EventSubject"));
    const int location = table.FieldIndex(QStringLiteral("EventLocationCaption"));
    const int start = table.FieldIndex(QStringLiteral("StartDateTime"));
    const int finish = table.FieldIndex(QStringLiteral("EndDateTime"));
    const int colour = table.FieldIndex(QStringLiteral("EventLabelColor"));
    const int colourId = table.FieldIndex(QStringLiteral("EventLabelColorID"));
    const int flag = table.FieldIndex(QStringLiteral("FlagEvent"));
    for (int row = 0; row < table.GetRecordCount(); ++row) {
        const QDateTime from = table.ValueAt(row, start).toDateTime();
        if (!from.isValid() || !period.Contains(from.date()))
            continue;
        TCalendarEvent e;
        e.ID = table.ValueAt(row, id).toString();
        e.Caption = table.ValueAt(row, subject).toString();
        e.Location = table.ValueAt(row, location).toString();
        e.Start = from;
        e.Finish = table.ValueAt(row, finish).toDateTime();
        if (!e.Finish.isValid() || e.Finish <= e.Start)
            e.Finish = from.addSecs(qint64(std::max(standardMinutes, 5)) * 60);
        const QVariant c = table.ValueAt(row, colour);
        e.Label = c.isNull() ? QColor(Qt::white) : FromStoredColor(c.toInt());
        e.LabelID = table.ValueAt(row, colourId).toString();
        e.Flags = table.ValueAt(row, flag).toInt();
        events << e;
    }
    std::stable_sort(events.begin(), events.end(), [](const TCalendarEvent &a, const TCalendarEvent &b) { return a.Start < b.Start; });
    return events;
}

QList<TLane> Lanes(const QList<TCalendarEvent> &events)
{
    // Events by start; a group runs while some event of it still lasts.
    QList<int> order(events.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return events[a].Start < events[b].Start; });
    QList<TLane> lanes(events.size());
    QList<QDateTime> columnEnds;
    QList<int> group;
    QDateTime groupEnd;
    auto closeGroup = [&] {
        for (int i : group)
            lanes[i].Columns = int(columnEnds.size());
        group.clear();
        columnEnds.clear();
    };
    for (int i : order) {
        const TCalendarEvent &e = events[i];
        if (!group.isEmpty() && e.Start >= groupEnd)
            closeGroup();
        int column = 0;
        while (column < columnEnds.size() && columnEnds[column] > e.Start)
            ++column;
        if (column == columnEnds.size())
            columnEnds << e.Finish;
        else
            columnEnds[column] = e.Finish;
        lanes[i].Column = column;
        group << i;
        groupEnd = group.size() == 1 ? e.Finish : std::max(groupEnd, e.Finish);
    }
    closeGroup();
    return lanes;
}

} // namespace CalendarLogic
