// Update: brings a client installation up to the client version its data server holds and
// starts the client again. Command line: the server's URL, the application id, the client
// program, then the arguments the client is started with again.
#include "tools/update/UpdateTexts.h"
#include "tools/update/uDM.h"
#include "tools/update/ufMain.h"

#include "updating/uDMUpdater.h"
#include "updating/ufUpdater.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/WriteFolder.h"
#include "foundation/uCommon.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QStyleFactory>

namespace {

const QString kProgram = QStringLiteral("Update");

} // namespace

namespace {

int run(QApplication &app, const QString &folder)
{
    // Opened first, so that what the self-update finds is kept too; where the client writes its
    // own log, since a shared installation's folder is not this user's to write.
    TQorLog log;
    SessionLog = &log;
    log.SetFileName(WriteFolderOf(folder) + QFileInfo(TQorLog::DefaultFileName()).fileName());
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationDisplayName(QStringLiteral("Updater"));
    try {
        return run(app, QCoreApplication::applicationDirPath());
    } catch (const std::exception &error) {
        // Started hidden by the client, the updater has no other way to be heard.
        QMessageBox::critical(nullptr, UpdateTexts::Text(UpdateTexts::Title), QString::fromUtf8(error.what()));
        return 1;
    }
}
