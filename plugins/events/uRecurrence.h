// A weekly pattern of a liturgy (weekdays, every N weeks, a date range) and the dates it
// expands to, on which the copies of an event are planned. Dates are wall-clock days.
#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <functional>

struct TvoRecurrentEvent
{
    QDate Date;
};

class TRecurrence
{
public:
    // The user setting that keeps the last chosen end date.
    static inline const QString EndDateSetting = QStringLiteral("RecurrenceEndDate");

    // readSetting gives the stored end date text (empty when never written) and may throw.
    explicit TRecurrence(const std::function<QString()> &readSetting = {});

    QDate StartDate() const { return m_startDate; }
    void SetStartDate(const QDate &value) { m_startDate = value; }
    // Inclusive; null when not set.
    QDate EndDate() const { return m_endDate; }
    void SetEndDate(const QDate &value) { m_endDate = value; }
    int WeekInterval() const { return m_weekInterval; }
    void SetWeekInterval(int value) { m_weekInterval = value; }
    int NumberOfMonths() const { return m_numberOfMonths; }
    void SetNumberOfMonths(int value) { m_numberOfMonths = value; }
    bool ByNumberOfMonths() const { return m_byNumberOfMonths; }
    void SetByNumberOfMonths(bool value) { m_byNumberOfMonths = value; }
    bool Confirmed() const { return m_confirmed; }
    void SetConfirmed(bool value) { m_confirmed = value; }

    // Days 1 (Sunday) to 7 (Saturday); other numbers are ignored.
    bool DayChecked(int day) const;
    void SetDayChecked(int day, bool checked);
    // The pattern's day number of a date: Sunday 1 ... Saturday 7.
    static int DayOfWeek(const QDate &date) { return date.dayOfWeek() % 7 + 1; }

    // The start week's checked days from the start (the day after, with skipFirstDay), then
    // those of every WeekInterval-th following week, up to the end date inclusive. An interval
    // of 0 or less gives the start week only.
    void Expand(bool skipFirstDay);
    const QList<TvoRecurrentEvent> &Dates() const { return m_dates; }

    // The end of a range given by months: the same day that many months later, or the last
    // day of that month when it is shorter.
    static QDate EndByMonths(const QDate &start, int months) { return start.addMonths(months); }

    // Settings texts of a date: written as ISO dates, read as ISO or as the locale's short date.
    static QString DateText(const QDate &date);
    static QDate ParseDate(const QString &text);

private:
    QDate m_startDate;
    QDate m_endDate;
    int m_weekInterval = 1;
    int m_numberOfMonths = 1;
    bool m_byNumberOfMonths = false;
    bool m_confirmed = false;
    std::array<bool, 7> m_days{};
    QList<TvoRecurrentEvent> m_dates;
};
