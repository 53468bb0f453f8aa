// Measures the data service on the private cluster: GetData of 100,000 rows (read, stream,
// decode on the client) and UpdateData of a delta of 10,000 changes in one transaction.
// Usage: dataaccess_bench [libpq URL]   (default: $KESTROVA_TEST_PG, as scripts/pg url prints)
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

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;
constexpr int kInserts = 4000;
constexpr int kUpdates = 4000;
constexpr int kDeletes = 2000;
constexpr int kRounds = 3;

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString urlText = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("KESTROVA_TEST_PG");
    if (urlText.isEmpty()) {
        std::fprintf(stderr, "usage: dataaccess_bench postgresql:///postgres?host=DIR&port=N&user=postgres\n");
        return 2;
    }
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

        TDASchema schema;
        schema.LoadFromXml(kSchema, QStringLiteral("bench schema"));
        TDataAbstractService service(schema, manager);

        double bestRead = 0;
        qsizetype streamSize = 0;
        for (int round = 0; round < kRounds; ++round) {
            QElapsedTimer t;
            t.start();
            const QByteArray stream = service.GetData({QStringLiteral("Items")}, {});
            const auto tables = TDADataStreamer::ReadDatasets(stream);
            const double seconds = t.nsecsElapsed() / 1e9;
            if (tables.value(0).Rows.size() != kRows)
                throw EDAException(QStringLiteral("expected %1 rows, got %2").arg(kRows).arg(tables.value(0).Rows.size()));
            bestRead = qMax(bestRead, kRows / seconds);
            streamSize = stream.size();
        }
        std::printf("GetData of %d rows (6 fields, %lld bytes streamed, decoded on the client): %.0f rows/s (best of %d)\n",
                    kRows, static_cast<long long>(streamSize), bestRead, kRounds);

        double bestApply = 0;
        for (int round = 0; round < kRounds; ++round) {
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
            bestApply = qMax(bestApply, (kInserts + kUpdates + kDeletes) / seconds);
        }
        std::printf("UpdateData of %d changes (%d inserts, %d updates, %d deletes) in one transaction: %.0f changes/s (best of %d)\n",
                    kInserts + kUpdates + kDeletes, kInserts, kUpdates, kDeletes, bestApply, kRounds);
    } catch (const EDAException &e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 1;
    }
    admin->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(dbName))->Execute();
    return status;
}
