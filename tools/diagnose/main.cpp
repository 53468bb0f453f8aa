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
    if (!TDiagnoseInfo::ReadCommandLine(arguments, QString()))
        return 0;
    QApplication app(argc, argv);
    const std::optional<TDiagnoseInfo> info = TDiagnoseInfo::ReadCommandLine(arguments, QApplication::applicationDirPath());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(TDiagnoseInfo::Title);
    TfMain form;
    form.ShowConnectInfo(*info);
    form.exec();
    return 0;
}
