// The database run of the setup program, without its window: reads the data server's
// settings file beside the program, tests the server named in its connection string, and
// creates, overwrites or migrates the database from the shipped scripts. A new database is
// built under a name of its own inside one transaction and takes the real name only after it
// committed; the settings file changes only after that. Each step is a line of the run log.
#pragma once

#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// What the run asks of whoever shows it; the window answers with message boxes, tests script it.
struct TStelvarPrompts
{
    // A Yes/No question; true for Yes.
    std::function<bool(const QString &caption, const QString &text)> AskYesNo;
    std::function<void(const QString &text)> ShowMessage;
    // The caption under the progress bar, the bar's position and its maximum.
    std::function<void(const QString &caption, int position, int maximum)> ReportProgress;
};

class TStelvarSetup
{
public:
    static inline const QString SettingsFileName = QStringLiteral("settings.ini");
    static inline const QString LogFileName = QStringLiteral("mssql_updatelog.txt");
    static inline const QString ReadyText = QStringLiteral("Your database is now ready.\r\n\r\nSetup is finished");
    static inline const QString NotFinishedText =
        QStringLiteral("Your database-setup did not finish.\r\n\r\nTry again or contact customer-support.");
    static inline const QString ExistsCaption = QStringLiteral("Database exists");
    static inline const QString ExistsText = QStringLiteral("A database already exists.\r\nDo you want to overwrite it?");

    // programFolder: where "settings.ini", the log and "mssqlScripts" are.
    explicit TStelvarSetup(const QString &programFolder);
    ~TStelvarSetup();

    QString ProgramFolder() const { return m_programFolder; }
    QString SettingsPath() const;
    bool SettingsExist() const;
    // Reads [Data Access] DataType and DataSource ("NA" when missing).
    void LoadSettings();
    QString DataType() const { return m_dataType; }
    // The data source the run builds and writes back.
    QString TargetConnectionString() const { return m_target; }
    void SetTargetConnectionString(const QString &connectionString) { m_target = connectionString; }
    // A migration needs an older installation: DataType "Access" in any letter case.
    bool MigrationAllowed() const;

    // Opens the maintenance database of the target's server. False, with the reason, when it
    // cannot be reached or the target names no database or one that is not a plain name.
    bool TestServerConnection(QString *reason = nullptr);
    QString MasterConnectionString() const { return m_master; }

    // The whole run; true when the database is ready (also when the user kept the existing one).
    // After a migration that cleaned rows or left a table behind, a summary says what and why
    // before the final message.
    bool RunSetup(bool migrate, const TStelvarPrompts &prompts);

    // The tables a migration copies, in order, each with the caption of its group.
    struct MigratedTable
    {
        QString caption;
        QString table;
    };
    static const QList<MigratedTable> &MigratedTables();
    // The clean-up of migrated rows: statement, the log text after the row count, and why the
    // rows go, as the summary on screen says it.
    struct Cleaning
    {
        QString statement;
        QString verb;
        QString text;
        QString reason;
    };
    static const QList<Cleaning> &CleaningStatements();
    // What the clean-up changed (rows per statement) and the tables left behind, as one text;
    // empty when there is nothing to say.
    static QString MigrationSummary(const QList<int> &cleaned, const QStringList &leftBehind);

private:
    struct Run;
    void Log(const QString &text);
    QStringList LoadScript(const QString &name) const;
    bool Build(Run &run, bool migrate);

    TDAADODriver m_driver;
    QString m_programFolder;
    QString m_dataType;
    QString m_target;
    // The older database a migration reads: [Data Access] Access.
    QString m_source;
    QString m_master;
    TDAConnectionManager m_connections;
    QFile m_log;
};
