#include "client/ufServerProgress.h"

#include "client/uDMClient.h"

#include "foundation/QuorvaLogFile.h"
#include "remoting/ROHTTPChannel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kDMClient = QStringLiteral("DMClient");
constexpr int kTextCancel = 206;
constexpr int kTextPleaseWait = 211;
constexpr int kTextCaption = 212;
constexpr int kMargin = 8;

// The bar's fill, in the colours of the host's popups.
const QString kBarStyle = QStringLiteral(
    "QProgressBar { border: 1px solid #81A9E2; border-radius: 2px; background: white; text-align: center; }"
    "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #DDECFE, stop:1 #81A9E2); }");

} // namespace

TfServerProgress::TfServerProgress(std::unique_ptr<TServerProgressRun> run, TextSource texts, QWidget *owner,
                                   TServerProgressTimings timings)
    : m_run(std::move(run))
    , m_owner(owner)
    , m_label(new QLabel)
    , m_bar(new QProgressBar)
    , m_cancel(new QPushButton)
    , m_tick(new QTimer(this))
    , m_probe(new QTimer(this))
{
    // A tool window without border icons, above the others.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(texts(kTextCaption));
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setText(texts(kTextPleaseWait));
    m_label->setWordWrap(true);
    m_bar->setObjectName(QStringLiteral("pb"));
    m_bar->setStyleSheet(kBarStyle);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 0);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setText(texts(kTextCancel));
    m_cancel->setVisible(false);
    // The window waits; its button does not.
    setCursor(Qt::WaitCursor);
    m_cancel->setCursor(Qt::ArrowCursor);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    setCentralWidget(central);

    m_tick->setInterval(timings.Tick);
    m_probe->setInterval(timings.Probe);
    connect(m_tick, &QTimer::timeout, this, &TfServerProgress::tmrTickTimer);
    connect(m_probe, &QTimer::timeout, this, &TfServerProgress::ProbeWhileAutoschedule);
    connect(m_cancel, &QPushButton::clicked, this, &TfServerProgress::btnCancelClick);
    ShowState();
}

TfServerProgress::~TfServerProgress() = default;

void TfServerProgress::ShowState()
{
    const bool cancel = m_run->CancelVisible();
    m_cancel->setVisible(cancel);
    m_cancel->setEnabled(m_run->CancelEnabled());
    setFixedSize(ClientWidth, cancel ? RunningHeight : WatchingHeight);
}

void TfServerProgress::FormShow()
{
    m_probe->start();
    if (m_run->Running())
        m_tick->start();
    const QRect area = m_owner ? m_owner->frameGeometry()
                               : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect());
    if (area.isValid())
        move(area.center() - rect().center());
}

void TfServerProgress::ShowModal()
{
    try {
        FormShow();
        // A run that cannot even be sent has nothing to wait for.
        if (m_run->Running() && !m_run->Start()) {
            m_tick->stop();
            m_probe->stop();
            return;
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("FormShow"), QString::fromUtf8(e.what()));
    }
    if (!m_run->CloseAllowed())
        TfStyleForm::ShowModal();
}

void TfServerProgress::UpdateProgress(int position, int maximum)
{
    try {
        m_bar->setMaximum(maximum);
        m_bar->setValue(position);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("TfServerProgress.Progress  %1:%2").arg(position).arg(maximum),
                 QString::fromUtf8(e.what()));
    }
}

void TfServerProgress::AllowCloseAndClose()
{
    m_run->AllowClose();
    close();
}

void TfServerProgress::tmrTickTimer()
{
    if (!m_run->CheckAnswer())
        return;
    m_tick->stop();
    close();
}

void TfServerProgress::btnCancelClick()
{
    try {
        const bool closeNow = m_run->CancelClicked();
        ShowState();
        if (closeNow)
            close();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("btnCancelClick"), QString::fromUtf8(e.what()));
    }
}

void TfServerProgress::ProbeWhileAutoschedule()
{
    try {
        if (!m_run->Probe())
            ShowState();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ProbeWhileAutoschedule"), QString::fromUtf8(e.what()));
    }
}

void TfServerProgress::closeEvent(QCloseEvent *event)
{
    if (!m_run->CloseAllowed()) {
        event->ignore();
        return;
    }
    m_probe->stop();
    m_tick->stop();
    TfStyleForm::closeEvent(event);
}

// --- factory ------------------------------------------------------------------------------------

TServerProgressFactory::TServerProgressFactory(TDMClient &client, TServerProgressTimings timings)
    : m_client(client), m_timings(timings)
{
}

std::unique_ptr<IServerProgressWindow> TServerProgressFactory::CreateWatching()
{
    return Create(std::nullopt);
}

std::unique_ptr<IServerProgressWindow> TServerProgressFactory::CreateRunning(const QStringList &templateIds,
                                                                             const QStringList &ministryFunctionIds,
                                                                             const QDateTime &fromDate, const QDateTime &toDate)
{
    return Create(TServerProgressRun::TRequest{templateIds, ministryFunctionIds, fromDate, toDate});
}

std::unique_ptr<IServerProgressWindow> TServerProgressFactory::Create(std::optional<TServerProgressRun::TRequest> request)
{
    TDMClient &client = m_client;
    auto run = std::make_unique<TServerProgressRun>(client.ROBinMgs(), client.ROHTTP(),
                                                    [&client] { return client.CreateAutoScheduleChannel(); }, std::move(request));
    QWidget *owner = client.MainWindow() ? client.MainWindow()->Widget() : nullptr;
    return std::make_unique<TfServerProgress>(std::move(run), [&client](int number) { return client.GetText(number); }, owner,
                                              m_timings);
}
