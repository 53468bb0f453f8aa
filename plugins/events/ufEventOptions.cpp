#include "plugins/events/ufEventOptions.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uEventsCommon.h"

#include "ui/uHTMLHelp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}
} // namespace

TfOptionsDlg::TfOptionsDlg(QWidget *parent)
    : TfBaseDialog(parent)
    , m_start(new QComboBox(this))
    , m_end(new QComboBox(this))
    , m_duration(new QComboBox(this))
    , m_watermark(new QCheckBox(this))
    , m_ok(new QPushButton(this))
    , m_cancel(new QPushButton(this))
    , m_help(new QPushButton(this))
    , m_lblStart(new QLabel(this))
    , m_lblEnd(new QLabel(this))
    , m_lblDuration(new QLabel(this))
    , m_groupWorkday(new QGroupBox(this))
    , m_groupMonth(new QGroupBox(this))
    , m_groupDuration(new QGroupBox(this))
{
    setWindowModality(Qt::ApplicationModal);
    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    auto *groups = new QVBoxLayout;
    auto *workday = new QFormLayout(m_groupWorkday);
    workday->addRow(m_lblStart, m_start);
    workday->addRow(m_lblEnd, m_end);
    (new QVBoxLayout(m_groupMonth))->addWidget(m_watermark);
    (new QFormLayout(m_groupDuration))->addRow(m_lblDuration, m_duration);
    groups->addWidget(m_groupWorkday);
    groups->addWidget(m_groupMonth);
    groups->addWidget(m_groupDuration);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_help);
    buttons->addStretch();
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    m_ok->setDefault(true);
    LoadTexts();

    connect(m_start, &QComboBox::currentIndexChanged, this, [this] { UpdateOk(); });
    connect(m_end, &QComboBox::currentIndexChanged, this, [this] { UpdateOk(); });
    connect(m_duration, &QComboBox::currentIndexChanged, this, [this] { UpdateOk(); });
    connect(m_ok, &QPushButton::clicked, this, [this] {
        try {
            Accept();
            SetModalResult(TModalResult::Ok);
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("acOkExecute"), e);
        }
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] { SetModalResult(TModalResult::Cancel); });
    connect(m_help, &QPushButton::clicked, this, [] { TconHTMLHelp::ShowTopic(QString::fromLatin1(HelpTopic)); });
    UpdateOk();
}

void TfOptionsDlg::LoadTexts()
{
    setWindowTitle(Text(5407));
    m_ok->setText(Text(5016));
    m_cancel->setText(Text(5017));
    m_help->setText(Text(5018));
    m_lblStart->setText(Text(5400));
    m_lblDuration->setText(Text(5004));
    m_lblEnd->setText(Text(5401));
    m_groupWorkday->setTitle(Text(5402));
    m_groupMonth->setTitle(Text(5403));
    m_groupDuration->setTitle(Text(5405));
    m_watermark->setText(Text(5404));
}

void TfOptionsDlg::showEvent(QShowEvent *event)
{
    LoadTexts();
    TfBaseDialog::showEvent(event);
}

void TfOptionsDlg::Prepare(TvoEventSettings *settings)
{
    m_settings = settings;
    m_duration->clear();
    for (const TvoMinutes &entry : DurationEntries(Text(3038), Text(2568), Text(2567)))
        m_duration->addItem(entry.Text, entry.Minutes);
    m_start->clear();
    m_end->clear();
    const QLocale locale;
    for (int hour = 0; hour < 24; ++hour) {
        const QTime time(hour, 0);
        m_start->addItem(locale.toString(time, QLocale::ShortFormat), time);
        m_end->addItem(locale.toString(time, QLocale::ShortFormat), time);
    }
    if (!settings)
        return;
    // A stored time that is not a whole hour selects nothing.
    m_start->setCurrentIndex(m_start->findData(settings->WorkdayStart));
    m_end->setCurrentIndex(m_end->findData(settings->WorkdayEnd));
    m_duration->setCurrentIndex(m_duration->findData(settings->StandardDuration));
    m_watermark->setChecked(settings->ShowMonthNumber);
    UpdateOk();
}

bool TfOptionsDlg::CanAccept(int startIndex, int endIndex, int durationIndex)
{
    // The entries are the hours in order, so the indexes compare as the times do.
    return startIndex >= 0 && endIndex >= 0 && durationIndex >= 0 && startIndex < endIndex;
}

void TfOptionsDlg::UpdateOk()
{
    m_ok->setEnabled(CanAccept(m_start->currentIndex(), m_end->currentIndex(), m_duration->currentIndex()));
}

void TfOptionsDlg::Accept()
{
    if (!m_settings)
        return;
    m_settings->WorkdayStart = m_start->currentData().toTime();
    m_settings->WorkdayEnd = m_end->currentData().toTime();
    m_settings->ShowMonthNumber = m_watermark->isChecked();
    m_settings->StandardDuration = m_duration->currentData().toInt();
}
