#include "updating/WebServiceSettings.h"

#include "foundation/FileResolver.h"
#include "foundation/uCommon.h"

namespace WebServiceSettings {

QString SettingsFile(const QString &programFolder)
{
    return FileResolver::resolve(programFolder, QStringLiteral("settings.ini"));
}

QString Host(const QString &programFolder, const char *key)
{
    const TvoLocalConfigFile settings(SettingsFile(programFolder));
    QString host = settings.ReadString(QLatin1String(Section), QLatin1String(key), QString()).trimmed();
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host;
}

} // namespace WebServiceSettings
