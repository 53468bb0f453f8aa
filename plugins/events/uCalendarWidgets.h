// The calendar's own widgets: the scheduler control that paints the day and week time grids,
// the month and year views and the time line, and the date navigator with its months. They
// show what the calendar view hands them and report what the user picks; they read no data.
#pragma once

#include "plugins/events/uCalendarRules.h"

#include <QPixmap>
#include <QSet>
#include <QWidget>

#include <functional>

class TCalendarControl : public QWidget
{
    Q_OBJECT
public:
    // The text of a day header of that width; ownText is what the control shows by itself.
    using HeaderText = std::function<QString(const QDate &date, int width, const QFontMetrics &metrics, const QString &ownText)>;

    explicit TCalendarControl(QWidget *parent = nullptr);

    void SetView(TCalendarViewKind view);
    TCalendarViewKind View() const { return m_view; }
    void SetDate(const QDate &date);
    QDate Date() const { return m_date; }
    TCalendarPeriod Period() const;
    // Several days side by side in the day view (a single day is the date); a new date, view or
    // step of the period goes back to one day, or moves the days on.
    void SetDays(QList<QDate> days);
    // The days the time grid shows as columns (the period's days in the week view).
    QList<QDate> Days() const;
    // How many they are, without listing them.
    int DayCount() const;
    // One period on (steps > 0) or back; chosen days move by the span they cover.
    void Step(int steps);
    void SetEvents(QList<TCalendarEvent> events);
    const QList<TCalendarEvent> &Events() const { return m_events; }
    // Drops events from what is shown (after the server deleted them).
    void RemoveEvents(const QStringList &ids);

    void SetTimeInterval(int minutes);
    int TimeInterval() const { return m_interval; }
    void SetWorkingHours(const QTime &start, const QTime &finish);
    QTime WorkStart() const { return m_workStart; }
    QTime WorkFinish() const { return m_workFinish; }
    void SetHeaderText(HeaderText headerText) { m_headerText = std::move(headerText); }
    void SetFlagImages(const QList<QPixmap> &images) { m_flagImages = images; }

    // The selected time range and events.
    void SelectTime(const QDateTime &start, const QDateTime &finish);
    QDateTime SelectionStart() const { return m_selStart; }
    QDateTime SelectionFinish() const { return m_selFinish; }
    QStringList SelectedEvents() const { return m_selected; }
    void SelectEvents(const QStringList &ids);
    void ClearEventSelection();

    // Where the event was painted last (empty when not shown).
    QRect EventRect(const QString &id) const;
    // The time a point of the control stands for (invalid outside the cells).
    QDateTime TimeAt(const QPoint &point) const;

signals:
    void SelectionChanged();
    void DoubleClicked();
    void ContextMenuAt(const QPoint &globalPos);
    void PeriodChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct TGridLayout
    {
        QRect Area;     // the cells, without ruler and headers
        int FirstMinute = 0;
        int LastMinute = 0;
        int Rows = 0;
        int Days = 1;
    };
    TGridLayout TimeLayout() const;
    QRect MonthCell(int index) const;
    void PaintTimeGrid(QPainter &p);
    void PaintTimeLine(QPainter &p);
    void PaintMonth(QPainter &p);
    void PaintYear(QPainter &p);
    void PaintEvent(QPainter &p, const TCalendarEvent &e, const QRect &bounds, bool compact);
    void PaintDayHeader(QPainter &p, const QDate &date, const QRect &rect);
    QString EventAt(const QPoint &point) const;
    int SlotMinutes() const;

    TCalendarViewKind m_view = TCalendarViewKind::Day;
    QDate m_date = QDate::currentDate();
    QList<QDate> m_days; // chosen in the navigator; empty for the date alone
    QList<TCalendarEvent> m_events;
    int m_interval = 30;
    QTime m_workStart{8, 0};
    QTime m_workFinish{16, 0};
    HeaderText m_headerText;
    QList<QPixmap> m_flagImages;
    QDateTime m_selStart;
    QDateTime m_selFinish;
    QDateTime m_anchor;
    QStringList m_selected;
    QList<QPair<QRect, QString>> m_hits;
};

class TDateNavigator : public QWidget
{
    Q_OBJECT
public:
    explicit TDateNavigator(QWidget *parent = nullptr);

    void SetRows(int rows) { m_rows = rows; updateGeometry(); update(); }
    void SetShowMonthNumber(bool show) { m_showMonthNumber = show; update(); }
    bool ShowMonthNumber() const { return m_showMonthNumber; }
    // The first month shown and the days marked as selected.
    void SetFirstMonth(const QDate &month);
    QDate FirstMonth() const { return m_first; }
    void SetSelectedPeriod(const TCalendarPeriod &period) { m_period = period; m_days.clear(); update(); }
    // Marks these days instead (the days a user chose).
    void SetSelectedDays(const QList<QDate> &days);
    bool IsMarked(const QDate &date) const;
    // The day under a point, invalid elsewhere.
    QDate DateAt(const QPoint &point) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The days chosen with a click, a drag over days or control-clicks, in order; the first of
    // them where only one.
    void DaysSelected(const QList<QDate> &days);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QSize MonthSize() const;
    QRect MonthRect(int index) const;
    QRect ArrowRect(bool next) const;

    int m_rows = 3;
    bool m_showMonthNumber = true;
    QDate m_first = QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    TCalendarPeriod m_period;
    QList<QDate> m_days;    // marked instead of the period when not empty
    QDate m_anchor;         // where a drag started
    QList<QDate> m_choice;  // what the press and drag so far choose
};
