// The backup program's data module: the connection to the database the data server's settings
// name, backups into the server's "Backup" folder, restores from one of them, and the run log
// "backup.txt", to which each line is appended as it happens.
#pragma once

#include "pgdriver/uDAADODriver.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class IDAConnection;
class TDAConnectionManager;

// One file of the backup folder as the window lists it.
struct TBackupEntry
{
    QString Path;
    QString FileName;
    // The time in the file's name where it has one, else its last change, as text.
    QString CreatedText;
    // The time in the file's name, else its last change; the list's order.
    QDateTime Time;
    int Copy = 1;
};

class TDM
{
public:
    using Clock = std::function<QDateTime()>;
    static inline const QString NoConnectionText =
        QStringLiteral("No connectionstring was found. Are you missing the file settings.ini?");

    // programFolder: where "settings.ini", "Backup" and "backup.txt" are.
    explicit TDM(const QString &programFolder, Clock clock = &QDateTime::currentDateTime);
    ~TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    // The first argument asks for one backup without a window when it holds "backup" in any case.
    static bool IsSilent(const QStringList &arguments);
    // "SQLBackup(yyyy-mm-dd hh.nn.ss).bak"; a second backup of the same second gets "-2" before
    // the extension, and so on.
    static QString BackupFileName(const QDateTime &time, int copy = 1);
    // Every "*.bak" file of the folder (any case), newest first by the time in its name.
    static QList<TBackupEntry> ListBackups(const QString &backupFolder);

    QString GetFolder() const { return m_folder; }
    QString BackupFolder() const;
    // Opens the database of [Data Access] DataSource and keeps the connection; throws.
    void Connect();
    bool Connected() const;
    // Logs the start, makes the backup folder when there is none, removes what a restore cut
    // short left behind and connects; a failure to connect is dropped (the window opens all the same).
    void Initialize();
    // Drops the side databases of restores that never finished and that no restore at work claims,
    // ending any session still in them, each with a log line (one that is kept, too); answers
    // their names. Throws when the server cannot be reached.
    QStringList RemoveLeftovers();
    void Disconnect();
    void Log(const QString &first, const QString &second);
    // This run's lines of "backup.txt".
    const QStringList &LogLines() const { return m_log; }

    // Makes a backup under a name no other backup has; answers its path. Throws, after a log line.
    QString BackupDatabase();
    // Replaces the database by the backup's content, or makes it when it is missing; the live
    // database stays as it was when the file cannot be restored whole. Connects afterwards.
    // Throws, after a log line.
    void RestoreDatabase(const QString &path);

private:
    QString DataSource() const;
    void AppendLine(const QString &line);

    TDAADODriver m_driver;
    QString m_folder;
    Clock m_clock;
    QStringList m_log;
    std::unique_ptr<TDAConnectionManager> m_connections;
    std::unique_ptr<IDAConnection> m_connection;
    // "backup.txt", kept open for the run.
    QFile m_logFile;
};
