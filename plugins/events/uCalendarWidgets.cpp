#include "plugins/events/uCalendarWidgets.h"

#include <QContextMenuEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>

using namespace CalendarLogic;

namespace {

constexpr int kRuler = 56;
const QColor kGridLine(0xD5, 0xD9, 0xE0);
const QColor kHourLine(0xB0, 0xB8, 0xC4);
const QColor kOffHours(0xF3, 0xF4, 0xF6);
const QColor kHeader(0xE4, 0xEA, 0xF2);
const QColor kToday(0xFF, 0xF4, 0xCC);
const QColor kSelection(0xC8, 0xDC, 0xF5);

// The weekdays' letters, Monday first: asked of the locale once per paint, not per month.
std::array<QString, 7> WeekdayLetters()
{
    const QLocale locale;
    std::array<QString, 7> letters;
    for (int day = 1; day <= 7; ++day)
        letters[day - 1] = WeekdayLetter(locale, day);
    return letters;
}

int MinuteOfDay(const QDateTime &t, const QDate &day)
{
    if (t.date() < day)
        return 0;
    if (t.date() > day)
        return 24 * 60;
    return t.time().hour() * 60 + t.time().minute();
}

} // namespace

TCalendarControl::TCalendarControl(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
    setMouseTracking(false);
}

void TCalendarControl::SetView(TCalendarViewKind view)
{
    if (view == m_view)
        return;
    m_view = view;
    m_days.clear();
    update();
    emit PeriodChanged();
}

void TCalendarControl::SetDate(const QDate &date)
{
    if (!date.isValid() || (date == m_date && m_days.isEmpty()))
        return;
    const TCalendarPeriod before = Period();
    const bool hadDays = !m_days.isEmpty();
    m_days.clear();
    m_date = date;
    update();
    if (hadDays || Period().First != before.First || Period().Last != before.Last)
        emit PeriodChanged();
}

TCalendarPeriod TCalendarControl::Period() const
{
    if (m_view == TCalendarViewKind::Day && !m_days.isEmpty())
        return {m_days.first(), m_days.last()};
    return CalendarLogic::PeriodOf(m_view, m_date);
}

void TCalendarControl::SetDays(QList<QDate> days)
{
    days.removeIf([](const QDate &d) { return !d.isValid(); });
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    if (days.size() > kMaxChosenDays)
        days.resize(kMaxChosenDays);
    if (days.size() <= 1) {
        if (!days.isEmpty())
            SetDate(days.first());
        return;
    }
    m_view = TCalendarViewKind::Day;
    m_days = days;
    m_date = days.first();
    update();
    emit PeriodChanged();
}

QList<QDate> TCalendarControl::Days() const
{
    if (m_view == TCalendarViewKind::Day)
        return m_days.isEmpty() ? QList<QDate>{m_date} : m_days;
    QList<QDate> days;
    const TCalendarPeriod period = Period();
    for (QDate d = period.First; d <= period.Last; d = d.addDays(1))
        days << d;
    return days;
}

int TCalendarControl::DayCount() const
{
    if (m_view == TCalendarViewKind::Day)
        return m_days.isEmpty() ? 1 : int(m_days.size());
    const TCalendarPeriod period = Period();
    return int(period.First.daysTo(period.Last)) + 1;
}

void TCalendarControl::Step(int steps)
{
    if (m_view == TCalendarViewKind::Day && !m_days.isEmpty())
        SetDays(StepDays(m_days, steps));
    else
        SetDate(StepPeriod(m_view, m_date, steps));
}

void TCalendarControl::SetEvents(QList<TCalendarEvent> events)
{
    m_events = std::move(events);
    QStringList kept;
    for (const QString &id : m_selected)
        if (std::any_of(m_events.begin(), m_events.end(), [&](const TCalendarEvent &e) { return e.ID == id; }))
            kept << id;
    const bool changed = kept != m_selected;
    m_selected = kept;
    update();
    if (changed)
        emit SelectionChanged();
}

void TCalendarControl::RemoveEvents(const QStringList &ids)
{
    QList<TCalendarEvent> left;
    for (const TCalendarEvent &e : m_events)
        if (!ids.contains(e.ID))
            left << e;
    SetEvents(left);
}

void TCalendarControl::SetTimeInterval(int minutes)
{
    m_interval = minutes > 0 ? minutes : 30;
    update();
}

void TCalendarControl::SetWorkingHours(const QTime &start, const QTime &finish)
{
    if (start.isValid())
        m_workStart = start;
    if (finish.isValid())
        m_workFinish = finish;
    update();
}

void TCalendarControl::SelectTime(const QDateTime &start, const QDateTime &finish)
{
    m_selStart = start;
    m_selFinish = finish;
    update();
    emit SelectionChanged();
}

void TCalendarControl::SelectEvents(const QStringList &ids)
{
    m_selected = ids;
    update();
    emit SelectionChanged();
}

void TCalendarControl::ClearEventSelection()
{
    if (m_selected.isEmpty())
        return;
    SelectEvents({});
}

QRect TCalendarControl::EventRect(const QString &id) const
{
    for (const auto &[rect, eventId] : m_hits)
        if (eventId == id)
            return rect;
    return {};
}

QString TCalendarControl::EventAt(const QPoint &point) const
{
    // Painted last is on top.
    for (auto it = m_hits.crbegin(); it != m_hits.crend(); ++it)
        if (it->first.contains(point))
            return it->second;
    return {};
}

int TCalendarControl::SlotMinutes() const
{
    return m_interval;
}

TCalendarControl::TGridLayout TCalendarControl::TimeLayout() const
{
    TGridLayout g;
    const int header = fontMetrics().height() + 12;
    // The working day, widened to every event shown, with an hour either side.
    int first = m_workStart.hour() * 60;
    int last = m_workFinish.hour() * 60 + (m_workFinish.minute() > 0 ? 60 : 0);
    if (last <= first)
        last = first + 8 * 60;
    for (const TCalendarEvent &e : m_events) {
        first = std::min(first, e.Start.time().hour() * 60);
        const int end = e.Finish.date() > e.Start.date() ? 24 * 60 : e.Finish.time().hour() * 60 + (e.Finish.time().minute() ? 60 : 0);
        last = std::max(last, end);
    }
    first = std::max(0, first - 60);
    last = std::min(24 * 60, last + 60);
    g.FirstMinute = first - first % SlotMinutes();
    g.LastMinute = last;
    g.Rows = std::max(1, (g.LastMinute - g.FirstMinute + SlotMinutes() - 1) / SlotMinutes());
    g.LastMinute = g.FirstMinute + g.Rows * SlotMinutes();
    g.Days = m_view == TCalendarViewKind::Day ? DayCount() : 7;
    if (m_view == TCalendarViewKind::TimeGrid)
        g.Area = QRect(170, header, width() - 170, height() - header);
    else
        g.Area = QRect(kRuler, header, width() - kRuler, height() - header);
    return g;
}

QRect TCalendarControl::MonthCell(int index) const
{
    const int header = fontMetrics().height() + 8;
    const int w = width() / 7;
    const int h = (height() - header) / 6;
    const int col = index % 7;
    const int row = index / 7;
    const int right = col == 6 ? width() : (col + 1) * w;
    const int bottom = row == 5 ? height() : header + (row + 1) * h;
    return QRect(QPoint(col * w, header + row * h), QPoint(right - 1, bottom - 1));
}

QDateTime TCalendarControl::TimeAt(const QPoint &point) const
{
    switch (m_view) {
    case TCalendarViewKind::Day:
    case TCalendarViewKind::Week: {
        const TGridLayout g = TimeLayout();
        if (!g.Area.contains(point))
            return {};
        const int day = (point.x() - g.Area.left()) * g.Days / std::max(1, g.Area.width());
        const int row = (point.y() - g.Area.top()) * g.Rows / std::max(1, g.Area.height());
        return QDateTime(Days().value(day), QTime(0, 0)).addSecs(qint64(g.FirstMinute + row * SlotMinutes()) * 60);
    }
    case TCalendarViewKind::TimeGrid: {
        const TGridLayout g = TimeLayout();
        if (!g.Area.contains(point))
            return {};
        const int day = (point.y() - g.Area.top()) * 7 / std::max(1, g.Area.height());
        const int minutes = g.LastMinute - g.FirstMinute;
        int minute = g.FirstMinute + (point.x() - g.Area.left()) * minutes / std::max(1, g.Area.width());
        minute -= minute % SlotMinutes();
        return QDateTime(Period().First.addDays(day), QTime(0, 0)).addSecs(qint64(minute) * 60);
    }
    case TCalendarViewKind::Month:
        for (int i = 0; i < 42; ++i)
            if (MonthCell(i).contains(point))
                return QDateTime(Period().First.addDays(i), QTime(0, 0));
        return {};
    case TCalendarViewKind::Year: {
        const int cols = 4;
        const int w = width() / cols;
        const int h = height() / 3;
        const int month = (point.y() / std::max(1, h)) * cols + point.x() / std::max(1, w);
        if (month < 0 || month > 11)
            return {};
        const QRect box(month % cols * w, month / cols * h, w, h);
        const int title = fontMetrics().height() + 6;
        const QRect days = box.adjusted(6, title + fontMetrics().height() + 2, -6, -4);
        if (!days.contains(point))
            return {};
        const QDate first(m_date.year(), month + 1, 1);
        const int cell = (point.y() - days.top()) * 6 / std::max(1, days.height()) * 7 + (point.x() - days.left()) * 7 / std::max(1, days.width());
        const QDate d = first.addDays(cell - (first.dayOfWeek() - 1));
        return d.month() == first.month() ? QDateTime(d, QTime(0, 0)) : QDateTime();
    }
    }
    return {};
}

void TCalendarControl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    m_hits.clear();
    switch (m_view) {
    case TCalendarViewKind::Day:
    case TCalendarViewKind::Week:
        PaintTimeGrid(p);
        break;
    case TCalendarViewKind::TimeGrid:
        PaintTimeLine(p);
        break;
    case TCalendarViewKind::Month:
        PaintMonth(p);
        break;
    case TCalendarViewKind::Year:
        PaintYear(p);
        break;
    }
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TCalendarControl::PaintDayHeader(QPainter &p, const QDate &date, const QRect &rect)
{
    p.fillRect(rect, date == QDate::currentDate() ? kToday : kHeader);
    p.setPen(kHourLine);
    p.drawRect(rect.adjusted(0, 0, -1, -1));
    const QRect text = rect.adjusted(4, 0, -4, 0);
    const QString own = QLocale().toString(date, QStringLiteral("ddd d MMM"));
    const QString shown = m_headerText ? m_headerText(date, text.width(), p.fontMetrics(), own) : own;
    p.setPen(Qt::black);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, p.fontMetrics().elidedText(shown, Qt::ElideRight, text.width()));
}

void TCalendarControl::PaintEvent(QPainter &p, const TCalendarEvent &e, const QRect &bounds, bool compact)
{
    if (bounds.width() < 4 || bounds.height() < 4)
        return;
    p.save();
    p.setClipRect(bounds);
    // The label colour as the body, a deeper band of it on the left, a black frame, the
    // caption top-left: the assignment state reads at a glance even in the month view.
    p.fillRect(bounds, e.Label.isValid() ? e.Label : QColor(Qt::white));
    const int band = compact ? 5 : 7;
    p.fillRect(QRect(bounds.left(), bounds.top(), band, bounds.height()), (e.Label.isValid() ? e.Label : QColor(Qt::white)).darker(135));
    const bool selected = m_selected.contains(e.ID);
    p.setPen(QPen(selected ? palette().highlight().color() : QColor(Qt::black), selected ? 2 : 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(selected ? bounds.adjusted(1, 1, -1, -1) : bounds.adjusted(0, 0, -1, -1));
    const QList<QRect> flags = FlagImageRects(bounds, e.Flags, m_flagImages.isEmpty() ? QSize(12, 12) : m_flagImages.first().size());
    const QList<int> images = FlagImages(e.Flags);
    int textRight = bounds.right() - 3;
    for (int i = 0; i < flags.size(); ++i) {
        if (images[i] < m_flagImages.size())
            p.drawPixmap(flags[i].topLeft(), m_flagImages[images[i]]);
        textRight = flags[i].left() - 2;
    }
    p.setPen(Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    const QString time = QLocale().toString(e.Start.time(), QStringLiteral("HH:mm"));
    const QRect text(QPoint(bounds.left() + band + 3, bounds.top() + 1), QPoint(textRight, bounds.bottom() - 1));
    if (compact || text.height() < 2 * fm.height()) {
        QString line = time + QLatin1Char(' ') + e.Caption;
        if (!compact && !e.Location.isEmpty())
            line += QStringLiteral(" (") + e.Location + QLatin1Char(')');
        p.drawText(text, Qt::AlignLeft | Qt::AlignTop, fm.elidedText(line, Qt::ElideRight, text.width()));
    } else {
        QFont bold = p.font();
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(text, Qt::AlignLeft | Qt::AlignTop, QFontMetrics(bold).elidedText(e.Caption, Qt::ElideRight, text.width()));
        p.setFont(font());
        QString second = time + QStringLiteral(" - ") + QLocale().toString(e.Finish.time(), QStringLiteral("HH:mm"));
        if (!e.Location.isEmpty())
            second += QStringLiteral("  ") + e.Location;
        p.drawText(text.adjusted(0, fm.height(), 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, second);
    }
    p.restore();
    m_hits << qMakePair(bounds, e.ID);
}

void TCalendarControl::PaintTimeGrid(QPainter &p)
{
    const TGridLayout g = TimeLayout();
    const QList<QDate> columns = Days();
    const QFontMetrics fm = p.fontMetrics();
    auto x = [&](int day) { return g.Area.left() + day * g.Area.width() / g.Days; };
    auto y = [&](int minute) { return g.Area.top() + (minute - g.FirstMinute) * g.Area.height() / std::max(1, g.LastMinute - g.FirstMinute); };
    const int workFrom = m_workStart.hour() * 60 + m_workStart.minute();
    const int workTo = m_workFinish.hour() * 60 + m_workFinish.minute();
    for (int day = 0; day < g.Days; ++day) {
        const QDate date = columns[day];
        const QRect column(QPoint(x(day), g.Area.top()), QPoint(x(day + 1) - 1, g.Area.bottom()));
        p.fillRect(column, kOffHours);
        p.fillRect(QRect(QPoint(column.left(), std::max(g.Area.top(), y(workFrom))), QPoint(column.right(), std::min(g.Area.bottom(), y(workTo) - 1))),
                   Qt::white);
        if (m_selStart.isValid() && m_selStart.date() <= date && m_selFinish.isValid()) {
            const int from = MinuteOfDay(m_selStart, date);
            const int to = MinuteOfDay(m_selFinish, date);
            if (to > from && m_selFinish > QDateTime(date, QTime(0, 0)))
                p.fillRect(QRect(QPoint(column.left(), y(std::max(from, g.FirstMinute))), QPoint(column.right(), y(std::min(to, g.LastMinute)) - 1)),
                           kSelection);
        }
        PaintDayHeader(p, date, QRect(QPoint(column.left(), 0), QPoint(column.right(), g.Area.top() - 1)));
    }
    // The ruler and the lines of the slots.
    p.fillRect(QRect(0, 0, g.Area.left(), height()), kHeader);
    for (int row = 0; row <= g.Rows; ++row) {
        const int minute = g.FirstMinute + row * SlotMinutes();
        const int yy = y(minute);
        const bool hour = minute % 60 == 0;
        p.setPen(hour ? kHourLine : kGridLine);
        p.drawLine(hour ? 0 : g.Area.left() - 8, yy, width(), yy);
        if (hour && row < g.Rows) {
            p.setPen(Qt::black);
            p.drawText(QRect(0, yy + 1, g.Area.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignTop,
                       QTime(minute / 60, 0).toString(QStringLiteral("HH:mm")));
        }
    }
    p.setPen(kHourLine);
    for (int day = 0; day <= g.Days; ++day)
        p.drawLine(x(day), 0, x(day), height());
    for (int day = 0; day < g.Days; ++day) {
        const QDate date = columns[day];
        QList<TCalendarEvent> today;
        for (const TCalendarEvent &e : m_events)
            if (e.Start.date() == date)
                today << e;
        const QList<TLane> lanes = Lanes(today);
        const int left = x(day) + 2;
        const int w = x(day + 1) - left - 6;
        for (int i = 0; i < today.size(); ++i) {
            const TCalendarEvent &e = today[i];
            const int top = y(std::max(MinuteOfDay(e.Start, date), g.FirstMinute));
            const int bottom = std::max(top + fm.height() + 4, y(std::min(MinuteOfDay(e.Finish, date), g.LastMinute)));
            const int colW = w / lanes[i].Columns;
            PaintEvent(p, e, QRect(QPoint(left + lanes[i].Column * colW, top + 1), QPoint(left + (lanes[i].Column + 1) * colW - 2, bottom - 1)), false);
        }
    }
}

void TCalendarControl::PaintTimeLine(QPainter &p)
{
    const TGridLayout g = TimeLayout();
    const TCalendarPeriod period = Period();
    const QFontMetrics fm = p.fontMetrics();
    const int minutes = g.LastMinute - g.FirstMinute;
    auto x = [&](int minute) { return g.Area.left() + (minute - g.FirstMinute) * g.Area.width() / std::max(1, minutes); };
    auto y = [&](int day) { return g.Area.top() + day * g.Area.height() / 7; };
    p.fillRect(QRect(0, 0, width(), g.Area.top()), kHeader);
    for (int minute = g.FirstMinute; minute <= g.LastMinute; minute += SlotMinutes()) {
        const bool hour = minute % 60 == 0;
        p.setPen(hour ? kHourLine : kGridLine);
        p.drawLine(x(minute), hour ? 0 : g.Area.top(), x(minute), height());
        if (hour && minute < g.LastMinute) {
            p.setPen(Qt::black);
            p.drawText(QRect(x(minute) + 3, 0, 60, g.Area.top()), Qt::AlignVCenter | Qt::AlignLeft,
                       QTime(minute / 60, 0).toString(QStringLiteral("HH:mm")));
        }
    }
    for (int day = 0; day < 7; ++day) {
        const QDate date = period.First.addDays(day);
        const QRect header(QPoint(0, y(day)), QPoint(g.Area.left() - 1, y(day + 1) - 1));
        PaintDayHeader(p, date, header);
        p.setPen(kHourLine);
        p.drawLine(0, y(day + 1), width(), y(day + 1));
        QList<TCalendarEvent> today;
        for (const TCalendarEvent &e : m_events)
            if (e.Start.date() == date)
                today << e;
        const QList<TLane> lanes = Lanes(today);
        const int rowH = y(day + 1) - y(day) - 4;
        for (int i = 0; i < today.size(); ++i) {
            const int h = std::max(fm.height() + 4, rowH / lanes[i].Columns);
            const int top = y(day) + 2 + lanes[i].Column * h;
            const QRect bounds(QPoint(x(std::max(MinuteOfDay(today[i].Start, date), g.FirstMinute)), top),
                               QPoint(x(std::min(MinuteOfDay(today[i].Finish, date), g.LastMinute)) - 1, top + h - 2));
            PaintEvent(p, today[i], bounds.width() < 40 ? bounds.adjusted(0, 0, 40 - bounds.width(), 0) : bounds, false);
        }
    }
}

void TCalendarControl::PaintMonth(QPainter &p)
{
    const TCalendarPeriod period = Period();
    const QFontMetrics fm = p.fontMetrics();
    const int header = fm.height() + 8;
    p.fillRect(QRect(0, 0, width(), header), kHeader);
    p.setPen(Qt::black);
    for (int col = 0; col < 7; ++col) {
        const QRect cell = MonthCell(col);
        p.drawText(QRect(cell.left(), 0, cell.width(), header), Qt::AlignCenter, QLocale().dayName(col + 1, QLocale::LongFormat));
    }
    // Events by day, in the order of the list.
    QHash<QDate, QList<int>> byDay;
    for (int i = 0; i < m_events.size(); ++i)
        byDay[m_events[i].Start.date()] << i;
    const int line = fm.height() + 4;
    for (int i = 0; i < 42; ++i) {
        const QDate date = period.First.addDays(i);
        const QRect cell = MonthCell(i);
        const bool inMonth = date.month() == m_date.month();
        QColor background = inMonth ? QColor(Qt::white) : kOffHours;
        if (date == QDate::currentDate())
            background = kToday;
        if (m_selStart.isValid() && QDateTime(date, QTime(0, 0)) >= QDateTime(m_selStart.date(), QTime(0, 0)) &&
            QDateTime(date, QTime(0, 0)) < m_selFinish)
            background = kSelection;
        p.fillRect(cell, background);
        p.setPen(kHourLine);
        p.drawRect(cell.adjusted(0, 0, 0, 0));
        // The day's line: its number, and the feast where it fits.
        const QRect title(cell.left() + 1, cell.top() + 1, cell.width() - 1, line);
        p.fillRect(title, inMonth ? kHeader.lighter(104) : kOffHours);
        p.setPen(inMonth ? Qt::black : Qt::gray);
        const QString own = date.day() == 1 ? QLocale().toString(date, QStringLiteral("d MMM")) : QString::number(date.day());
        const QRect text = title.adjusted(4, 0, -4, 0);
        const QString shown = m_headerText ? m_headerText(date, text.width(), fm, own) : own;
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, fm.elidedText(shown, Qt::ElideRight, text.width()));
        const QList<int> list = byDay.value(date);
        const int room = (cell.height() - line - 2) / line;
        for (int k = 0; k < list.size() && k < room; ++k) {
            const bool last = k == room - 1 && list.size() > room;
            if (last) {
                p.setPen(Qt::darkGray);
                p.drawText(QRect(cell.left() + 4, cell.top() + line + 1 + k * line, cell.width() - 8, line), Qt::AlignVCenter | Qt::AlignRight,
                           QStringLiteral("+%1").arg(list.size() - k));
                break;
            }
            PaintEvent(p, m_events[list[k]], QRect(cell.left() + 3, cell.top() + line + 2 + k * line, cell.width() - 6, line - 1), true);
        }
    }
}

void TCalendarControl::PaintYear(QPainter &p)
{
    const int cols = 4;
    const int w = width() / cols;
    const int h = height() / 3;
    const QFontMetrics fm = p.fontMetrics();
    QHash<QDate, QColor> marked;
    for (const TCalendarEvent &e : m_events) {
        // The day takes the colour of its least assigned liturgy: red over yellow over green.
        const QColor current = marked.value(e.Start.date());
        if (!current.isValid() || e.Label.lightness() < current.lightness() || e.Label.red() > current.red())
            marked[e.Start.date()] = e.Label;
    }
    const std::array<QString, 7> letters = WeekdayLetters();
    for (int month = 0; month < 12; ++month) {
        const QRect box(month % cols * w, month / cols * h, w, h);
        const QDate first(m_date.year(), month + 1, 1);
        const int title = fm.height() + 6;
        p.fillRect(QRect(box.left() + 4, box.top() + 4, box.width() - 8, title), kHeader);
        p.setPen(Qt::black);
        p.drawText(QRect(box.left() + 4, box.top() + 4, box.width() - 8, title), Qt::AlignCenter,
                   QLocale().toString(first, QStringLiteral("MMMM yyyy")));
        const QRect names(box.left() + 6, box.top() + 4 + title, box.width() - 12, fm.height() + 2);
        const QRect days = box.adjusted(6, title + fm.height() + 2, -6, -4);
        for (int col = 0; col < 7; ++col)
            p.drawText(QRect(names.left() + col * names.width() / 7, names.top(), names.width() / 7, names.height()), Qt::AlignCenter,
                       letters[col]);
        const int offset = first.dayOfWeek() - 1;
        for (int day = 0; day < first.daysInMonth(); ++day) {
            const int cell = day + offset;
            const QRect r(days.left() + cell % 7 * days.width() / 7, days.top() + cell / 7 * days.height() / 6, days.width() / 7,
                          days.height() / 6);
            const QDate date = first.addDays(day);
            if (marked.contains(date)) {
                // Framed as well, so a day whose liturgies are all white still shows it has some.
                p.fillRect(r.adjusted(1, 1, -1, -1), marked.value(date));
                p.setPen(marked.value(date).darker(150));
                p.drawRect(r.adjusted(1, 1, -2, -2));
            }
            if (date == QDate::currentDate()) {
                p.setPen(Qt::black);
                p.drawRect(r.adjusted(1, 1, -2, -2));
            }
            if (m_selStart.isValid() && date >= m_selStart.date() && QDateTime(date, QTime(0, 0)) < m_selFinish)
                p.fillRect(r.adjusted(1, 1, -1, -1), QColor(kSelection.red(), kSelection.green(), kSelection.blue(), 170));
            p.setPen(Qt::black);
            p.drawText(r, Qt::AlignCenter, QString::number(day + 1));
        }
    }
}

void TCalendarControl::mousePressEvent(QMouseEvent *event)
{
    setFocus();
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)
        return;
    const QString id = EventAt(event->position().toPoint());
    if (!id.isEmpty()) {
        if (event->modifiers() & Qt::ControlModifier) {
            QStringList ids = m_selected;
            if (ids.contains(id))
                ids.removeAll(id);
            else
                ids << id;
            SelectEvents(ids);
        } else if (!m_selected.contains(id) || event->button() == Qt::LeftButton) {
            SelectEvents({id});
        }
        return;
    }
    const QDateTime at = TimeAt(event->position().toPoint());
    m_selected.clear();
    if (!at.isValid()) {
        update();
        emit SelectionChanged();
        return;
    }
    m_anchor = at;
    const bool wholeDays = m_view == TCalendarViewKind::Month || m_view == TCalendarViewKind::Year;
    SelectTime(at, wholeDays ? at.addDays(1) : at.addSecs(qint64(SlotMinutes()) * 60));
}

void TCalendarControl::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_anchor.isValid() || !m_selected.isEmpty())
        return;
    const QDateTime at = TimeAt(event->position().toPoint());
    if (!at.isValid())
        return;
    const bool wholeDays = m_view == TCalendarViewKind::Month || m_view == TCalendarViewKind::Year;
    const qint64 step = wholeDays ? 24 * 3600 : qint64(SlotMinutes()) * 60;
    const QDateTime from = std::min(at, m_anchor);
    const QDateTime to = std::max(at, m_anchor).addSecs(step);
    if (from != m_selStart || to != m_selFinish)
        SelectTime(from, to);
}

void TCalendarControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit DoubleClicked();
}

void TCalendarControl::contextMenuEvent(QContextMenuEvent *event)
{
    emit ContextMenuAt(event->globalPos());
}

void TCalendarControl::wheelEvent(QWheelEvent *event)
{
    Step(event->angleDelta().y() > 0 ? -1 : 1);
}

// The date navigator.

TDateNavigator::TDateNavigator(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TDateNavigator::SetFirstMonth(const QDate &month)
{
    m_first = QDate(month.year(), month.month(), 1);
    update();
}

QSize TDateNavigator::MonthSize() const
{
    const QFontMetrics fm = fontMetrics();
    const int cell = fm.horizontalAdvance(QStringLiteral("00")) + 10;
    return QSize(cell * 7 + 12, fm.height() * 2 + 10 + 6 * (fm.height() + 3) + 8);
}

QSize TDateNavigator::sizeHint() const
{
    const QSize m = MonthSize();
    return QSize(m.width(), m.height() * m_rows);
}

QRect TDateNavigator::MonthRect(int index) const
{
    const QSize m = MonthSize();
    return QRect(QPoint(0, index * m.height()), m);
}

QRect TDateNavigator::ArrowRect(bool next) const
{
    const int h = fontMetrics().height() + 4;
    return next ? QRect(MonthSize().width() - h - 2, 2, h, h) : QRect(2, 2, h, h);
}

QDate TDateNavigator::DateAt(const QPoint &point) const
{
    const QFontMetrics fm = fontMetrics();
    for (int i = 0; i < m_rows; ++i) {
        const QRect box = MonthRect(i);
        if (!box.contains(point))
            continue;
        const QDate first = m_first.addMonths(i);
        const int cellW = (box.width() - 12) / 7;
        const int cellH = fm.height() + 3;
        const int top = box.top() + fm.height() * 2 + 10;
        const int col = (point.x() - box.left() - 6) / cellW;
        const int row = (point.y() - top) / cellH;
        if (point.y() < top || col < 0 || col > 6 || row > 5)
            return {};
        const QDate d = first.addDays(row * 7 + col - (first.dayOfWeek() - 1));
        return d.month() == first.month() ? d : QDate();
    }
    return {};
}

void TDateNavigator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QFontMetrics fm = p.fontMetrics();
    const std::array<QString, 7> letters = WeekdayLetters();
    for (int i = 0; i < m_rows; ++i) {
        const QRect box = MonthRect(i);
        const QDate first = m_first.addMonths(i);
        const QRect title(box.left() + 2, box.top() + 2, box.width() - 4, fm.height() + 4);
        p.fillRect(title, kHeader);
        p.setPen(Qt::black);
        p.drawText(title, Qt::AlignCenter, QLocale().toString(first, QStringLiteral("MMMM yyyy")));
        if (i == 0) {
            p.drawText(ArrowRect(false), Qt::AlignCenter, QStringLiteral("\u25C0"));
            p.drawText(ArrowRect(true), Qt::AlignCenter, QStringLiteral("\u25B6"));
        }
        const int cellW = (box.width() - 12) / 7;
        const int cellH = fm.height() + 3;
        const int namesTop = title.bottom() + 3;
        for (int col = 0; col < 7; ++col)
            p.drawText(QRect(box.left() + 6 + col * cellW, namesTop, cellW, fm.height()), Qt::AlignCenter, letters[col]);
        const QRect content(box.left() + 6, box.top() + fm.height() * 2 + 10, cellW * 7, cellH * 6);
        if (m_showMonthNumber) {
            // The month number behind the days, as tall as the days' area, in the season's colour.
            QFont big = p.font();
            big.setPixelSize(content.height());
            big.setBold(true);
            p.save();
            p.setFont(big);
            p.setPen(CalendarLogic::WatermarkColor(first.month()));
            p.drawText(content, Qt::AlignCenter, QString::number(first.month()));
            p.restore();
        }
        const int offset = first.dayOfWeek() - 1;
        for (int day = 0; day < first.daysInMonth(); ++day) {
            const int cell = day + offset;
            const QRect r(content.left() + cell % 7 * cellW, content.top() + cell / 7 * cellH, cellW, cellH);
            const QDate date = first.addDays(day);
            if (IsMarked(date))
                p.fillRect(r, QColor(kSelection.red(), kSelection.green(), kSelection.blue(), 190));
            if (date == QDate::currentDate()) {
                p.setPen(QColor(0xC0, 0x30, 0x30));
                p.drawRect(r.adjusted(0, 0, -1, -1));
            }
            p.setPen(Qt::black);
            p.drawText(r, Qt::AlignCenter, QString::number(day + 1));
        }
    }
}

void TDateNavigator::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (ArrowRect(false).contains(at)) {
        SetFirstMonth(m_first.addMonths(-1));
        return;
    }
    if (ArrowRect(true).contains(at)) {
        SetFirstMonth(m_first.addMonths(1));
        return;
    }
    const QDate date = DateAt(at);
    if (!date.isValid() || event->button() != Qt::LeftButton)
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        // Adds to what is marked now, or takes a day out of it.
        QList<QDate> marked = m_days;
        if (marked.isEmpty() && m_period.First.isValid() && m_period.First.daysTo(m_period.Last) < kMaxChosenDays)
            for (QDate d = m_period.First; d <= m_period.Last; d = d.addDays(1))
                marked << d;
        m_choice = ToggledDay(marked, date);
        m_anchor = QDate();
    } else {
        m_anchor = date;
        m_choice = {date};
    }
    SetSelectedDays(m_choice);
}

void TDateNavigator::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_anchor.isValid())
        return;
    const QDate date = DateAt(event->position().toPoint());
    if (!date.isValid())
        return;
    const QList<QDate> choice = DaysBetween(m_anchor, date);
    if (choice != m_choice) {
        m_choice = choice;
        SetSelectedDays(m_choice);
    }
}

void TDateNavigator::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_choice.isEmpty())
        return;
    const QList<QDate> chosen = m_choice;
    m_choice.clear();
    m_anchor = QDate();
    emit DaysSelected(chosen);
}

void TDateNavigator::SetSelectedDays(const QList<QDate> &days)
{
    m_days = days;
    update();
}

bool TDateNavigator::IsMarked(const QDate &date) const
{
    if (!m_days.isEmpty())
        return m_days.contains(date);
    return m_period.First.isValid() && m_period.Contains(date);
}
