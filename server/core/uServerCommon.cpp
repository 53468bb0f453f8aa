#include "server/core/uServerCommon.h"

#include "foundation/IniFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"

#include <QFileInfo>

void SetServerRunMode(bool application, const QString &programFolder)
{
    // The installation makes the product key; without it there is nothing to record into.
    const QString store = TQorReg::StorePath(HKEY_LOCAL_MACHINE);
    IniFile ini(store);
    if (!QFileInfo::exists(store) || !ini.load())
        return;
    bool keyExists = false;
    for (const QString &section : ini.sections())
        keyExists = keyExists || section.compare(ProductKey, Qt::CaseInsensitive) == 0;
    if (!keyExists)
        return;
    TQorReg::WriteString(HKEY_LOCAL_MACHINE, ProductKey,
                         application ? QStringLiteral("Application") : QStringLiteral("Service"),
                         QStringLiteral("Server run-mode"));
    TQorReg::WriteString(HKEY_LOCAL_MACHINE, ProductKey, programFolder, QStringLiteral("Server path"));
}

bool RunHidden(const QString &program, const QStringList &arguments)
{
    return RunProgram(program, arguments);
}

bool IsWeekendService(const QDateTime &when)
{
    const int day = when.date().dayOfWeek();
    if (day == Qt::Sunday)
        return true;
    return day == Qt::Saturday && when.time() >= QTime(16, 0);
}

int WeekOfMonthForService(const QDateTime &when)
{
    QDate date = when.date();
    if (date.dayOfWeek() == Qt::Saturday && when.time().hour() >= 16)
        date = date.addDays(1);
    return (date.day() - 1) / 7 + 1;
}
