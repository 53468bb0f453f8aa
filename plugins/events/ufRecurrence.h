// The dialog of a weekly recurrence: the weekdays, every N weeks, and the range by a number
// of months or by an end date. OK writes the pattern into the recurrence and keeps the end
// date as the user's default for the next one.
#pragma once

#include <QDate>
#include <QDialog>

#include <array>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TRecurrence;

class TfRecurrence : public QDialog
{
    Q_OBJECT
public:
    explicit TfRecurrence(QWidget *parent = nullptr);

    void LoadTexts();
    void SetRecurrence(TRecurrence *recurrence) { m_recurrence = recurrence; }
    // Checks the date's weekday while the recurrence was never confirmed.
    void SetEventDate(const QDate &date);
    void LoadRecurrence();

    QDateEdit *dtStartDate() const { return m_start; }
    QDateEdit *dtEndDate() const { return m_end; }
    QLineEdit *mWeek() const { return m_weeks; }
    QLineEdit *txtNumOfMonths() const { return m_months; }
    QRadioButton *opByNum() const { return m_byNum; }
    QRadioButton *opByDate() const { return m_byDate; }
    // Sunday 1 ... Saturday 7.
    QCheckBox *chk(int day) const { return m_days[std::size_t(day - 1)]; }
    QPushButton *btnOK() const { return m_ok; }
    QPushButton *btnHelp() const { return m_help; }

    // What OK does: the pattern into the recurrence and the end date into the user setting.
    void Confirm();
    // By date with the end before the start: OK refuses it.
    bool EndBeforeStart() const;

private:
    void UpdateOk();

    TRecurrence *m_recurrence = nullptr;
    QDate m_eventDate;
    QDateEdit *m_start;
    QDateEdit *m_end;
    QLineEdit *m_weeks;
    QLineEdit *m_months;
    QRadioButton *m_byNum;
    QRadioButton *m_byDate;
    std::array<QCheckBox *, 7> m_days{};
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QPushButton *m_help;
    QLabel *m_lblStart;
    QLabel *m_lblRecurOn;
    QLabel *m_lblRecur;
    QLabel *m_lblMonths;
    class QGroupBox *m_grpPattern;
    class QGroupBox *m_grpRange;
};
