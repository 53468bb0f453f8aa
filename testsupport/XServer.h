// A private X server for tests that drive a program the way a user does: Xvfb on a display
// number it picks itself (-displayfd, so parallel runs never meet), no window manager; mouse
// and keys go through the X server by xdotool, pictures of the screen come from ImageMagick's
// import. XTestMain.cpp starts one before the QApplication, which then runs on it (xcb).
#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class QWidget;

namespace kestrova::test {

class XServer
{
public:
    // Starts Xvfb with one screen of that size; Error() says why when it did not.
    explicit XServer(QSize screen = {1280, 800});
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    bool Running() const { return m_pid > 0 && m_error.isEmpty(); }
    QString Error() const { return m_error; }
    // ":<number>", what DISPLAY names.
    QString Display() const { return m_display; }

    // The pointer to that place of the screen, then a press and a release of the button there.
    bool Click(QPoint global, int button = 1) const;
    // Left clicks at those places one after the other, that long apart, whatever the program
    // is doing meanwhile: as a user who does not wait.
    bool Clicks(const QList<QPoint> &places, int pauseMs) const;
    bool MoveTo(QPoint global) const;
    // Keys as xdotool names them ("Return", "ctrl+s", "Down").
    bool Key(const QString &keys) const;
    bool Type(const QString &text) const;
    // The whole screen into a PNG file.
    bool Screenshot(const QString &path) const;

    // The share of the widget's pixels that the screen does not show as the widget draws itself
    // now: 0 when it is on screen, near 1 when an older picture stays there.
    static double NotOnScreen(QWidget *widget);

    // Shows the top-level window, raises it and gives it the keyboard, which no window manager
    // does here: true once it is on screen and Qt has it as the active window, so that keys
    // sent through the server reach its focused widget.
    static bool ShowActive(QWidget *window);
    // The whole screen into a PNG file once the window is on it as it draws itself now: false
    // when the screen still shows an older picture of it after a few seconds.
    bool ScreenshotOf(QWidget *window, const QString &path) const;

    // The one of the test program, once XTestMain started it.
    static XServer *Instance();
    static void SetInstance(XServer *server);

private:
    bool Run(const QString &program, const QStringList &arguments) const;

    pid_t m_pid = -1;
    QString m_display;
    QString m_error;
};

// The pictures one test keeps of the screen, numbered in the order taken, in a folder named
// after the running test under the build's artefacts folder (emptied when the test starts).
class TestPictures
{
public:
    TestPictures();
    // The whole screen now.
    bool Take(const QString &what);
    // The whole screen once it shows the window as the window draws itself now.
    bool TakeOf(QWidget *window, const QString &what);

private:
    QString Next(const QString &what);

    QString m_folder;
    int m_count = 0;
};

} // namespace kestrova::test
