#include "tools/update/ufMain.h"

#include "tools/update/UpdateTexts.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

// A message box breaks lines at LF; the texts keep the carriage returns they were written with.
QString boxText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

constexpr int kWidth = 360;
constexpr int kMinimumHeight = 108;

} // namespace

TfMain::TfMain(TDM &dm, const QString &folder, const QString &currentVersion, const QStringList &commandLine,
               QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_run(dm, *this, folder, currentVersion),
      m_commandLine(commandLine)
{
    setWindowTitle(UpdateTexts::Text(UpdateTexts::Title));
    auto *layout = new QGridLayout(this);
    auto *image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(40, 40));
    image->setAlignment(Qt::AlignTop);
    m_lblDescription = new QLabel(UpdateTexts::Text(UpdateTexts::Description), this);
    m_lblDescription->setWordWrap(true);
    m_lblProgress = new QLabel(UpdateTexts::Text(UpdateTexts::Contacting), this);
    m_lblProgress->setAlignment(Qt::AlignCenter);
    m_lblProgress->setWordWrap(true);
    m_pb = new QProgressBar(this);
    m_pb->setTextVisible(false);
    m_pb->setValue(0);
    layout->addWidget(image, 0, 0, 2, 1);
    layout->addWidget(m_lblDescription, 0, 1);
    layout->addWidget(m_lblProgress, 1, 1);
    layout->addWidget(m_pb, 2, 0, 1, 2);
    // As high as the texts need at this width, in every language.
    setFixedWidth(kWidth);
    FitHeight();

    m_tmrAction.setInterval(500);
    connect(&m_tmrAction, &QTimer::timeout, this, &TfMain::ActionTick);
    m_tmrRefresh.setInterval(1000);
    connect(&m_tmrRefresh, &QTimer::timeout, this, [this] { repaint(); });

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // The window is seen for a moment before the work begins.
    QTimer::singleShot(2000, this, [this] { m_tmrAction.start(); });
}

void TfMain::ActionTick()
{
    m_tmrAction.stop();
    m_run.Run(m_commandLine);
    close();
}

void TfMain::SetBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfMain::FitHeight()
{
    setFixedHeight(std::max(kMinimumHeight, layout()->totalHeightForWidth(kWidth)));
}

void TfMain::SetStatus(const QString &text)
{
    m_lblProgress->setText(text);
    // A longer status line makes the window taller rather than being cut.
    if (layout()->totalHeightForWidth(kWidth) > height())
        FitHeight();
}

void TfMain::SetBar(int position)
{
    m_pb->setValue(std::min(position, m_pb->maximum()));
    m_pb->repaint();
}

void TfMain::SetBarMaximum(int maximum)
{
    m_pb->setMaximum(maximum);
}

void TfMain::ProcessMessages()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfMain::SetRefreshing(bool on)
{
    if (on)
        m_tmrRefresh.start();
    else
        m_tmrRefresh.stop();
}

void TfMain::Installed(const QString &)
{
    SetStatus(UpdateTexts::Text(UpdateTexts::CheckingForMore));
    ProcessMessages();
}

void TfMain::ShowError(const QString &text, const QString &caption)
{
    QMessageBox::critical(this, caption, boxText(text));
}

void TfMain::ShowMessage(const QString &text, const QString &caption)
{
    QMessageBox::information(this, caption, boxText(text), QMessageBox::Ok);
}
