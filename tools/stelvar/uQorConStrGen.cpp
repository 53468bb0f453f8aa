#include "uQorConStrGen.h"

namespace {

const QString kDatabaseKey = QStringLiteral("Database=");
const QString kCatalogKey = QStringLiteral("Initial Catalog=");

// Where the database item's key starts and which key it is; -1 when there is none.
qsizetype FindDatabaseItem(const QString &connectionString, QString &key)
{
    for (const QString &candidate : {kDatabaseKey, kCatalogKey}) {
        const qsizetype at = connectionString.indexOf(candidate);
        if (at >= 0) {
            key = candidate;
            return at;
        }
    }
    return -1;
}

} // namespace

QString TQorConStrGen::GetDatabaseName(const QString &connectionString)
{
    QString key;
    const qsizetype at = FindDatabaseItem(connectionString, key);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    const qsizetype end = connectionString.indexOf(QLatin1Char(';'), start);
    return connectionString.mid(start, end < 0 ? -1 : end - start);
}

QString TQorConStrGen::MasterConnectionString(const QString &connectionString)
{
    QString key;
    const qsizetype at = FindDatabaseItem(connectionString, key);
    if (at < 0)
        return {};
    const qsizetype end = connectionString.indexOf(QLatin1Char(';'), at);
    const qsizetype length = (end < 0 ? connectionString.size() : end + 1) - at;
    return QString(connectionString).replace(at, length, key + MasterDatabase + QLatin1Char(';'));
}
