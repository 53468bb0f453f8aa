// The client's settings file: <program folder>"Settings.ini", section "System settings", with
// the fallback of every key, and the mail configuration of its "Mail" section. Each read goes
// to the file, so a value the updater or another window wrote is seen at once.
#pragma once

#include <QString>
#include <QVariantMap>

class TClientConfiguration
{
public:
    static inline const QString Section = QStringLiteral("System settings");
    static inline const QString MailSection = QStringLiteral("Mail");

    // programPath: the program file; its folder holds the settings file.
    explicit TClientConfiguration(const QString &programPath);

    QString ProgramPath() const { return m_programPath; }
    // With a trailing "/".
    QString ProgramFolder() const { return m_programFolder; }
    QString SettingsFile() const;

    QString ApplicationID() const;
    // The help folder's contents page when the key is empty.
    QString HelpFile() const;
    bool UseDiscovery() const;
    // The program file name with ".lng" when the key is empty.
    QString LanguagePack() const;
    // <program folder>"PlugIns/" when the key is empty; always with a trailing "/".
    QString PluginsPath() const;
    bool AnimateSplash() const;
    // "0" means none.
    QString ServicePack() const;
    bool ShowWhatsNew() const;
    void SetShowWhatsNew(bool show) const;
    bool EnableReportDesigner() const;
    // <program folder>"Reports/", whether it exists or not.
    QString ReportFolder() const;
    // The fields of the mail configuration by their standard names; the SMTP password is not
    // kept in this file.
    QVariantMap MailConfiguration() const;

    QString Read(const QString &key, const QString &defaultValue) const;

private:
    QString m_programPath;
    QString m_programFolder;
};
