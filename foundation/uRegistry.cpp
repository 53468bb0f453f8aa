#include "foundation/uRegistry.h"

#include "foundation/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

const QString ProductKey = QStringLiteral("SOFTWARE\\Orbek\\Kestrova");

// Sections are matched without case, as registry keys are; one separator spelling for all.
QString TQorReg::KeySection(const QString &keyPath)
{
    QString path = keyPath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}

QString TQorReg::StorePath(HKEY root)
{
    const QString override = qEnvironmentVariable("KESTROVA_REGISTRY_DIR");
    if (root == HKEY_CURRENT_USER) {
        if (!override.isEmpty())
            return QDir(override).filePath(QStringLiteral("user.ini"));
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty())
            config = QDir::homePath() + QStringLiteral("/.config");
        return config + QStringLiteral("/Orbek/Kestrova.ini");
    }
    if (root == HKEY_LOCAL_MACHINE) {
        if (!override.isEmpty())
            return QDir(override).filePath(QStringLiteral("machine.ini"));
        return QStringLiteral("/etc/xdg/Orbek/Kestrova.ini");
    }
    return {};
}

void TQorReg::ReadString(HKEY root, const QString &keyPath, QString &value, const QString &defaultValue,
                         const QString &valueName)
{
    value = defaultValue;
    const QString store = StorePath(root);
    if (store.isEmpty())
        return;
    const QString found = IniFile::readString(store, KeySection(keyPath), valueName, QString());
    if (!found.isEmpty())
        value = found;
}

void TQorReg::WriteString(HKEY root, const QString &keyPath, const QString &value, const QString &valueName)
{
    const QString store = StorePath(root);
    if (store.isEmpty() || !QDir().mkpath(QFileInfo(store).absolutePath()))
        return;
    IniFile::writeString(store, KeySection(keyPath), valueName, value);
}

void TQorReg::WriteSecretString(HKEY root, const QString &keyPath, const QString &value, const QString &valueName)
{
    const QString store = StorePath(root);
    if (store.isEmpty() || !QDir().mkpath(QFileInfo(store).absolutePath()))
        return;
    IniFile::writeStrings(store, {{KeySection(keyPath), valueName, value}}, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
