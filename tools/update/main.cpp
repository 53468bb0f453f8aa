// Update: brings a client installation up to the client version its data server holds and
// starts the client again. Command line: the server's URL, the application id, the client
// program, then the arguments the client is started with again.
#include "tools/update/UpdateTexts.h"
#include "tools/update/uDM.h"
#include "tools/update/ufMain.h"

#include "updating/uDMUpdater.h"
#include "updating/ufUpdater.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QApplication>
#include <QStyleFactory>

namespace {

const QString kProgram = QStringLiteral("Update");

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationDisplayName(QStringLiteral("Updater"));
    const QString folder = QCoreApplication::applicationDirPath();

    // Opened first, so that what the self-update finds is kept too.
    TQorLog log;
    SessionLog = &log;
    log.SetFileName(TQorLog::DefaultFileName());
    log.SetEnabled(true);
    log.CreateHeader(QStringLiteral("Application updater"), folder);
    log.SetTimeStamp(true);

    {
        TfUpdater progress;
        TDMUpdater updater(folder);
        updater.SetProductShortName(QStringLiteral("Kestrova_Updater"));
        updater.SetProgressWindow(&progress);
        if (updater.CheckForUpdate(folder, kProgram)) {
            // The swap program puts the new updater in place; this one ends at once.
            TDMUpdater::HandOver(folder, kProgram);
            log.CreateFooter();
            return 0;
        }
    }

    TDM dm;
    TfMain window(dm, folder, TvoSysInfo::GetFileVersion(QCoreApplication::applicationFilePath()),
                  QCoreApplication::arguments());
    window.show();
    const int result = app.exec();
    log.CreateFooter();
    return result;
}
