#include "plugins/events/uRecurrence.h"

#include <QLocale>

TRecurrence::TRecurrence(const std::function<QString()> &readSetting)
{
    if (!readSetting)
        return;
    QString text;
    try {
        text = readSetting();
    } catch (...) {
        text = DateText(QDate::currentDate());
    }
    if (text.isEmpty())
        return;
    const QDate parsed = ParseDate(text);
    m_endDate = parsed.isValid() ? parsed : QDate::currentDate();
}

bool TRecurrence::DayChecked(int day) const
{
    return day >= 1 && day <= 7 && m_days[std::size_t(day - 1)];
}

void TRecurrence::SetDayChecked(int day, bool checked)
{
    if (day >= 1 && day <= 7)
        m_days[std::size_t(day - 1)] = checked;
}

void TRecurrence::Expand(bool skipFirstDay)
{
    m_dates.clear();
    if (!m_startDate.isValid() || !m_endDate.isValid())
        return;
    QDate d = skipFirstDay ? m_startDate.addDays(1) : m_startDate;
    // The rest of the start week, up to its Saturday.
    for (int w = DayOfWeek(d); w <= 7 && d <= m_endDate; ++w, d = d.addDays(1))
        if (DayChecked(w))
            m_dates << TvoRecurrentEvent{d};
    if (m_weekInterval <= 0)
        return;
    // d is now a Sunday (or past the end); every WeekInterval-th week contributes.
    for (int week = 1; d <= m_endDate; week = week == m_weekInterval ? 1 : week + 1) {
        for (int w = 1; w <= 7; ++w, d = d.addDays(1))
            if (week == m_weekInterval && d <= m_endDate && DayChecked(w))
                m_dates << TvoRecurrentEvent{d};
    }
}

QString TRecurrence::DateText(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

QDate TRecurrence::ParseDate(const QString &text)
{
    const QDate iso = QDate::fromString(text.trimmed(), Qt::ISODate);
    if (iso.isValid())
        return iso;
    return QLocale().toDate(text.trimmed(), QLocale::ShortFormat);
}
