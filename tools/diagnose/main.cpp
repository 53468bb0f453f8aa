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
    const std::optional<TDiagnoseInfo> info = TDiagnoseInfo::ReadCommandLine(arguments);
    if (!info)
        return 0;
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(TDiagnoseInfo::Title);
    TfMain form;
    form.ShowConnectInfo(*info);
    form.exec();
    return 0;
}
