#include "testsupport/XServer.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::test {

namespace {

constexpr int kStartLimitMs = 20000;
constexpr int kToolLimitMs = 20000;
XServer *s_instance = nullptr;

} // namespace

XServer::XServer(QSize screen)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        m_error = QStringLiteral("no pipe for Xvfb's display number");
        return;
    }
    // Only the write end reaches Xvfb, which writes the display number there once it serves.
    ::fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(pipeFds[1]);
    const std::string geometry = std::to_string(screen.width()) + "x" + std::to_string(screen.height()) + "x24";
    m_pid = ::fork();
    if (m_pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", geometry.c_str(), "-nolisten", "tcp",
                 "-noreset", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (m_pid < 0) {
        ::close(pipeFds[0]);
        m_error = QStringLiteral("Xvfb could not be started");
        return;
    }
    QByteArray number;
    pollfd wait{pipeFds[0], POLLIN, 0};
    while (!number.endsWith('\n')) {
        const int ready = ::poll(&wait, 1, kStartLimitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[16];
        const ssize_t got = ready > 0 ? ::read(pipeFds[0], buffer, sizeof buffer) : 0;
        if (got <= 0)
            break;
        number.append(buffer, got);
    }
    ::close(pipeFds[0]);
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!ok) {
        m_error = QStringLiteral("Xvfb gave no display number (is the package xvfb installed?)");
        return;
    }
    m_display = QStringLiteral(":%1").arg(display);
}

XServer::~XServer()
{
    if (s_instance == this)
        s_instance = nullptr;
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

XServer *XServer::Instance()
{
    return s_instance;
}

void XServer::SetInstance(XServer *server)
{
    s_instance = server;
}

bool XServer::Run(const QString &program, const QStringList &arguments) const
{
    if (!Running())
        return false;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(kToolLimitMs) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool XServer::Click(QPoint global, int button) const
{
    // One call: the server takes the motion before the press.
    return Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(global.x()),
                                           QString::number(global.y()), QStringLiteral("click"), QString::number(button)});
}

bool XServer::Clicks(const QList<QPoint> &places, int pauseMs) const
{
    QStringList chain;
    for (const QPoint &place : places) {
        if (!chain.isEmpty())
            chain << QStringLiteral("sleep") << QString::number(pauseMs / 1000.0, 'f', 3);
        chain << QStringLiteral("mousemove") << QString::number(place.x()) << QString::number(place.y()) << QStringLiteral("click")
              << QStringLiteral("1");
    }
    return Run(QStringLiteral("xdotool"), chain);
}

bool XServer::MoveTo(QPoint global) const
{
    return Run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

bool XServer::Key(const QString &keys) const
{
    return Run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

bool XServer::Type(const QString &text) const
{
    return Run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

bool XServer::Screenshot(const QString &path) const
{
    return Run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
}

double XServer::NotOnScreen(QWidget *widget)
{
    const QImage drawn = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    // Window 0 is the root: what the X server holds, whichever window put it there.
    const QImage shown =
        screen->grabWindow(0, at.x(), at.y(), widget->width(), widget->height()).toImage().convertToFormat(QImage::Format_RGB32);
    if (drawn.isNull() || drawn.size() != shown.size())
        return 1;
    qint64 differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        const auto *a = reinterpret_cast<const QRgb *>(drawn.constScanLine(y));
        const auto *b = reinterpret_cast<const QRgb *>(shown.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x)
            differing += a[x] != b[x];
    }
    return double(differing) / double(qint64(drawn.width()) * drawn.height());
}

bool XServer::ShowActive(QWidget *window)
{
    using namespace std::chrono_literals;
    window->show();
    window->raise();
    if (!WaitFor([window] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 5s))
        return false;
    // Qt asks the server for the input focus itself when no window manager answers.
    window->activateWindow();
    return WaitFor([window] { return QApplication::activeWindow() == window; }, 5s);
}

bool XServer::ScreenshotOf(QWidget *window, const QString &path) const
{
    using namespace std::chrono_literals;
    // What a widget changed reaches the screen at a later turn of the event loop.
    const bool settled = WaitFor([window] { return NotOnScreen(window) == 0; }, 5s);
    return Screenshot(path) && settled;
}

TestPictures::TestPictures()
{
    QDir folder(QStringLiteral(KESTROVA_TEST_ARTEFACTS_DIR "/") +
                QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    folder.removeRecursively();
    if (folder.mkpath(QStringLiteral(".")))
        m_folder = folder.path();
}

QString TestPictures::Next(const QString &what)
{
    const QString name = QStringLiteral("%1-%2.png").arg(++m_count, 3, 10, QLatin1Char('0')).arg(QString(what).replace(QLatin1Char(' '), QLatin1Char('-')));
    return m_folder.isEmpty() ? QString() : QDir(m_folder).filePath(name);
}

bool TestPictures::Take(const QString &what)
{
    const QString file = Next(what);
    return !file.isEmpty() && XServer::Instance() && XServer::Instance()->Screenshot(file);
}

bool TestPictures::TakeOf(QWidget *window, const QString &what)
{
    const QString file = Next(what);
    return !file.isEmpty() && XServer::Instance() && XServer::Instance()->ScreenshotOf(window, file);
}

} // namespace kestrova::test
