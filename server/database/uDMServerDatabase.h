// The database part of the server data module: the patch ladder that brings a database to
// the current schema version, the small schema operations its steps use, the calendar import and the
// script runner. Everything runs on the connection given, inside the transaction its caller
// opened; nothing here begins, commits or rolls back that transaction.
#pragma once

#include "server/database/ServerDatabaseExport.h"

#include <QString>
#include <QStringList>

class IDAConnection;

// The schema version this program expects; the ladder climbs to it.
constexpr int kDatabaseVersion = 32;

class SERVER_DATABASE_EXPORT TDMServerDatabase
{
public:
    // dataType is the settings' [Data Access] "Datatype" ("MSSQL"); programFolder holds the
    // calendar file.
    TDMServerDatabase(IDAConnection &connection, const QString &dataType, const QString &programFolder);

    // Performs the step of the stored version and climbs on; answers whether the step taken
    // at this call succeeded. Each step runs in a savepoint of its own: a failing step is
    // undone whole and leaves the version where it was.
    bool PreformDatabaseUpdate();

    void SetDatabaseVersion(int version);
    // These three log a failure and return normally.
    void AddDatabaseField(const QString &table, const QString &column, const QString &type);
    void RemoveDatabaseField(const QString &table, const QString &column, const QString &index);
    // These three log a failure and raise it again.
    void RemoveTable(const QString &table);
    void ChangeFieldType(const QString &table, const QString &column, const QString &type);
    void UpdateStoredQuery(const QString &name, const QString &text, const QString &kind);
    // Replaces the object with its text of that variant; a name or variant without a text
    // does nothing.
    void GetStoredQueryText(const QString &name, int variant, const QString &kind);
    // The text of an object by name and variant, empty when there is none.
    static QString StoredQueryText(const QString &name, int variant);

    // Replaces every calendar row with those of the calendar file beside the program.
    // Throws when the file is missing; answers False when it cannot be read or the database
    // refuses a row (the caller's savepoint then undoes the deletion).
    bool UpdateCalendardata();

    // Runs a script of batches separated by "GO" lines on the connection given, the text
    // after the last "GO" line included. No handling of its own.
    static void ExecuteScript(const QStringList &lines, IDAConnection &connection);

    // A condition that holds when the column names no contact, family or group: the member's
    // own row is gone.
    static QString NotAMember(const QString &column);

    // The calendar file's name in the program folder.
    static QString CalendarFileName();

private:
    bool PerformStep(int version);
    void RunStep(int version);
    void GeneralCleanup();
    void CleanupOrphans();
    void Execute(const QString &sql);
    // Runs sql in a savepoint of its own; answers the error text, empty on success.
    QString TryExecute(const QString &sql);
    void CreateObject(const QString &name, int variant = 0);

    IDAConnection &m_connection;
    QString m_dataType;
    QString m_programFolder;
};
