// The database-server side of the settings editor: the servers it offers in its list, the
// connection test and the server's version. PostgreSQL stands where the original engine was:
// the list holds the clusters of this machine, found by their sockets.
#pragma once

#include <QString>
#include <QStringList>

class TQorSQLFunctions
{
public:
    // How long a connection test waits for the server.
    static constexpr int ConnectTimeoutSeconds = 5;

    // The folders where local clusters keep their sockets.
    static QStringList DefaultSocketFolders();
    // "folder,port" for every cluster socket in the folders, then "localhost"; no name twice.
    static QStringList ListSQLServers(const QStringList &socketFolders = DefaultSocketFolders());

    // Opens the database of the connection string and reads its users' table; false, with the
    // server's message, when either fails or the server does not answer in time.
    static bool TestConnection(const QString &connectionString, QString *error = nullptr);
    // The server's whole version text ("15.8 (Debian 15.8-0+deb12u1)"); throws.
    static QString GetServerVersion(const QString &connectionString);
};
