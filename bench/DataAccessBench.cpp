// Measures the data service on the private cluster: GetData of 100,000 rows (read, stream,
// decode on the client) and UpdateData of a delta of 10,000 changes in one transaction, each
// beside the same work done with plain libpq in the same run (the floor the driver stands on).
// Usage: dataaccess_bench [libpq URL] [read|update]   (URL default: $KESTROVA_TEST_PG, as
// scripts/pg url prints; "read" or "update" measures only that operation, for profiling)
#include "dataaccess/DAException.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDataAbstractService.h"
#include "foundation/QorDateTime.h"
#include "pgdriver/uDAADODriver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QUrl>
#include <QUrlQuery>

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <vector>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;
constexpr int kInserts = 4000;
constexpr int kUpdates = 4000;
constexpr int kDeletes = 2000;
constexpr int kReadRounds = 5;
constexpr int kUpdateRounds = 3; // the key ranges of the two ways' changes hold three rounds

const char *const kSchema = R"(<Schema Name="Bench">
  <Dataset Name="Items" Table="tblBenchItems">
    <Field Name="PK_ItemID" Type="String" Size="38" Key="true" Required="true"/>
    <Field Name="ItemName" Type="String" Size="100"/>
    <Field Name="SortIndex" Type="Integer"/>
    <Field Name="Price" Type="Float"/>
    <Field Name="CreatedDateTime" Type="DateTime"/>
    <Field Name="Active" Type="Boolean"/>
    <Statement>SELECT * FROM tblBenchItems ORDER BY PK_ItemID</Statement>
  </Dataset>
</Schema>)";

QString keyOf(int i)
{
    return QStringLiteral("{%1-0000-0000-0000-000000000000}").arg(i, 8, 10, QLatin1Char('0'));
}

// The libpq connection of the same database, as the driver opens it.
struct PlainConnection
{
    explicit PlainConnection(const QString &host, const QString &port, const QString &user, const QString &db)
    {
        const char *keys[] = {"host", "port", "user", "dbname", nullptr};
        const QByteArray h = host.toUtf8(), p = port.toUtf8(), u = user.toUtf8(), d = db.toUtf8();
        const char *values[] = {h.constData(), p.constData(), u.constData(), d.constData(), nullptr};
        Conn = PQconnectdbParams(keys, values, 0);
        if (PQstatus(Conn) != CONNECTION_OK)
            throw EDAException(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(Conn))));
    }
    ~PlainConnection() { PQfinish(Conn); }
    void Exec(const char *sql) const
    {
        PGresult *r = PQexec(Conn, sql);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
        if (!ok)
            throw EDAException(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(Conn))));
    }
    void Prepare(const char *name, const char *sql, int params) const
    {
        PGresult *r = PQprepare(Conn, name, sql, params, nullptr);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (!ok)
            throw EDAException(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(Conn))));
    }
    void Run(const char *name, const std::vector<QByteArray> &values) const
    {
        std::vector<const char *> pointers;
        for (const QByteArray &v : values)
            pointers.push_back(v.isNull() ? nullptr : v.constData());
        PGresult *r = PQexecPrepared(Conn, name, int(pointers.size()), pointers.data(), nullptr, nullptr, 0);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK && QByteArray(PQcmdTuples(r)) == "1";
        PQclear(r);
        if (!ok)
            throw EDAException(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(Conn))));
    }
    PGconn *Conn = nullptr;
};

// Each field of a row turned into its value, as any client of libpq would.
void ConvertRow(const PGresult *r, int i, double &sum, qsizetype &chars)
{
    chars += QString::fromUtf8(PQgetvalue(r, i, 0), PQgetlength(r, i, 0)).size();
    chars += QString::fromUtf8(PQgetvalue(r, i, 1), PQgetlength(r, i, 1)).size();
    sum += std::atoi(PQgetvalue(r, i, 2)) + std::atof(PQgetvalue(r, i, 3)) + (PQgetvalue(r, i, 5)[0] == '1');
    chars += WallClockFromIso(QString::fromLatin1(PQgetvalue(r, i, 4))).isValid();
}

constexpr const char *kPlainSelect = "SELECT * FROM dbo.tblBenchItems ORDER BY PK_ItemID";

// Every row read as text, the whole result at once (PQexec), and each field turned into its value.
double PlainRead(const PlainConnection &pg)
{
    QElapsedTimer t;
    t.start();
    PGresult *r = PQexec(pg.Conn, kPlainSelect);
    const int rows = PQntuples(r);
    double sum = 0;
    qsizetype chars = 0;
    for (int i = 0; i < rows; ++i)
        ConvertRow(r, i, sum, chars);
    PQclear(r);
    const double seconds = t.nsecsElapsed() / 1e9;
    if (rows != kRows || sum == 0 || chars == 0)
        throw EDAException(QStringLiteral("libpq read %1 rows").arg(rows));
    return seconds;
}

// The same in libpq's single-row mode, a result per row, as the driver reads a dataset.
double PlainReadRows(const PlainConnection &pg)
{
    QElapsedTimer t;
    t.start();
    if (!PQsendQuery(pg.Conn, kPlainSelect) || !PQsetSingleRowMode(pg.Conn))
        throw EDAException(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(pg.Conn))));
    int rows = 0;
    double sum = 0;
    qsizetype chars = 0;
    while (PGresult *r = PQgetResult(pg.Conn)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE)
            ConvertRow(r, 0, sum, chars), ++rows;
        PQclear(r);
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    if (rows != kRows || sum == 0 || chars == 0)
        throw EDAException(QStringLiteral("libpq read %1 rows").arg(rows));
    return seconds;
}

// The same 10,000 changes through prepared statements in one transaction.
double PlainApply(const PlainConnection &pg, int round)
{
    QElapsedTimer t;
    t.start();
    pg.Exec("BEGIN");
    const int base = 900000 + round * kInserts;
    for (int i = 0; i < kInserts; ++i)
        pg.Run("ins", {keyOf(base + i).toUtf8(), QStringLiteral("New item %1").arg(i).toUtf8(), QByteArray::number(i),
                       QByteArray::number(i * 0.5), WallClock(QDate(2025, 1, 1)).addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8(),
                       QByteArray("1")});
    for (int i = 0; i < kUpdates; ++i)
        pg.Run("upd", {keyOf(60000 + round * 10000 + i * 2).toUtf8(), QStringLiteral("Plain %1/%2").arg(round).arg(i).toUtf8(), QByteArray::number(-i)});
    for (int i = 0; i < kDeletes; ++i)
        pg.Run("del", {keyOf(60000 + round * 10000 + i * 2 + 1).toUtf8()});
    pg.Exec("COMMIT");
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString urlText = argc > 1 && argv[1][0] != '\0' ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("KESTROVA_TEST_PG");
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (urlText.isEmpty() || (!only.isEmpty() && only != QLatin1String("read") && only != QLatin1String("update"))) {
        std::fprintf(stderr, "usage: dataaccess_bench postgresql:///postgres?host=DIR&port=N&user=postgres [read|update]\n");
        return 2;
    }
    const bool measureRead = only != QLatin1String("update");
    const bool measureUpdate = only != QLatin1String("read");
    const QUrlQuery query{QUrl(urlText)};
    const QString server = query.queryItemValue(QStringLiteral("host")) + QLatin1Char(',') + query.queryItemValue(QStringLiteral("port"));
    const QString user = query.queryItemValue(QStringLiteral("user"));
    const QString dbName = QStringLiteral("kestrova_bench_%1").arg(getpid());
    const TDAADODriver registration;
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("Admin"),
                          QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=postgres;UserID=%2;").arg(server, user));
    manager.AddConnection(QStringLiteral("MSSQL"),
                          QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=%2;UserID=%3;").arg(server, dbName, user), true);
    auto admin = manager.NewConnection(QStringLiteral("Admin"));
    admin->NewCommand(QStringLiteral("CREATE DATABASE %1").arg(dbName))->Execute();
    int status = 0;
    try {
        auto setup = manager.NewConnection(QStringLiteral("MSSQL"));
        setup->NewCommand(QStringLiteral(
            "CREATE EXTENSION IF NOT EXISTS citext; CREATE SCHEMA IF NOT EXISTS dbo; SET search_path = dbo, public;"
            "CREATE TABLE dbo.tblBenchItems (PK_ItemID varchar(38) PRIMARY KEY, ItemName citext, SortIndex integer, "
            "Price double precision, CreatedDateTime timestamp, Active smallint);"
            "INSERT INTO dbo.tblBenchItems SELECT '{' || lpad(i::text, 8, '0') || '-0000-0000-0000-000000000000}', "
            "'Item number ' || i, i % 1000, i * 1.25, timestamp '2024-01-01' + i * interval '1 minute', i % 2 "
            "FROM generate_series(0, %1) i; ANALYZE dbo.tblBenchItems;").arg(kRows - 1))->Execute();
        setup->Close();

        PlainConnection pg(query.queryItemValue(QStringLiteral("host")), query.queryItemValue(QStringLiteral("port")), user, dbName);
        pg.Prepare("ins", "INSERT INTO dbo.tblBenchItems (PK_ItemID, ItemName, SortIndex, Price, CreatedDateTime, Active) "
                          "VALUES ($1, $2, $3, $4, $5, $6)", 6);
        pg.Prepare("upd", "UPDATE dbo.tblBenchItems SET ItemName = $2, SortIndex = $3 WHERE PK_ItemID = $1", 3);
        pg.Prepare("del", "DELETE FROM dbo.tblBenchItems WHERE PK_ItemID = $1", 1);

        TDASchema schema;
        schema.LoadFromXml(kSchema, QStringLiteral("bench schema"));
        TDataAbstractService service(schema, manager);

        // Rounds of both ways take turns, so both meet the same load of the shared machine.
        double bestRead = 1e9, bestServe = 1e9, bestDecode = 1e9, plainRead = 1e9, plainRows = 1e9;
        qsizetype streamSize = 0;
        for (int round = 0; measureRead && round < kReadRounds; ++round) {
            QElapsedTimer t;
            t.start();
            const QByteArray stream = service.GetData({QStringLiteral("Items")}, {});
            const double served = t.nsecsElapsed() / 1e9;
            const auto tables = TDADataStreamer::ReadDatasets(stream);
            const double seconds = t.nsecsElapsed() / 1e9;
            if (tables.value(0).Rows.size() != kRows)
                throw EDAException(QStringLiteral("expected %1 rows, got %2").arg(kRows).arg(tables.value(0).Rows.size()));
            bestRead = qMin(bestRead, seconds);
            bestServe = qMin(bestServe, served);
            bestDecode = qMin(bestDecode, seconds - served);
            streamSize = stream.size();
            plainRead = qMin(plainRead, PlainRead(pg));
            plainRows = qMin(plainRows, PlainReadRows(pg));
        }
        if (measureRead) {
            std::printf("GetData of %d rows (6 fields, %lld bytes streamed, decoded on the client): %.3f s, %.0f rows/s (best of %d;"
                        " the service's read and encoding %.3f s, the client's decoding %.3f s)\n",
                        kRows, static_cast<long long>(streamSize), bestRead, kRows / bestRead, kReadRounds, bestServe, bestDecode);
            std::printf("  libpq reference, the same rows read whole (PQexec) and converted: %.3f s, %.0f rows/s; GetData takes %.1fx\n",
                        plainRead, kRows / plainRead, bestRead / plainRead);
            std::printf("  libpq in single-row mode, as the driver reads: %.3f s; GetData takes %.1fx of that\n", plainRows,
                        bestRead / plainRows);
        }

        double bestApply = 1e9, plainApply = 1e9;
        for (int round = 0; measureUpdate && round < kUpdateRounds; ++round) {
            TDADelta delta;
            delta.LogicalName = QStringLiteral("Items");
            delta.Fields = schema.DatasetByName(QStringLiteral("Items")).Fields;
            const int n = int(delta.Fields.size());
            int rec = 0;
            const int base = kRows + round * kInserts;
            for (int i = 0; i < kInserts; ++i) {
                TDADeltaChange c(++rec, TDAChangeType::ctInsert, n);
                c.SetNewValue(0, keyOf(base + i));
                c.SetNewValue(1, QStringLiteral("New item %1").arg(i));
                c.SetNewValue(2, i);
                c.SetNewValue(3, i * 0.5);
                c.SetNewValue(4, WallClock(QDate(2025, 1, 1)).addSecs(i));
                c.SetNewValue(5, true);
                delta.Changes << c;
            }
            for (int i = 0; i < kUpdates; ++i) {
                TDADeltaChange c(++rec, TDAChangeType::ctUpdate, n);
                c.SetOldValue(0, keyOf(round * 20000 + i * 2));
                c.SetNewValue(1, QStringLiteral("Renamed %1/%2").arg(round).arg(i));
                c.SetNewValue(2, -i);
                delta.Changes << c;
            }
            for (int i = 0; i < kDeletes; ++i) {
                TDADeltaChange c(++rec, TDAChangeType::ctDelete, n);
                c.SetOldValue(0, keyOf(round * 20000 + i * 2 + 1));
                delta.Changes << c;
            }
            const QByteArray request = TDADataStreamer::WriteDeltas({delta});
            QElapsedTimer t;
            t.start();
            const auto reply = TDADataStreamer::ReadDeltas(service.UpdateData(request));
            const double seconds = t.nsecsElapsed() / 1e9;
            for (const TDADeltaChange &c : reply.value(0).Changes)
                if (c.Status != TDAChangeStatus::csResolved)
                    throw EDAException(QStringLiteral("change %1 failed: %2").arg(c.RecID).arg(c.Message));
            bestApply = qMin(bestApply, seconds);
            plainApply = qMin(plainApply, PlainApply(pg, round));
        }
        constexpr int kChanges = kInserts + kUpdates + kDeletes;
        if (measureUpdate) {
            std::printf("UpdateData of %d changes (%d inserts, %d updates, %d deletes) in one transaction: %.3f s, %.0f changes/s (best of %d)\n",
                        kChanges, kInserts, kUpdates, kDeletes, bestApply, kChanges / bestApply, kUpdateRounds);
            std::printf("  libpq reference, the same changes prepared, in one transaction: %.3f s, %.0f changes/s; UpdateData takes %.1fx\n",
                        plainApply, kChanges / plainApply, bestApply / plainApply);
        }
    } catch (const EDAException &e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 1;
    }
    admin->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(dbName))->Execute();
    return status;
}
