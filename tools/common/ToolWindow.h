// Small helpers the tools' windows share (header only: each tool is one program).
#pragma once

#include <QGuiApplication>
#include <QString>

namespace ToolWindow {

// The system's texts keep their CR LF and single CR line ends; on screen each is one break.
inline QString ScreenText(const QString &text)
{
    return QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// The hourglass for the time of a call, also when it throws.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace ToolWindow
