// Hollem: backs up the system's database into the data server's "Backup" folder, silently when
// the first argument says "backup", else from a window that also restores a chosen backup.
#include "fMain.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>

#include <cstdio>

namespace {

// One backup without a window; a failure is a log line and a non-zero exit status.
int SilentBackup(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Hollem"));
    TDM dm(QCoreApplication::applicationDirPath());
    try {
        dm.Connect();
    } catch (const std::exception &e) {
        dm.Log(QStringLiteral("Connect"), QString::fromUtf8(e.what()));
        std::fprintf(stderr, "Hollem: %s\n", e.what());
        return 1;
    }
    try {
        dm.BackupDatabase();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Hollem: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (TDM::IsSilent(arguments))
        return SilentBackup(argc, argv);

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Hollem"));
    TDM dm(QApplication::applicationDirPath());
    QMessageBox::warning(nullptr, QStringLiteral("Warning"),
                         QStringLiteral("This utility only works for installations where the sql-server and application is "
                                        "installed on the same machine"));
    dm.Initialize();
    TfMain form(dm);
    form.exec();
    dm.Disconnect();
    return 0;
}
