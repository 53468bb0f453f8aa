// A date of birth as the contact dialog takes it: typed in the locale's short format (two or four
// digits for the year), as an ISO date or with the month's name, or picked from a calendar that
// opens at the typed date or today. "No date" is an empty field, apart from every real date.
// Text that is not a date is refused with a message and stays in the field as typed.
#pragma once

#include <QDate>
#include <QLocale>
#include <QWidget>

#include <functional>
#include <optional>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

class TDateField : public QWidget
{
public:
    explicit TDateField(QWidget *parent = nullptr);

    // Shows the date (none: the empty field); tells no one.
    void SetDate(const std::optional<QDate> &date);
    std::optional<QDate> Date() const { return m_date; }
    QLineEdit *Edit() const { return m_edit; }
    QCalendarWidget *Calendar() const { return m_calendar; }
    // Opens the calendar pop-up at the typed date, or at today.
    void OpenCalendar();
    // Takes what is typed, as leaving the field does (for an OK pressed while typing); false
    // when the text is refused.
    bool Commit();

    // A date the user typed or picked; none when the field was emptied.
    std::function<void(const std::optional<QDate> &date)> Changed;
    // The message for text that is not a date (the text is handed over).
    std::function<void(const QString &text)> Refused;

    // Reads a typed date; nothing when the text is not a date. Empty text is "no date" (ok).
    // A two-digit year gives no date after today.
    static std::optional<QDate> Parse(const QString &text, const QLocale &locale, bool *ok, const QDate &today = QDate::currentDate());
    // How a date is shown: the locale's short format with a four-digit year.
    static QString DisplayFormat(const QLocale &locale);

private:
    QLineEdit *m_edit;
    QToolButton *m_button;
    QCalendarWidget *m_calendar;
    std::optional<QDate> m_date;
    bool m_committing = false;
};
