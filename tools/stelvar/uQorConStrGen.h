// The two readings of the data server's connection string that the setup program needs:
// the database it names and the same string aimed at the server's maintenance database.
// The settings editor writes the database item last, followed by ";".
#pragma once

#include <QString>

class TQorConStrGen
{
public:
    // The value after "Database=" or, when that key is absent, after "Initial Catalog=", up
    // to the next ";" or the end; empty when neither key is there.
    static QString GetDatabaseName(const QString &connectionString);
    // The database item, from its key up to and including the next ";" (or to the end),
    // replaced by the same key naming the maintenance database and a ";"; empty when the
    // string holds neither key.
    static QString MasterConnectionString(const QString &connectionString);

    // PostgreSQL's maintenance database, where the original engine had "master".
    static inline const QString MasterDatabase = QStringLiteral("postgres");
};
