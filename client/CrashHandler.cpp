#include "client/CrashHandler.h"

#include <QDateTime>
#include <QFile>
#include <QList>

#include <csignal>
#include <cstring>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Section
{
    QString Name;
    QString Description;
    TQorCrashHandler::SectionWriter Writer;
};

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kMaxFrames = 64;
constexpr std::size_t kPathBytes = 4096;
// How long the sections of a signal's report may take before the program is ended anyway.
constexpr unsigned kSectionSeconds = 5;

bool g_installed = false;
QString g_reportFile;
QString g_title;
QList<Section> g_sections;
std::terminate_handler g_previousTerminate = nullptr;
// What the signal handler needs, prepared beforehand: it may call nothing that allocates.
char g_reportPath[kPathBytes] = {};
volatile std::sig_atomic_t g_reporting = 0;

void writeText(int fd, const char *text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(fd, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= std::size_t(written);
    }
}

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV (invalid memory access)";
    case SIGBUS: return "SIGBUS (bus error)";
    case SIGFPE: return "SIGFPE (arithmetic error)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGABRT: return "SIGABRT (aborted)";
    default: return "fatal signal";
    }
}

void appendReport(const QString &text)
{
    QFile file(g_reportFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(text.toUtf8());
}

void onFatalSignal(int signal)
{
    if (!g_reporting) {
        g_reporting = 1;
        const int fd = ::open(g_reportPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            writeText(fd, "\n==== Quorva crash report ====\n");
            writeText(fd, "Signal: ");
            writeText(fd, signalName(signal));
            writeText(fd, "\nCall stack:\n");
            void *frames[kMaxFrames];
            const int count = ::backtrace(frames, kMaxFrames);
            ::backtrace_symbols_fd(frames, count, fd);
            ::close(fd);
        }
        // What describes the machine needs more than a signal handler may safely do. The part
        // above is on disk already; should this part hang on a lock the crash left held, the
        // alarm ends the program.
        ::alarm(kSectionSeconds);
        appendReport(TQorCrashHandler::SectionsText());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void onTerminate()
{
    QString message = QStringLiteral("terminate called without an active exception");
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception &e) {
            message = QStringLiteral("Unhandled exception: ") + QString::fromUtf8(e.what());
        } catch (...) {
            message = QStringLiteral("Unhandled exception of an unknown kind");
        }
    }
    TQorCrashHandler::ReportException(message);
    // The abort that follows is reported already.
    g_reporting = 1;
    std::abort();
}

} // namespace

void TQorCrashHandler::Install(const QString &reportFile, const QString &title)
{
    g_reportFile = reportFile;
    g_title = title;
    const QByteArray path = QFile::encodeName(reportFile);
    std::strncpy(g_reportPath, path.constData(), kPathBytes - 1);
    g_reportPath[kPathBytes - 1] = '\0';
    g_reporting = 0;
    if (g_installed)
        return;
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (int signal : kFatalSignals)
        sigaction(signal, &action, nullptr);
    g_previousTerminate = std::set_terminate(onTerminate);
    g_installed = true;
}

void TQorCrashHandler::Uninstall()
{
    if (!g_installed)
        return;
    for (int signal : kFatalSignals)
        std::signal(signal, SIG_DFL);
    std::set_terminate(g_previousTerminate);
    g_installed = false;
}

bool TQorCrashHandler::Installed()
{
    return g_installed;
}

QString TQorCrashHandler::ReportFile()
{
    return g_reportFile;
}

void TQorCrashHandler::ReportException(const QString &message)
{
    if (!g_reportFile.isEmpty())
        appendReport(BuildReport(message));
}

void TQorCrashHandler::RegisterSection(const QString &name, const QString &description, SectionWriter writer)
{
    UnregisterSection(name);
    g_sections << Section{name, description, std::move(writer)};
}

void TQorCrashHandler::UnregisterSection(const QString &name)
{
    for (int i = 0; i < g_sections.size(); ++i)
        if (g_sections[i].Name == name) {
            g_sections.removeAt(i);
            return;
        }
}

QString TQorCrashHandler::BuildReport(const QString &message)
{
    QString report = QStringLiteral("\n==== Quorva crash report ====\n");
    report += g_title + QLatin1Char('\n');
    report += QStringLiteral("Time: ") + QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char('\n');
    report += message + QLatin1Char('\n');
    return report + SectionsText();
}

QString TQorCrashHandler::SectionsText()
{
    QString text;
    for (const Section &section : g_sections) {
        text += QStringLiteral("\n---- %1 (%2) ----\n").arg(section.Name, section.Description);
        try {
            text += section.Writer() + QLatin1Char('\n');
        } catch (...) {
            text += QStringLiteral("(this section could not be written)\n");
        }
    }
    return text;
}

QString TQorCrashHandler::NameValueText(const Properties &properties)
{
    QString text;
    for (const auto &[name, value] : properties)
        text += name + QLatin1Char('=') + value + QLatin1Char('\n');
    return text;
}
