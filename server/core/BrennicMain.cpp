#include "server/core/BrennicMain.h"

#include "foundation/FileLock.h"
#include "foundation/MemoryBudget.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "server/core/uDMServer.h"
#include "server/core/uServerCommon.h"
#include "server/core/ufServerForm.h"
#include "server/services/ServiceRegistration.h"
#include "updating/uDMUpdater.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThread>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kSender = QStringLiteral("Brennic");
const QString kTitle = QStringLiteral("Quorva Data Service");
constexpr unsigned long kShutdownPauseMs = 2000;
// What a request's cancelled database work needs to end; a request busy elsewhere is not waited for longer.
constexpr std::chrono::milliseconds kRequestStopWait{3000};

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so shut-down runs in order on the main thread.
void quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

QString lockPath()
{
    QString folder = qEnvironmentVariable("KESTROVA_LOCK_DIR");
    if (folder.isEmpty())
        folder = getuid() == 0 || qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") ? QStringLiteral("/run/lock")
                                                                                : qEnvironmentVariable("XDG_RUNTIME_DIR");
    return QDir(folder).filePath(QStringLiteral("kestrova-Brennic.lock"));
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int BrennicMain(int argc, char **argv)
{
    ProcessMemory::LimitRetention();
    // As started, before the application takes its own options out: a restart after an update
    // gets the same ones.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool serviceMode = [&] {
        for (int i = 1; i < argc; ++i)
            if (qstrcmp(argv[i], "--service") == 0)
                return true;
        return false;
    }();
    // Desktop mode shows a tray icon only where a display exists. Elsewhere the server still
    // needs a GUI application, without windows: the report engine lays text out with the
    // font database, which only a GUI application has.
    const bool desktop = !serviceMode && hasDisplay();
    RouteQtMessagesToSessionLog();
    if (!desktop)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = desktop ? std::make_unique<QApplication>(argc, argv)
                                                    : std::make_unique<QGuiApplication>(argc, argv);
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');

    // The running instance's session log is left alone: a second instance is refused before
    // it would replace that file with its own.
    int status = 0;
    const int lock = FileLock::tryExclusive(lockPath());
    if (lock < 0) {
        std::fprintf(stderr, "Quorva Data Service is already running on this computer.\n");
        return 1;
    }

    SessionLog = new TQorLog();
    SessionLog->SetEnabled(true);
    // A service has no window: its console, or the system journal, shows what it does.
    SessionLog->SetEchoToStandardError(serviceMode);
    // The previous run's log stays beside the new one: a killed server's last words survive
    // its restart.
    const QString logFile = folder + QStringLiteral("server_session.txt");
    if (QFileInfo::exists(logFile)) {
        const QString previous = folder + QStringLiteral("server_session.old.txt");
        QFile::remove(previous);
        QFile::rename(logFile, previous);
    }
    SessionLog->SetFileName(logFile);
    SessionLog->CreateHeader(QStringLiteral(" Quorva Data Service\t") + TvoSysInfo::GetFileVersion(QCoreApplication::applicationFilePath()),
                             QStringLiteral("Server path: ") + folder);
    SessionLog->SetTimeStamp(true);
    AddToLog(llInformation, kSender, QStringLiteral("\tServer initialize"), QString());
    QCoreApplication::setApplicationName(kTitle);


    bool updated = false;
    {
        TDMUpdater updater(folder);
        updated = updater.CheckForUpdate(folder, QString());
    }
    // A service becomes the swap program in its own process, so the service manager neither
    // takes the hand-over for an end nor stops the swap with the server. Without a swap
    // program to hand over to, nothing would start the server again: serve on.
    if (updated && serviceMode) {
        TDMUpdater::HandOverInProcess(folder, QStringLiteral("Brennic"), arguments);
    } else if (updated && TDMUpdater::HandOver(folder, QStringLiteral("Brennic"), arguments)) {
        FileLock::release(lock);
        delete SessionLog;
        return 0;
    }

    // Every service is known before anything listens.
    RegisterServerServices();
    quitOnSignals(*app);
    std::unique_ptr<TDMServer> server;
    try {
        if (serviceMode) {
            AddToLog(llInformation, kSender, QStringLiteral("\t"), QStringLiteral("running as a service"));
            SetServerRunMode(false, folder);
            server = std::make_unique<TDMServer>(folder);
            server->LoadConfiguration();
            if (!server->InitializeServer()) {
                app->exec();
            } else {
                AddToLog(llInformation, kSender, QStringLiteral("Server failed during startup."), QString());
                status = 1;
            }
        } else {
            AddToLog(llInformation, kSender, QStringLiteral("\t"), QStringLiteral("running as an application"));
            server = std::make_unique<TDMServer>(folder);
            server->LoadConfiguration();
            std::unique_ptr<TServerForm> form;
            if (qobject_cast<QApplication *>(app.get())) {
                form = std::make_unique<TServerForm>(*server);
                QObject::connect(form.get(), &TServerForm::closeRequested, app.get(), &QCoreApplication::quit);
            }
            if (!server->InitializeServer()) {
                SetServerRunMode(true, folder);
                AddToLog(llInformation, kSender, QStringLiteral("\tServer verified and started."), QString());
                if (form)
                    form->UpdateTrayIcon();
                app->exec();
                form.reset();
            } else {
                AddToLog(llInformation, kSender, QStringLiteral("Server failed during startup."), QStringLiteral("1"));
                form.reset();
                server->StartConfigurator();
                status = 1;
            }
        }
    } catch (const std::exception &e) {
        // A missing settings file, language module or report folder: nothing can be served.
        AddToLog(llSevere, kSender, QStringLiteral("Server startup"), QString::fromUtf8(e.what()));
        if (!SessionLog->EchoToStandardError())
            std::fprintf(stderr, "Brennic: %s\n", e.what());
        FileLock::release(lock);
        delete SessionLog;
        return 2;
    }

    AddToLog(llInformation, kSender, QStringLiteral("\tShutdown"), QString());
    QThread::msleep(kShutdownPauseMs);
    // Requests that outlived the wait still use the data module and the log: the process ends
    // under them, without freeing either.
    const bool served = !server || server->StopServing(kRequestStopWait);
    if (served)
        server.reset();
    SessionLog->SetTimeStamp(false);
    SessionLog->CreateFooter();
    if (!served)
        std::_Exit(status);
    FileLock::release(lock);
    delete SessionLog;
    SessionLog = nullptr;
    return status;
}
