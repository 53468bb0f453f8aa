#include "plugins/events/ufRecurrence.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uRecurrence.h"

#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {
QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}
} // namespace

TfRecurrence::TfRecurrence(QWidget *parent)
    : QDialog(parent)
    , m_start(new QDateEdit(this))
    , m_end(new QDateEdit(this))
    , m_weeks(new QLineEdit(QStringLiteral("1"), this))
    , m_months(new QLineEdit(QStringLiteral("1"), this))
    , m_byNum(new QRadioButton(this))
    , m_byDate(new QRadioButton(this))
    , m_ok(new QPushButton(this))
    , m_cancel(new QPushButton(this))
    , m_help(new QPushButton(this))
    , m_lblStart(new QLabel(this))
    , m_lblRecurOn(new QLabel(this))
    , m_lblRecur(new QLabel(this))
    , m_lblMonths(new QLabel(this))
    , m_grpPattern(new QGroupBox(this))
    , m_grpRange(new QGroupBox(this))
{
    m_start->setCalendarPopup(true);
    m_end->setCalendarPopup(true);
    auto *digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+")), this);
    m_weeks->setValidator(digits);
    m_months->setValidator(digits);
    m_weeks->setMaximumWidth(50);
    m_months->setMaximumWidth(50);

    auto *pattern = new QGridLayout(m_grpPattern);
    auto *every = new QHBoxLayout;
    every->addWidget(m_lblRecurOn);
    every->addWidget(m_weeks);
    every->addWidget(m_lblRecur);
    every->addStretch();
    pattern->addLayout(every, 0, 0, 1, 4);
    for (int day = 1; day <= 7; ++day) {
        auto *box = new QCheckBox(m_grpPattern);
        m_days[std::size_t(day - 1)] = box;
        pattern->addWidget(box, 1 + (day - 1) / 4, (day - 1) % 4);
        connect(box, &QCheckBox::toggled, this, [this] { UpdateOk(); });
    }

    auto *range = new QGridLayout(m_grpRange);
    range->addWidget(m_lblStart, 0, 0);
    range->addWidget(m_start, 0, 1);
    range->addWidget(m_byNum, 1, 0);
    auto *months = new QHBoxLayout;
    months->addWidget(m_months);
    months->addWidget(m_lblMonths);
    months->addStretch();
    range->addLayout(months, 1, 1);
    range->addWidget(m_byDate, 2, 0);
    range->addWidget(m_end, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grpPattern);
    layout->addWidget(m_grpRange);
    layout->addLayout(buttons);

    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (EndBeforeStart()) {
            // A range that holds no day would plan one lone liturgy without a word.
            ShowMessage(this, QMessageBox::Warning, windowTitle(), Text(5019));
            m_end->setFocus();
            return;
        }
        try {
            Confirm();
            accept();
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("btnOKClick"), e);
        }
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [] { TconHTMLHelp::ShowTopic(QStringLiteral("Cal_add_recurring_liturgy")); });
    connect(m_byNum, &QRadioButton::toggled, this, [this](bool on) {
        if (m_recurrence && on)
            m_recurrence->SetByNumberOfMonths(true);
    });
    connect(m_byDate, &QRadioButton::toggled, this, [this](bool on) {
        if (m_recurrence && on)
            m_recurrence->SetByNumberOfMonths(false);
    });
    connect(m_end, &QDateEdit::dateChanged, this, [this] { m_byDate->setChecked(true); });
    connect(m_months, &QLineEdit::textEdited, this, [this] { m_byNum->setChecked(true); });
    UpdateOk();
}

void TfRecurrence::LoadTexts()
{
    setWindowTitle(Text(5001));
    m_lblStart->setText(Text(5002));
    m_grpPattern->setTitle(Text(5006));
    m_lblRecurOn->setText(Text(5010));
    m_lblRecur->setText(Text(5011));
    m_grpRange->setTitle(Text(5012));
    m_lblMonths->setText(Text(5015));
    m_byNum->setText(Text(5013));
    m_byDate->setText(Text(5014));
    m_ok->setText(Text(5016));
    m_cancel->setText(Text(5017));
    m_help->setText(Text(5018));
    const QLocale locale;
    for (int day = 1; day <= 7; ++day) // Sunday is Qt's day 7
        chk(day)->setText(locale.dayName(day == 1 ? 7 : day - 1, QLocale::LongFormat));
}

void TfRecurrence::SetEventDate(const QDate &date)
{
    m_eventDate = date;
    m_start->setDate(date);
    if (m_recurrence && !m_recurrence->Confirmed())
        chk(TRecurrence::DayOfWeek(date))->setChecked(true);
}

void TfRecurrence::LoadRecurrence()
{
    if (!m_recurrence)
        return;
    const bool byNum = m_recurrence->ByNumberOfMonths();
    if (m_recurrence->StartDate().isValid())
        m_start->setDate(m_recurrence->StartDate());
    if (m_recurrence->WeekInterval() > 0)
        m_weeks->setText(QString::number(m_recurrence->WeekInterval()));
    if (m_recurrence->NumberOfMonths() > 0)
        m_months->setText(QString::number(m_recurrence->NumberOfMonths()));
    m_end->setDate(m_recurrence->EndDate().isValid() ? m_recurrence->EndDate()
                                                     : TRecurrence::EndByMonths(m_start->date(), m_months->text().toInt()));
    (byNum ? m_byNum : m_byDate)->setChecked(true);
    m_recurrence->SetByNumberOfMonths(byNum);
    for (int day = 1; day <= 7; ++day)
        if (m_recurrence->DayChecked(day))
            chk(day)->setChecked(true);
    (byNum ? static_cast<QWidget *>(m_months) : m_end)->setFocus();
}

void TfRecurrence::Confirm()
{
    if (!m_recurrence)
        return;
    m_recurrence->SetConfirmed(true);
    m_recurrence->SetStartDate(m_start->date());
    const int months = m_months->text().toInt();
    if (m_byNum->isChecked())
        m_recurrence->SetEndDate(TRecurrence::EndByMonths(m_recurrence->StartDate(), months));
    else if (m_end->date().isValid())
        m_recurrence->SetEndDate(m_end->date());
    m_recurrence->SetNumberOfMonths(months);
    m_recurrence->SetWeekInterval(m_weeks->text().toInt());
    for (int day = 1; day <= 7; ++day)
        m_recurrence->SetDayChecked(day, chk(day)->isChecked());
    if (TRvEventsController *controller = RvEvents())
        controller->SetUserSetting(TRecurrence::EndDateSetting, TRecurrence::DateText(m_recurrence->EndDate()));
}

bool TfRecurrence::EndBeforeStart() const
{
    return m_byDate->isChecked() && m_end->date().isValid() && m_end->date() < m_start->date();
}

void TfRecurrence::UpdateOk()
{
    bool any = false;
    for (QCheckBox *box : m_days)
        any = any || (box && box->isChecked());
    m_ok->setEnabled(any);
}
