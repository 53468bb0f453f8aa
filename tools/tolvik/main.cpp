// Tolvik: the support tool. It brings itself and its task file up to date, collects what the
// task file asks for about this machine into a report and sends it to support or saves it.
#include "tools/tolvik/uDM.h"
#include "tools/tolvik/uQorCustomerInfo.h"
#include "tools/tolvik/uQorPathHelper.h"

#include "updating/uDMUpdater.h"
#include "updating/ufUpdater.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyleFactory>

namespace {

const QString kProgram = QStringLiteral("Tolvik");

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationDisplayName(QStringLiteral("Support Tool"));
    const QString folder = QCoreApplication::applicationDirPath();
    const QString version = TvoSysInfo::GetFileVersion(QCoreApplication::applicationFilePath());

    TQorLog log;
    SessionLog = &log;
    const QFileInfo program(QCoreApplication::applicationFilePath());
    log.SetFileName(program.absolutePath() + QLatin1Char('/') + program.completeBaseName() + QStringLiteral(".log"));
    log.SetEnabled(true);
    log.CreateHeader(QStringLiteral(" Quorva Support Tool\t") + version, QStringLiteral("Server path: ") + folder);
    log.SetTimeStamp(true);

    TDM dm(folder, version);
    TQorPathHelper::Initialize(folder, TQorCustomerInfo::DefaultKeyPath());
    bool handOver = false;
    {
        TfUpdater progress;
        dm.ShowSplash();
        dm.ShowSplashNow();
        TDMUpdater updater(folder);
        updater.SetProductShortName(QStringLiteral("SupportFeedback"));
        updater.SetProgressWindow(&progress);
        handOver = updater.CheckForUpdate(folder, kProgram);
        // The task file is fetched at every start, whatever version is here.
        updater.UpdateProduct(QStringLiteral("SupportConfiguration"), folder, QStringLiteral("configuration.xml"), false,
                              true);
    }
    int result = 0;
    if (handOver)
        TDMUpdater::HandOver(folder, kProgram);
    else
        result = dm.RunWizard();
    log.CreateFooter();
    return result;
}
