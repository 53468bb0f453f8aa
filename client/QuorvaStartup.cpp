#include "client/QuorvaStartup.h"

#include "client/ClientConfiguration.h"

#include "foundation/QuorvaLogFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString kQuorva = QStringLiteral("Quorva");
const QString kMain = QStringLiteral("Main");
const QString kTitle = QStringLiteral("Kestrova");

// The log's last lines, written however the run ends.
class FinalLines
{
public:
    explicit FinalLines(std::unique_ptr<TQorLog> log) : m_log(std::move(log)) {}
    ~FinalLines()
    {
        try {
            AddToLog(llInformation, kQuorva, QStringLiteral("System Shutdown"), QString());
            m_log->SetTimeStamp(false);
            m_log->CreateFooter();
        } catch (...) {
            // A log that cannot be written has nothing left to report to.
        }
        if (SessionLog == m_log.get())
            SessionLog = nullptr;
    }
    FinalLines(const FinalLines &) = delete;
    FinalLines &operator=(const FinalLines &) = delete;

private:
    std::unique_ptr<TQorLog> m_log;
};

} // namespace

QString TQuorvaStartup::SessionLogPath(const QString &folder, QLockFile &lock)
{
    // The lock of a client that ended without removing it counts as free once its process is gone.
    if (lock.tryLock(0))
        return QDir(folder).filePath(QStringLiteral("session.txt"));
    return QDir(folder).filePath(QStringLiteral("session-%1.txt").arg(QCoreApplication::applicationPid()));
}

TQuorvaStartup::TQuorvaStartup(IQuorvaStartupSteps &steps, const QString &programPath, const QString &version)
    : m_steps(steps), m_programPath(programPath), m_version(version)
{
}

void TQuorvaStartup::Run()
{
    auto log = std::make_unique<TQorLog>();
    log->SetEnabled(true);
    const QString programFolder = QFileInfo(m_programPath).absolutePath();
    const QString folder = TClientConfiguration::WriteFolder(programFolder);
    m_logLock = std::make_unique<QLockFile>(QDir(folder).filePath(SessionLockName));
    log->SetFileName(SessionLogPath(folder, *m_logLock));
    log->CreateHeader(QStringLiteral("Quorva Kestrova : ") + m_version, QStringLiteral("Applicationpath : ") + m_programPath);
    SessionLog = log.get();
    AddToLog(llInformation, kQuorva, QStringLiteral("System Starup"), QString());
    if (QDir(folder) != QDir(programFolder))
        AddToLog(llInformation, kQuorva, QStringLiteral("Session files:"),
                 QStringLiteral("%1 cannot be written; this user's session log, crash report and choices are in %2")
                     .arg(programFolder, folder));
    log->SetTimeStamp(true);
    const FinalLines finalLines(std::move(log));

    m_steps.InitializeApplication();
    m_steps.CreateMainWindow();
    m_steps.CreateProgressWindow();
    m_steps.SetProgress(10);
    m_steps.SetTitle(kTitle);
    m_steps.CreateDataModule();
    m_steps.SetProgress(40);
    m_steps.ReadConfiguration();
    m_steps.SetProgress(60);

    try {
        Session();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kQuorva, kMain, QString::fromUtf8(e.what()));
    }
    Teardown();
}

void TQuorvaStartup::Session()
{
    if (m_steps.LoadHydraModules() < MinimumModules) {
        AddToLog(llSevere, kQuorva, kMain, QStringLiteral("Shutting down, failed to load the modules required to start."));
        m_steps.ShowError(TextTooFewModules, TextCaption);
        throw std::runtime_error("Failed to load plugins");
    }
    m_steps.SetTitle(kTitle);
    m_steps.LoadSplash();
    m_steps.ProcessMessages();
    m_steps.SetProgress(70);
    m_steps.ShowSplash();
    m_steps.SetProgress(90);
    m_steps.HideProgressWindow();

    m_steps.UpdateSplash(1101);
    m_steps.CreateDataAccessModule();
    m_steps.UpdateSplash(1102);
    m_steps.UpdateSplash(1103);

    const int connected = m_steps.ConnectToServer();
    m_steps.ProcessMessages();
    if (connected != 0) {
        if (connected != NoServerFound)
            m_steps.ShowError(TextNoConnection, TextCaption);
        m_steps.UnloadSplash();
        throw std::runtime_error("No connection");
    }

    m_steps.UpdateSplash(1108);
    if (m_steps.CheckForUpdate() == UpdateWaiting) {
        AddToLog(llInformation, kMain, kMain, QStringLiteral("Updating client"));
        m_steps.StartUpdater();
        m_steps.UnloadSplash();
        throw std::runtime_error("Updating client");
    }

    if (m_steps.CheckInitialSetup() == InitialSetupNeeded) {
        m_steps.UpdateSplash(1105);
        AddToLog(llInformation, kMain, kMain, QStringLiteral("Start initial setup"));
        if (!m_steps.RunInitialSetup()) {
            m_steps.UnloadSplash();
            throw std::runtime_error("Unable to run Initial Setup");
        }
        m_steps.UpdateSplash(1108);
        m_steps.ConnectEventHandler();
        m_steps.InitializeForm();
        m_steps.UpdateSplash(1109);
        m_steps.UnloadSplash();
        m_steps.RunMessageLoop();
        m_steps.DisConnectEventHandler();
        return;
    }

    const int logOn = m_steps.ProcessLogon();
    m_steps.ProcessMessages();
    if (logOn != 0) {
        if (logOn == LogOnCancelled)
            AddToLog(llInformation, kMain, kMain, QStringLiteral("User cancelled logon"));
        else if (logOn == LogOnRefused)
            AddToLog(llInformation, QStringLiteral("Invalid logon"), kMain, QString());
        m_steps.UnloadSplash();
        throw std::runtime_error("Unable to logon.");
    }
    m_steps.UpdateSplash(1108);
    m_steps.ConnectEventHandler();
    m_steps.UpdateSplash(1109);
    m_steps.InitializeForm();
    m_steps.UnloadSplash();
    m_steps.RunMessageLoop();
    m_steps.DisConnectEventHandler();
}

void TQuorvaStartup::Teardown()
{
    // Each step in turn, whatever the one before did: nothing is left half torn down.
    const std::pair<const char *, std::function<void()>> steps[] = {
        {"CloseProgressWindow", [this] { m_steps.CloseProgressWindow(); }},
        {"ReleaseMainWindow", [this] { m_steps.ReleaseMainWindow(); }},
        {"CloseDatamodule", [this] { m_steps.CloseDatamodule(); }},
        {"FreeDataModule", [this] { m_steps.FreeDataModule(); }},
    };
    for (const auto &[name, step] : steps) {
        try {
            step();
        } catch (const std::exception &e) {
            AddToLog(llSevere, kQuorva, QLatin1String(name), QString::fromUtf8(e.what()));
        }
    }
}
