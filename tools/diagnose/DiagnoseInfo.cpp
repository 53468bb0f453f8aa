#include "DiagnoseInfo.h"

std::optional<TDiagnoseInfo> TDiagnoseInfo::ReadCommandLine(const QStringList &arguments)
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
        info.Link = FaqAddress;
    }
    return info;
}
