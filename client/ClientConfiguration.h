// The client's settings file: <program folder>"Settings.ini", section "System settings", with
// the fallback of every key, and the mail configuration of its "Mail" section. Each read goes
// to the file, so a value the updater or another window wrote is seen at once.
// A program folder shared by a computer's users cannot be written by them: then every file the
// client writes (session log, crash report, the user's choices) goes to the user's own state
// folder, and a choice kept there is read over the program folder's settings file.
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
    // The settings file this user's choices are written to: the program folder's where it can be
    // written, else the one in the user's state folder.
    QString UserSettingsFile() const;

    // Where the program writes, with a trailing "/": its own folder where that can be written (a
    // checkout's stage), else UserStateFolder(), made when missing.
    static QString WriteFolder(const QString &programFolder);
    // False where this user cannot write the program folder (an installation shared by users).
    bool ProgramFolderWritable() const;
    // $XDG_STATE_HOME (else ~/.local/state) + "/Orbek/Kestrova/".
    static QString UserStateFolder();

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
    // False when the choice could not be stored.
    bool SetShowWhatsNew(bool show) const;
    bool EnableReportDesigner() const;
    // <program folder>"Reports/", whether it exists or not.
    QString ReportFolder() const;
    // The fields of the mail configuration by their standard names; the SMTP password is not
    // kept in this file.
    QVariantMap MailConfiguration() const;

    // The user's value where one is kept, else the program folder's, else the default.
    QString Read(const QString &key, const QString &defaultValue) const;
    // Into UserSettingsFile(); false when it cannot be written.
    bool Write(const QString &key, const QString &value) const;

private:
    QString m_programPath;
    QString m_programFolder;
};
