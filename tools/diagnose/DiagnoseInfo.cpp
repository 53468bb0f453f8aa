#include "DiagnoseInfo.h"

#include <QDir>
#include <QUrl>

QString TDiagnoseInfo::FaqAddress(const QString &programFolder)
{
    return QUrl::fromLocalFile(QDir(programFolder).absoluteFilePath(FaqPage)).toString();
}

std::optional<TDiagnoseInfo> TDiagnoseInfo::ReadCommandLine(const QStringList &arguments, const QString &programFolder)
{
    if (arguments.size() < 2)
        return std::nullopt;
    const QString argument = arguments.at(1);
    TDiagnoseInfo info;
    info.ClientInstallation = argument.compare(QLatin1String("Client"), Qt::CaseInsensitive) == 0;
    // Everything after the first ";" is the address, further ";" included.
    const qsizetype separator = argument.indexOf(QLatin1Char(';'));
    info.Address = separator < 0 ? QString() : QStringLiteral("Trying to connect to : ") + argument.mid(separator + 1);
    if (info.ClientInstallation) {
        info.Advice = DesignAdvice;
    } else {
        info.Advice = SingleAdvice;
        info.Link = FaqAddress(programFolder);
    }
    return info;
}
