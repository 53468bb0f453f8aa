#include "client/QuorvaMain.h"

#include "client/ClientConfiguration.h"
#include "client/CrashHandler.h"
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uLocaleInfo.h"
#include "client/uMemoryInfo.h"
#include "client/uSystemInfo.h"

#include "foundation/uCommon.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

int QuorvaMain(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString programPath = QCoreApplication::applicationFilePath();
    QString version = TvoSysInfo::GetFileVersion(programPath);
    if (version.isEmpty())
        version = TvoSysInfo::BuildVersion();
    TQorCrashHandler::Install(TClientConfiguration::WriteFolder(QFileInfo(programPath).absolutePath()) + QStringLiteral("crashreport.txt"),
                              QStringLiteral("Quorva Kestrova : ") + version);
    TSystemParametersInfo::RegisterSection();
    TMemoryInfo::RegisterSection();
    TLocaleInfo::RegisterSection();
    int status = 0;
    {
        THostComponentFactory factory;
        TQuorvaSteps steps(programPath, factory);
        try {
            TQuorvaStartup(steps, programPath, version).Run();
        } catch (const std::exception &e) {
            // A start refused before the plug-ins load: the reporter says why, then the program ends.
            TQorCrashHandler::ReportException(QString::fromUtf8(e.what()));
            std::fprintf(stderr, "Quorva: %s\n", e.what());
            status = 1;
        }
    }
    TLocaleInfo::UnregisterSection();
    TMemoryInfo::UnregisterSection();
    TSystemParametersInfo::UnregisterSection();
    return status;
}
