// Whole-database work that the server's migration and the database tools share: database names
// checked before they reach SQL, databases built under a side name and put in place only when
// complete, table copies between two databases.
#pragma once

#include "server/database/ServerDatabaseExport.h"

#include <QString>

class IDAConnection;

namespace DatabaseMaintenance {

// PostgreSQL's limit on the length of a name.
constexpr int kMaxNameLength = 63;

// A plain identifier: a letter or "_", then letters, digits and "_", at most 63 characters.
SERVER_DATABASE_EXPORT bool IsValidName(const QString &name);
// Throws std::runtime_error naming the refused name.
SERVER_DATABASE_EXPORT void CheckName(const QString &name);
// The name as a quoted identifier, so its letter case is kept.
SERVER_DATABASE_EXPORT QString QuoteName(const QString &name);
// A name of its own beside name for the work of a run ("kestrova_restore_1f2e3d4c"): a run never
// meets a database it did not make.
SERVER_DATABASE_EXPORT QString SideName(const QString &name, const QString &purpose);
// Whether candidate is a name SideName gave for name and purpose.
SERVER_DATABASE_EXPORT bool IsSideName(const QString &candidate, const QString &name, const QString &purpose);

// The same connection string naming another database: the last "Database" item wins.
SERVER_DATABASE_EXPORT QString WithDatabase(const QString &connectionString, const QString &database);
// The connection string with the value of its password item hidden, for log lines.
SERVER_DATABASE_EXPORT QString MaskPassword(const QString &connectionString);

// On a connection to the maintenance database.
SERVER_DATABASE_EXPORT bool Exists(IDAConnection &maintenance, const QString &name);
SERVER_DATABASE_EXPORT void Drop(IDAConnection &maintenance, const QString &name);
// Puts the database built under a side name in place of live. A live database is renamed aside
// first (its sessions ended) and dropped only once the new one holds its name; when the rename
// fails it gets its name back and the error passes on.
SERVER_DATABASE_EXPORT void Replace(IDAConnection &maintenance, const QString &built, const QString &live);

// Copies every row of sourceTable into targetTable, naming the source's columns, so the
// target's column order does not matter and columns the source lacks take their defaults.
SERVER_DATABASE_EXPORT void CopyTable(IDAConnection &source, IDAConnection &target, const QString &sourceTable,
                                      const QString &targetTable);
// Copied rows keep their keys; identity columns must go on counting after the highest.
SERVER_DATABASE_EXPORT void RestartIdentities(IDAConnection &target);

} // namespace DatabaseMaintenance
