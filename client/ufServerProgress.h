// The automatic-scheduling progress window: a small tool window above the main window with a
// line of text and a bar that follows the server's progress events. Watching, it waits for the
// end of a run someone started; running, it has started the run itself and offers Cancel. It
// refuses to close until its run allows it (TServerProgressRun decides when).
#pragma once

#include "client/HostComponents.h"
#include "client/uServerProgressRun.h"

#include "ui/uStyleForm.h"

#include <chrono>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// How often the window looks for its run's answer and probes the main channel.
struct TServerProgressTimings
{
    std::chrono::milliseconds Tick{750};
    std::chrono::milliseconds Probe{180000};
};

class TfServerProgress : public TfStyleForm, public IServerProgressWindow
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 365;
    static constexpr int WatchingHeight = 64;
    static constexpr int RunningHeight = 134;

    using TextSource = std::function<QString(int number)>;

    // owner: the window it is centred on (none: the screen).
    TfServerProgress(std::unique_ptr<TServerProgressRun> run, TextSource texts, QWidget *owner,
                     TServerProgressTimings timings = {});
    ~TfServerProgress() override;

    // IServerProgressWindow
    void ShowModal() override;
    bool IsVisible() override { return isVisible(); }
    void UpdateProgress(int position, int maximum) override;
    void AllowCloseAndClose() override;

    QLabel *Label1() const { return m_label; }
    QProgressBar *pb() const { return m_bar; }
    QPushButton *btnCancel() const { return m_cancel; }
    QTimer *tmrTick() const { return m_tick; }
    QTimer *tmrProbe() const { return m_probe; }
    const TServerProgressRun &Run() const { return *m_run; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    void tmrTickTimer();
    void btnCancelClick();
    void ProbeWhileAutoschedule();
    // Cancel's visibility and the height that goes with it.
    void ShowState();

    std::unique_ptr<TServerProgressRun> m_run;
    QWidget *m_owner;
    QLabel *m_label;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    QTimer *m_tick;
    QTimer *m_probe;
};

// The factory THostComponentFactory installs: windows on the data module's channels and texts.
class TServerProgressFactory : public IServerProgressFactory
{
public:
    explicit TServerProgressFactory(TDMClient &client, TServerProgressTimings timings = {});

    std::unique_ptr<IServerProgressWindow> CreateWatching() override;
    std::unique_ptr<IServerProgressWindow> CreateRunning(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                                         const QDateTime &fromDate, const QDateTime &toDate) override;

private:
    std::unique_ptr<IServerProgressWindow> Create(std::optional<TServerProgressRun::TRequest> request);

    TDMClient &m_client;
    TServerProgressTimings m_timings;
};
