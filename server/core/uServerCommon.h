// The data server's own common routines: where and how it runs (in the registry store), starting
// a helper program hidden, and the two calendar rules by which the scheduler counts a Saturday
// evening service as part of the weekend.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// "Application" when application is true, else "Service"; with the program folder, under the
// machine-wide product key. Nothing is written when that key does not exist yet.
void SetServerRunMode(bool application, const QString &programFolder);
// Starts a program detached with its argument list (no shell); false when it could not start.
bool RunHidden(const QString &program, const QStringList &arguments);
// Sunday, or Saturday from 16:00 on.
bool IsWeekendService(const QDateTime &when);
// 1 to 5: the ordinal of the weekday in its month, a Saturday evening counted as its Sunday.
int WeekOfMonthForService(const QDateTime &when);
