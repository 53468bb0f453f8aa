// The client's way from launch to the message loop and back, in its fixed order: the session
// log, the progress window, the data module, the settings, the plug-in modules, the splash, the
// server, the update check, then the initial set-up or the log-on, the main window and the loop;
// afterwards the teardown in order. Every refused start ends quietly after its message and
// still tears down; whatever happens, the log gets "System Shutdown" and its footer. The steps
// themselves are behind IQuorvaStartupSteps, so that the order is tested with fakes.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

class IQuorvaStartupSteps
{
public:
    virtual ~IQuorvaStartupSteps() = default;

    // Steps 2 to 5: a failure here is not caught; only the final log lines follow it.
    virtual void InitializeApplication() = 0;
    virtual void CreateMainWindow() = 0;
    virtual void CreateProgressWindow() = 0;
    virtual void SetProgress(int position) = 0;
    virtual void SetTitle(const QString &title) = 0;
    virtual void CreateDataModule() = 0;
    virtual void ReadConfiguration() = 0;

    // Steps 6 to 13.
    virtual int LoadHydraModules() = 0;
    // A message box with the error icon: language text textNo under caption text captionNo.
    virtual void ShowError(int textNo, int captionNo) = 0;
    virtual void LoadSplash() = 0;
    virtual void ProcessMessages() = 0;
    virtual void ShowSplash() = 0;
    virtual void HideProgressWindow() = 0;
    virtual void UpdateSplash(int textNo) = 0;
    virtual void CreateDataAccessModule() = 0;
    virtual int ConnectToServer() = 0;
    virtual void UnloadSplash() = 0;
    virtual int CheckForUpdate() = 0;
    virtual void StartUpdater() = 0;
    virtual int CheckInitialSetup() = 0;
    virtual bool RunInitialSetup() = 0;
    virtual int ProcessLogon() = 0;
    virtual void ConnectEventHandler() = 0;
    virtual void InitializeForm() = 0;
    virtual void RunMessageLoop() = 0;
    virtual void DisConnectEventHandler() = 0;

    // Teardown.
    virtual void CloseProgressWindow() = 0;
    virtual void ReleaseMainWindow() = 0;
    virtual void CloseDatamodule() = 0;
    virtual void FreeDataModule() = 0;
};

class TQuorvaStartup
{
public:
    // Progress positions, splash texts and answers the order turns on.
    static constexpr int MinimumModules = 2;
    static constexpr int NoServerFound = 2;
    static constexpr int UpdateWaiting = 3;
    static constexpr int InitialSetupNeeded = 6;
    static constexpr int LogOnCancelled = 2;
    static constexpr int LogOnRefused = 7;
    static constexpr int TextCaption = 10;
    static constexpr int TextTooFewModules = 11;
    static constexpr int TextNoConnection = 12;

    static inline const QString SessionLockName = QStringLiteral("session.txt.lock");

    // The session log is "session.txt" in the folder the program writes to (its own, or the
    // user's where its own cannot be written), made anew; while another client of that folder
    // runs (it holds the lock), "session-<process id>.txt" beside it.
    static QString SessionLogPath(const QString &folder, QLockFile &lock);

    TQuorvaStartup(IQuorvaStartupSteps &steps, const QString &programPath, const QString &version);

    // Runs everything; rethrows a failure of steps 2 to 5 after the log's final lines.
    void Run();

private:
    void Session();
    void Teardown();

    IQuorvaStartupSteps &m_steps;
    QString m_programPath;
    QString m_version;
    // Held for the whole run: it tells a second client of this folder to write a log of its own.
    std::unique_ptr<QLockFile> m_logLock;
};
