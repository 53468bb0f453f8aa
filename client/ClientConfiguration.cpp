#include "client/ClientConfiguration.h"

#include "foundation/FileResolver.h"
#include "foundation/uCommon.h"

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

QString TClientConfiguration::Read(const QString &key, const QString &defaultValue) const
{
    return TvoLocalConfigFile(SettingsFile()).ReadString(Section, key, defaultValue);
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

void TClientConfiguration::SetShowWhatsNew(bool show) const
{
    TvoLocalConfigFile(SettingsFile()).WriteString(Section, QStringLiteral("ShowWhatsNew"),
                                                   show ? QStringLiteral("True") : QStringLiteral("False"));
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
