// Diagnose: tells the user of a client that cannot reach its local data server which address
// was tried and where to read more. Without an argument it ends at once.
#include "fMain.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Read before the application exists: without an argument no display is needed.
    std::optional<TDiagnoseInfo> info = TDiagnoseInfo::ReadCommandLine(arguments, QString());
    if (!info)
        return 0;
    QApplication app(argc, argv);
    // The help's folder is known only now.
    if (!info->Link.isEmpty())
        info->Link = TDiagnoseInfo::FaqAddress(QApplication::applicationDirPath());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(TDiagnoseInfo::Title);
    TfMain form;
    form.ShowConnectInfo(*info);
    form.exec();
    return 0;
}
