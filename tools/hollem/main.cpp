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

// Asked for on a console, perhaps one without a screen: never the window.
bool AsksForHelp(const QStringList &arguments)
{
    return arguments.size() > 1
        && (arguments.at(1) == QLatin1String("--help") || arguments.at(1) == QLatin1String("-h") || arguments.at(1) == QLatin1String("/?"));
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (AsksForHelp(arguments)) {
        std::printf("Usage: Hollem [backup]\n"
                    "Backs up the database that settings.ini beside the program names into the Backup folder there.\n"
                    "  (none)   opens the window, which also restores a chosen backup\n"
                    "  backup   makes one backup without a window (any first argument holding \"backup\");\n"
                    "           a failure ends with a non-zero status and a line in backup.txt\n"
                    "  --help   prints this text\n");
        return 0;
    }
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
