// Backups of the system's database with PostgreSQL's own programs: pg_dump in its custom
// format, pg_restore into a database of its own that takes the live one's place only once the
// restore succeeded. The server's start-up backup and the backup program both use it. The
// password travels in a password file of mode 0600, never on a command line.
#pragma once

#include "server/database/ServerDatabaseExport.h"

#include <QString>
#include <QStringList>

class IDAConnection;

class SERVER_DATABASE_EXPORT TDatabaseBackup
{
public:
    // Where CREATE DATABASE and the swap of a restore are run.
    static inline const QString MaintenanceDatabase = QStringLiteral("postgres");

    // connectionString: the database's connection string in the system's grammar. Throws when
    // it names no database or one whose name is not a plain identifier.
    explicit TDatabaseBackup(const QString &connectionString);

    QString DatabaseName() const { return m_database; }

    // Writes the whole database to file, first under a name of its own beside it: an earlier
    // file of that name stays until the new backup is complete. The file holds the parish's
    // data and is readable by its owner only. Throws with pg_dump's message.
    void Backup(const QString &file) const;
    // Throws when the file is not a backup that pg_restore can read.
    void Check(const QString &file) const;
    // Replaces the database by the file's content. The file is checked first, restored into
    // a new database and swapped in only when the whole restore succeeded; on any failure
    // the live database is left as it was and the new one removed. Throws with the reason.
    void Restore(const QString &file) const;

    // A restore claims its side database on its maintenance session before making it, and
    // holds the claim until that session ends: a side database nobody claims is one no restore
    // uses, whatever sessions (an autovacuum worker, a killed restore's) are still in it.
    // False when the claim is held by another session.
    static bool ClaimSide(IDAConnection &maintenance, const QString &side);
    static void ReleaseSide(IDAConnection &maintenance, const QString &side);

    // The PostgreSQL program of that name: on the search path, else PostgreSQL 15's own folder.
    static QString Program(const QString &name);

private:
    QStringList ConnectionArguments(const QString &database) const;
    // Runs the program with the password file in its environment; throws with its messages.
    void Run(const QString &program, const QStringList &arguments) const;
    // Reads the whole file, data included, without a database; throws, naming the file, when
    // it is damaged.
    void CheckWhole(const QString &file) const;

    QString m_connectionString;
    QString m_host;
    QString m_port;
    QString m_database;
    QString m_user;
    QString m_password;
};
