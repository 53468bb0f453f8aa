#include "testsupport/CurrentSchema.h"

#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"
#include "server/database/uDMServerDatabase.h"

#include <QCryptographicHash>
#include <QFile>

namespace kestrova::test {
namespace {

const TDAADODriver kRegistration;

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (f.open(QIODevice::ReadOnly))
        hash.addData(&f);
    return hash.result().toHex();
}

} // namespace

std::unique_ptr<IDAConnection> OpenConnection(const QString &connectionString)
{
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), connectionString, true);
    return manager.NewConnection(QStringLiteral("MSSQL"));
}

bool RunLadder(const QString &connectionString, const QString &programFolder)
{
    auto connection = OpenConnection(connectionString);
    connection->BeginTransaction();
    TDMServerDatabase database(*connection, QStringLiteral("MSSQL"),
                               programFolder.isEmpty() ? QStringLiteral(KESTROVA_STAGE_DIR) : programFolder);
    const bool ok = database.PreformDatabaseUpdate();
    if (ok)
        connection->CommitTransaction();
    else
        connection->RollbackTransaction();
    return ok;
}

TemplateStage CurrentSchemaStage()
{
    const QString stage = QStringLiteral(KESTROVA_STAGE_DIR);
    const QString tag = QStringLiteral("schema%1-").arg(kDatabaseVersion) + QString::fromLatin1(fileHash(stage + QStringLiteral("/libserver_database.so")))
                        + QLatin1Char('-') + QString::fromLatin1(fileHash(stage + QLatin1Char('/') + TDMServerDatabase::CalendarFileName()));
    return {tag, [](const QString &connectionString) -> QString {
                try {
                    if (!RunLadder(connectionString))
                        return QStringLiteral("the patch ladder answered False");
                    auto connection = OpenConnection(connectionString);
                    auto version = connection->NewDataset(QStringLiteral("SELECT Version FROM tblDBVersion"));
                    version->Open();
                    if (version->FieldByName(QStringLiteral("Version")).toInt() != kDatabaseVersion)
                        return QStringLiteral("the patch ladder stopped at version ")
                               + version->FieldByName(QStringLiteral("Version")).toString();
                } catch (const std::exception &e) {
                    return QString::fromUtf8(e.what());
                }
                return {};
            }};
}

} // namespace kestrova::test
