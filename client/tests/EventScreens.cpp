// Pictures of the windows the server's events put in front of a planner: two popup notices
// stacked at the screen's edge, and the scheduling progress window while watching and while
// running a run. Run under a real display (xvfb-run with the xcb platform); writes
// popup.png, server-progress-watching.png and server-progress-running.png into the folder given.
#include "client/uPopupNotifier.h"
#include "client/ufServerProgress.h"

#include "foundation/uResourceHandler.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

#include "testsupport/ScreenshotSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QStyleFactory>
#include <QTextStream>

#include <cstdio>

namespace {

using screenshots::Save;
using screenshots::Wait;

// The corner of the screen that holds the popups, with some of the desktop around them.
bool Popups(const QString &folder)
{
    // A plain desktop behind them, as a planner's screen would have.
    QWidget desktop(nullptr, Qt::FramelessWindowHint);
    desktop.setStyleSheet(QStringLiteral("background: #4A6A8A;"));
    if (QScreen *screen = QGuiApplication::primaryScreen())
        desktop.setGeometry(screen->geometry());
    desktop.show();
    Wait(200);
    TPopupNotifier notifier;
    const QList<std::pair<QString, QString>> notices{
        {QStringLiteral("New assignment"), QStringLiteral("You serve as lector at the 10:00 Mass on Sunday, 8 November.")},
        {QStringLiteral("Schedule published"), QStringLiteral("The schedule for November 2026 is ready to be read.")},
    };
    for (const auto &[title, text] : notices) {
        TPopupNotice notice;
        notice.Title = title;
        notice.Text = text;
        notice.Tag = QStringLiteral("0");
        notice.GradientColor1 = QColor(0xDD, 0xEC, 0xFE);
        notice.GradientColor2 = QColor(0x81, 0xA9, 0xE2);
        notifier.ShowPopup(notice, [](const QString &) {});
    }
    // Both have slid in and wait for their time-out.
    Wait(1500);
    QScreen *screen = QGuiApplication::primaryScreen();
    QRect shown;
    for (TfrmMSNPopUp *window : notifier.Component().Windows())
        shown |= window->frameGeometry();
    if (!screen || shown.isEmpty()) {
        std::fprintf(stderr, "no popup is on the screen\n");
        return false;
    }
    const QRect area = shown.adjusted(-120, -60, 0, 0).intersected(screen->geometry()) |
                       QRect(shown.topLeft(), screen->geometry().bottomRight());
    return Save(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                folder + QStringLiteral("/popup.png"));
}

bool Progress(const QString &folder, const QString &languageFile)
{
    TVOResourceHandler texts;
    texts.LoadResourceFile(languageFile);
    texts.Open();
    auto message = std::make_shared<TROMessage>();
    auto channel = std::make_shared<TROHTTPChannel>();
    // Nothing is sent: the windows are shown, not run.
    auto newChannel = [] { return std::make_shared<TROHTTPChannel>(); };
    bool ok = true;
    for (const bool running : {false, true}) {
        std::optional<TServerProgressRun::TRequest> request;
        if (running)
            request = TServerProgressRun::TRequest{{}, {}, QDateTime(QDate(2026, 11, 1), QTime()), QDateTime(QDate(2026, 12, 1), QTime())};
        TfServerProgress window(std::make_unique<TServerProgressRun>(message, channel, newChannel, request),
                                [&texts](int number) { return texts.GetString(number); }, nullptr);
        window.show();
        window.UpdateProgress(running ? 5 : 3, 8);
        Wait(300);
        ok = Save(window.grab(), folder + (running ? QStringLiteral("/server-progress-running.png")
                                                   : QStringLiteral("/server-progress-watching.png"))) && ok;
        window.AllowCloseAndClose();
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [Quorva.lng]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString language = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KESTROVA_LANGUAGE_FILE);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    try {
        const bool popups = Popups(folder);
        const bool progress = Progress(folder, language);
        return popups && progress ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
