#include "uQorSQLFunctions.h"

#include "pgdriver/uDAADODriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <memory>

#include <sys/stat.h>

namespace {

bool IsSocket(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// The connection string with a time limit for reaching the server.
std::unique_ptr<TDAEADOConnection> OpenWithin(const QString &connectionString)
{
    QString text = connectionString.trimmed();
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    auto connection = std::make_unique<TDAEADOConnection>();
    connection->SetConnectionString(text + QStringLiteral("Connect Timeout=%1;").arg(TQorSQLFunctions::ConnectTimeoutSeconds));
    connection->Open();
    return connection;
}

QString FirstValue(TDAEADOConnection &connection, const QString &sql)
{
    auto rows = connection.NewDataset(sql);
    rows->Open();
    return rows->Eof() ? QString() : rows->Value(0, 0).toString();
}

} // namespace

QStringList TQorSQLFunctions::DefaultSocketFolders()
{
    QStringList folders = {QStringLiteral("/run/postgresql"), QStringLiteral("/var/run/postgresql"), QStringLiteral("/tmp")};
    const QString host = qEnvironmentVariable("PGHOST");
    if (host.startsWith(QLatin1Char('/')))
        folders.prepend(host);
    return folders;
}

QStringList TQorSQLFunctions::ListSQLServers(const QStringList &socketFolders)
{
    static const QRegularExpression socketName(QStringLiteral("^\\.s\\.PGSQL\\.(\\d+)$"));
    QStringList servers;
    QStringList seen;
    for (const QString &folder : socketFolders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen << canonical;
        const QStringList entries = QDir(folder).entryList(QDir::System | QDir::Hidden | QDir::Files, QDir::Name);
        for (const QString &entry : entries) {
            const QRegularExpressionMatch match = socketName.match(entry);
            if (match.hasMatch() && IsSocket(QDir(folder).filePath(entry)))
                servers << folder + QLatin1Char(',') + match.captured(1);
        }
    }
    servers << QStringLiteral("localhost");
    servers.removeDuplicates();
    return servers;
}

bool TQorSQLFunctions::TestConnection(const QString &connectionString, QString *error)
{
    try {
        auto connection = OpenWithin(connectionString);
        // A database without the system's tables is no use to the server, however it answers.
        FirstValue(*connection, QStringLiteral("SELECT * FROM tblUsers LIMIT 1"));
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
}

QString TQorSQLFunctions::GetServerVersion(const QString &connectionString)
{
    auto connection = OpenWithin(connectionString);
    return FirstValue(*connection, QStringLiteral("SHOW server_version"));
}
