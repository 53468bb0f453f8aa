// The swap program's work: wait until a program has ended, move its parked new version into
// place, start it again. The order comes as one argument of CR LF-ended lines: the program,
// its parked file, "True" to start it again, "WriteLog" to keep a log. It never touches a
// file outside its own folder.
#pragma once

#include <QList>
#include <QString>

#include <optional>

struct SwitchOrder
{
    QString program;
    QString parked;
    bool restart = false;
    bool writeLog = false;

    // Nothing when the text has fewer than two lines or names a file outside the folder.
    static std::optional<SwitchOrder> Parse(const QString &text);
};

// Ids of the processes (other than this one) that run the program file at path.
QList<qint64> ProcessesRunning(const QString &path);
// True once no process runs the file; false when one still does after timeoutMs.
bool WaitUntilEnded(const QString &path, int timeoutMs);
// Carries the order out in folder; 0 when the new version is in place (and started when asked).
int RunSwitch(const SwitchOrder &order, const QString &folder, int waitTimeoutMs);
