// The swap program's work: wait until a program has ended, move its parked new version into
// place, start it again. The order comes as one argument of CR LF-ended lines: the program,
// its parked file, "True" to start it again, "WriteLog" to keep a log; the arguments after it
// are the program's own for its restart. "--in-process" before the list restarts the program
// in Switch's own process (a service hands over that way, so its service manager keeps the
// process it watches). It never touches a file outside its own folder.
#pragma once

#include <QList>
#include <QStringList>
#include <QString>

#include <optional>

struct SwitchOrder
{
    QString program;
    QString parked;
    bool restart = false;
    bool writeLog = false;
    QStringList arguments;
    bool inProcess = false;

    // Nothing when the text has fewer than two lines or names a file outside the folder.
    static std::optional<SwitchOrder> Parse(const QString &text);
    // The order from Switch's arguments (without its own name): [--in-process] list [argument...].
    static std::optional<SwitchOrder> FromArguments(const QStringList &arguments);
};

// Ids of the processes (other than this one) that run the program file at path.
QList<qint64> ProcessesRunning(const QString &path);
// True once no process runs the file; false when one still does after timeoutMs.
bool WaitUntilEnded(const QString &path, int timeoutMs);
// Carries the order out in folder; 0 when the new version is in place (and started when asked).
int RunSwitch(const SwitchOrder &order, const QString &folder, int waitTimeoutMs);
