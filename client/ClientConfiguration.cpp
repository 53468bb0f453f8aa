#include "client/ClientConfiguration.h"

#include "foundation/FileResolver.h"
#include "foundation/IniFile.h"
#include "foundation/WriteFolder.h"
#include "foundation/uCommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QStringList kMailFields = {QStringLiteral("smtpserver"),      QStringLiteral("smtpserverport"),
                                 QStringLiteral("smtpusessl"),      QStringLiteral("sendusername"),
                                 QStringLiteral("sendemailaddress"), QStringLiteral("senduserreplyemailaddress")};

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

TClientConfiguration::TClientConfiguration(const QString &programPath)
    : m_programPath(QFileInfo(programPath).absoluteFilePath())
    , m_programFolder(withSlash(QFileInfo(programPath).absolutePath()))
{
}

QString TClientConfiguration::SettingsFile() const
{
    return FileResolver::resolve(m_programFolder, QStringLiteral("Settings.ini"));
}

QString TClientConfiguration::UserStateFolder()
{
    return ::UserStateFolder();
}

QString TClientConfiguration::WriteFolder(const QString &programFolder)
{
    return WriteFolderOf(programFolder);
}

bool TClientConfiguration::ProgramFolderWritable() const
{
    return WriteFolder(m_programFolder) == m_programFolder;
}

QString TClientConfiguration::UserSettingsFile() const
{
    return FileResolver::resolve(WriteFolder(m_programFolder), QStringLiteral("Settings.ini"));
}

QString TClientConfiguration::Read(const QString &key, const QString &defaultValue) const
{
    const QString own = UserSettingsFile();
    const QString shared = SettingsFile();
    if (own != shared) {
        IniFile user(own);
        if (user.load() && user.contains(Section, key))
            return user.value(Section, key);
    }
    return TvoLocalConfigFile(shared).ReadString(Section, key, defaultValue);
}

bool TClientConfiguration::Write(const QString &key, const QString &value) const
{
    return IniFile::writeString(UserSettingsFile(), Section, key, value);
}

QString TClientConfiguration::ApplicationID() const
{
    return Read(QStringLiteral("ApplicationID"), QStringLiteral("A01"));
}

QString TClientConfiguration::HelpFile() const
{
    const QString value = Read(QStringLiteral("Helpfile"), QString());
    return value.isEmpty() ? m_programFolder + QStringLiteral("help/index.html") : value;
}

bool TClientConfiguration::UseDiscovery() const
{
    return StrToBoolDef(Read(QStringLiteral("Use discovery"), QStringLiteral("True")), true);
}

QString TClientConfiguration::LanguagePack() const
{
    const QString value = Read(QStringLiteral("LanguagePack"), QString());
    if (!value.isEmpty())
        return value;
    const QFileInfo program(m_programPath);
    return m_programFolder + program.completeBaseName() + QStringLiteral(".lng");
}

QString TClientConfiguration::PluginsPath() const
{
    const QString value = Read(QStringLiteral("Plugins Path"), QString());
    return withSlash(value.isEmpty() ? m_programFolder + QStringLiteral("PlugIns") : value);
}

bool TClientConfiguration::AnimateSplash() const
{
    return Read(QStringLiteral("Animate splash"), QStringLiteral("True")).toUpper() == QLatin1String("TRUE");
}

QString TClientConfiguration::ServicePack() const
{
    return Read(QStringLiteral("Service pack"), QStringLiteral("0"));
}

bool TClientConfiguration::ShowWhatsNew() const
{
    return Read(QStringLiteral("ShowWhatsNew"), QStringLiteral("TRUE")).toUpper() == QLatin1String("TRUE");
}

bool TClientConfiguration::SetShowWhatsNew(bool show) const
{
    return Write(QStringLiteral("ShowWhatsNew"), show ? QStringLiteral("True") : QStringLiteral("False"));
}

bool TClientConfiguration::EnableReportDesigner() const
{
    return StrToBoolDef(Read(QStringLiteral("Enable Report Designer"), QStringLiteral("True")), true);
}

QString TClientConfiguration::ReportFolder() const
{
    return m_programFolder + QStringLiteral("Reports/");
}

QVariantMap TClientConfiguration::MailConfiguration() const
{
    const TvoLocalConfigFile file(SettingsFile());
    QVariantMap fields;
    for (const QString &name : kMailFields)
        fields.insert(name, file.ReadString(MailSection, name, QString()));
    return fields;
}
