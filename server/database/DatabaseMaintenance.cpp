#include "server/database/DatabaseMaintenance.h"

#include "dataaccess/IDAConnection.h"
#include "foundation/uCommon.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <algorithm>

#include <stdexcept>

namespace DatabaseMaintenance {
namespace {

void Execute(IDAConnection &connection, const QString &sql)
{
    connection.NewCommand(sql)->Execute();
}

void AllowConnections(IDAConnection &maintenance, const QString &name, bool allow)
{
    Execute(maintenance, QStringLiteral("ALTER DATABASE %1 WITH ALLOW_CONNECTIONS %2")
                             .arg(QuoteName(name), allow ? QStringLiteral("true") : QStringLiteral("false")));
}

void EndSessions(IDAConnection &maintenance, const QString &name)
{
    auto end = maintenance.NewDataset(QStringLiteral(
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = CAST(:Name AS text) AND pid <> pg_backend_pid()"));
    end->ParamByName(QStringLiteral("Name")).Value = name;
    end->Open();
}

void Rename(IDAConnection &maintenance, const QString &from, const QString &to)
{
    Execute(maintenance, QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(QuoteName(from), QuoteName(to)));
}

} // namespace

bool IsValidName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return name.size() <= kMaxNameLength && plain.match(name).hasMatch();
}

void CheckName(const QString &name)
{
    if (!IsValidName(name))
        throw std::runtime_error(QStringLiteral("\"%1\" is not a valid database name: use letters, digits and \"_\", "
                                                "beginning with a letter or \"_\", at most %2 characters")
                                     .arg(name).arg(kMaxNameLength).toStdString());
}

QString QuoteName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

namespace {
constexpr int kUniqueLength = 8;
}

QString SideName(const QString &name, const QString &purpose)
{
    const QString unique = QUuid::createUuid().toString(QUuid::Id128).left(kUniqueLength);
    const QString tail = QLatin1Char('_') + purpose + QLatin1Char('_') + unique;
    return name.left(kMaxNameLength - tail.size()) + tail;
}

bool IsSideName(const QString &candidate, const QString &name, const QString &purpose)
{
    const QString tail = QLatin1Char('_') + purpose + QLatin1Char('_');
    const QString head = name.left(kMaxNameLength - int(tail.size()) - kUniqueLength) + tail;
    if (candidate.size() != head.size() + kUniqueLength || !candidate.startsWith(head))
        return false;
    const QStringView unique = QStringView(candidate).mid(head.size());
    return std::all_of(unique.begin(), unique.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}

QString WithDatabase(const QString &connectionString, const QString &database)
{
    QString text = connectionString.trimmed();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char(';')) && !text.endsWith(QLatin1Char('?')))
        text += QLatin1Char(';');
    return text + QStringLiteral("Database=%1;").arg(database);
}

QString MaskPassword(const QString &connectionString)
{
    return MaskConnectionPassword(connectionString, QStringLiteral("*****"));
}

bool Exists(IDAConnection &maintenance, const QString &name)
{
    auto found = maintenance.NewDataset(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = CAST(:Name AS text)"));
    found->ParamByName(QStringLiteral("Name")).Value = name;
    found->Open();
    return !found->Eof();
}

void Drop(IDAConnection &maintenance, const QString &name)
{
    Execute(maintenance, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(QuoteName(name)));
}

void Replace(IDAConnection &maintenance, const QString &built, const QString &live)
{
    CheckName(built);
    CheckName(live);
    if (!Exists(maintenance, live)) {
        Rename(maintenance, built, live);
        return;
    }
    const QString replaced = SideName(live, QStringLiteral("replaced"));
    // No new session may slip in between ending the old ones and the rename.
    AllowConnections(maintenance, live, false);
    try {
        EndSessions(maintenance, live);
        Rename(maintenance, live, replaced);
    } catch (...) {
        AllowConnections(maintenance, live, true);
        throw;
    }
    try {
        Rename(maintenance, built, live);
    } catch (...) {
        Rename(maintenance, replaced, live);
        AllowConnections(maintenance, live, true);
        throw;
    }
    Drop(maintenance, replaced);
}

void CopyTable(IDAConnection &source, IDAConnection &target, const QString &sourceTable, const QString &targetTable)
{
    auto rows = source.NewDataset(QStringLiteral("SELECT * FROM ") + sourceTable);
    rows->Open();
    const TDAFieldList &fields = rows->GetFields();
    if (fields.isEmpty())
        return;
    QStringList columns;
    QStringList values;
    // The parameters are numbered, whatever the source calls its columns.
    for (int i = 0; i < fields.size(); ++i) {
        columns << target.QuoteIdentifier(fields[i].Name);
        values << QStringLiteral(":p%1").arg(i + 1);
    }
    auto insert = target.NewCommand(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                        .arg(targetTable, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", "))));
    for (int i = 0; i < fields.size(); ++i)
        insert->ParamByName(QStringLiteral("p%1").arg(i + 1)).DataType = fields[i].DataType;
    for (const QVariantList &row : rows->Rows()) {
        for (int i = 0; i < fields.size(); ++i)
            insert->ParamByName(QStringLiteral("p%1").arg(i + 1)).Value = row.at(i);
        insert->Execute();
    }
}

void RestartIdentities(IDAConnection &target)
{
    auto identities = target.NewDataset(QStringLiteral(
        "SELECT table_name, column_name FROM information_schema.columns WHERE table_schema = 'dbo' AND is_identity = 'YES'"));
    identities->Open();
    for (const QVariantList &row : identities->Rows()) {
        const QString table = target.QuoteIdentifier(row.at(0).toString());
        const QString column = target.QuoteIdentifier(row.at(1).toString());
        auto restart = target.NewDataset(
            QStringLiteral("SELECT setval(pg_get_serial_sequence(:Table, :Column), COALESCE(MAX(%2), 0) + 1, false) FROM %1")
                .arg(table, column));
        restart->ParamByName(QStringLiteral("Table")).Value = QStringLiteral("dbo.") + table;
        restart->ParamByName(QStringLiteral("Column")).Value = row.at(1).toString();
        restart->Open();
    }
}

} // namespace DatabaseMaintenance
