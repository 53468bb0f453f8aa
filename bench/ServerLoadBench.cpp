// Calls per second of the real data server under many clients: the Brennic program from the
// staging folder, on a scratch database made as the setup program makes one, answers 50
// clients (one thread, session and kept-alive HTTP connection each) that each log on and then
// make 200 calls, ProbeServer and SettingsService.GetData (20 locations) by turns, through the
// generated proxies and the binary message. Every answer is checked; a call that fails or
// answers wrongly counts as lost. Two rounds: the first meets empty connection pools.
//   server_load_bench [libpq URL] [clients] [calls per client]
//   (default URL: $KESTROVA_TEST_PG, as scripts/pg url prints it)
#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/IniFile.h"
#include "foundation/SqlScript.h"
#include "pgdriver/uDAADODriver.h"
#include "remoting/ROErrors.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "testsupport/FreePorts.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLocations = 20;
const QString kAdministratorLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F465}");

// A plain HTTP client under the generated proxies: what a client written from
// docs/wire-format.md does, without the desktop client's Qt Network channel.
class PlainChannel : public TROTransportChannel
{
public:
    PlainChannel(int port, const QUuid &session) : m_client("127.0.0.1", port), m_session(session)
    {
        m_client.set_keep_alive(true);
        m_client.set_tcp_nodelay(true);
        m_client.set_read_timeout(60, 0);
    }

    void Dispatch(TROMessage &message) override
    {
        message.SetClientID(m_session);
        const QByteArray body = message.SaveToBytes();
        const auto reply = m_client.Post("/Bin", std::string(body.constData(), std::size_t(body.size())), "application/octet-stream");
        if (!reply || reply->status != 200)
            throw EROTransportError(QStringLiteral("HTTP failed: %1").arg(reply ? reply->status : int(reply.error())));
        message.LoadFromBytes(QByteArray(reply->body.data(), qsizetype(reply->body.size())), RemotingLimits::kMaxReplySize);
        message.RaiseIfError();
    }
    void DispatchAsync(const TROMessage &, AsyncDone) override { throw EROTransportError(QStringLiteral("not used")); }
    bool Busy() const override { return false; }

private:
    httplib::Client m_client;
    QUuid m_session;
};

void RunScript(IDAConnection &connection, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    for (const QString &batch : SqlScript::SplitBatches(file.readAll()))
        connection.NewCommand(batch)->Execute();
}

struct Round
{
    long long Answered = 0;
    long long Lost = 0;
    double Seconds = 0;
    std::vector<double> Latencies; // milliseconds
};

Round Load(int port, int clients, int calls)
{
    std::atomic<long long> answered{0};
    std::atomic<long long> lost{0};
    std::vector<std::vector<double>> latencies{std::size_t(clients)};
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    // The clients connect and log on one after another before the clock starts: 50 connects
    // at once would measure the listen backlog, not the calls.
    std::mutex setup;
    QElapsedTimer total;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            auto channel = std::make_shared<PlainChannel>(port, QUuid::createUuid());
            auto message = std::make_shared<TROMessage>();
            std::unique_ptr<ROUser> user;
            bool loggedOn = false;
            std::unique_lock turn(setup);
            try {
                loggedOn = CoLogOnService::Create(message, channel)->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("bench"),
                                                                                QString(), false, QString(), false, user) == 0;
            } catch (const std::exception &e) {
                std::fprintf(stderr, "log-on failed: %s\n", e.what());
            }
            auto probe = CoProbeService::Create(message, channel);
            auto settings = CoSettingsService::Create(message, channel);
            ++ready;
            turn.unlock();
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < calls; ++i) {
                QElapsedTimer one;
                one.start();
                bool right = false;
                try {
                    if (i % 2 == 0) {
                        right = probe->ProbeServer();
                    } else {
                        const auto stream = settings->GetData({QStringLiteral("DALocations")}, {TableRequestInfoV5{}});
                        right = loggedOn && stream &&
                                TDADataStreamer::ReadDatasets(stream->Bytes()).value(0).Rows.size() == kLocations;
                    }
                } catch (const std::exception &e) {
                    if (lost == 0)
                        std::fprintf(stderr, "first lost call: %s\n", e.what());
                }
                latencies[std::size_t(c)].push_back(double(one.nsecsElapsed()) / 1e6);
                ++(right ? answered : lost);
            }
        });
    }
    while (ready < clients)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    total.start();
    go = true;
    for (auto &t : threads)
        t.join();
    Round round{answered.load(), lost.load(), double(total.nsecsElapsed()) / 1e9, {}};
    for (const auto &l : latencies)
        round.Latencies.insert(round.Latencies.end(), l.begin(), l.end());
    std::sort(round.Latencies.begin(), round.Latencies.end());
    return round;
}

double Percentile(const std::vector<double> &sorted, double p)
{
    return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, std::size_t(p * double(sorted.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString urlText = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("KESTROVA_TEST_PG");
    const int clients = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    const int calls = argc > 3 ? std::max(1, atoi(argv[3])) : 200;
    if (urlText.isEmpty()) {
        std::fprintf(stderr, "usage: server_load_bench postgresql:///postgres?host=DIR&port=N&user=postgres [clients] [calls]\n");
        return 2;
    }
    const QUrlQuery query{QUrl(urlText)};
    const QString host = query.queryItemValue(QStringLiteral("host"));
    const QString pgPort = query.queryItemValue(QStringLiteral("port"));
    const QString dbUser = query.queryItemValue(QStringLiteral("user"));
    const QString dbName = QStringLiteral("kestrova_load_%1").arg(getpid());
    const QString stage = QStringLiteral(KESTROVA_STAGE_DIR);

    const TDAADODriver registration;
    TDAConnectionManager manager;
    const QString server = host + QLatin1Char(',') + pgPort;
    manager.AddConnection(QStringLiteral("Admin"), QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=postgres;UserID=%2;").arg(server, dbUser));
    manager.AddConnection(QStringLiteral("Bench"),
                          QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=%2;UserID=%3;").arg(server, dbName, dbUser));
    auto admin = manager.NewConnection(QStringLiteral("Admin"));
    admin->NewCommand(QStringLiteral("CREATE DATABASE %1").arg(dbName))->Execute();

    int status = 0;
    QTemporaryDir work(stage + QStringLiteral("/../load-bench-XXXXXX"));
    std::unique_ptr<QProcess> brennic;
    try {
        // The database as the setup program makes it; the server's start climbs the ladder.
        {
            auto setup = manager.NewConnection(QStringLiteral("Bench"));
            for (const char *script : {"/mssqlScripts/CreateScript.sql", "/mssqlScripts/DefaultData.sql", "/mssqlScripts/CalenderData.sql"})
                RunScript(*setup, stage + QLatin1String(script));
            RunScript(*setup, QStringLiteral(KESTROVA_SOURCE_DIR "/server/database/NewDatabase.sql"));
            setup->NewCommand(QStringLiteral("INSERT INTO dbo.tblUsers (PK_UserID, LogonUsername, LogonPassword, F_Userlevel) "
                                             "VALUES ('{B0000000-0000-0000-0000-000000000001}', 'bench', NULL, '%1')")
                                  .arg(kAdministratorLevel))->Execute();
            setup->NewCommand(QStringLiteral("INSERT INTO dbo.tblLocations (PK_LocationID, LocationName, LocationAddress, CreatedDateTime, SortIndex) "
                                             "SELECT '{L' || i || '}', 'Church ' || i, 'Street ' || i, timestamp '2024-03-31 02:30' + i * interval '1 day', i "
                                             "FROM generate_series(1, %1) i")
                                  .arg(kLocations))->Execute();
        }

        // A copy of the staging folder (hard links) with settings of its own.
        const QString folder = work.filePath(QStringLiteral("stage"));
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), stage, folder}) != 0)
            throw std::runtime_error("cannot copy the staging folder");
        const QString settingsFile = folder + QStringLiteral("/Settings.ini");
        QFile::remove(settingsFile);
        const int httpPort = kestrova::test::FreeTcpPort();
        const auto set = [&](const char *section, const char *key, const QString &value) {
            IniFile::writeString(settingsFile, QString::fromLatin1(section), QString::fromLatin1(key), value);
        };
        set("Data Access", "Datatype", QStringLiteral("MSSQL"));
        set("Data Access", "DataSource", QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=%2;UserID=%3;").arg(server, dbName, dbUser));
        set("Server", "Port", QString::number(httpPort));
        set("Discovery Service", "Port", QString::number(kestrova::test::FreeUdpPort()));
        set("Updater", "Use Web check", QStringLiteral("False"));
        set("Backup", "Use Autobackup", QStringLiteral("FALSE"));

        brennic = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), work.path());
        env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.path());
        env.remove(QStringLiteral("DISPLAY"));
        brennic->setProcessEnvironment(env);
        brennic->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer started;
        started.start();
        brennic->start(folder + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
        if (!brennic->waitForStarted())
            throw std::runtime_error("Brennic did not start");
        // Its first start climbs the patch ladder (the whole calendar, twice).
        for (bool up = false; !up; std::this_thread::sleep_for(std::chrono::milliseconds(200))) {
            if (brennic->state() == QProcess::NotRunning || started.elapsed() > 600000)
                throw std::runtime_error("Brennic ended or did not answer in time");
            try {
                up = CoProbeService::Create(std::make_shared<TROMessage>(), std::make_shared<PlainChannel>(httpPort, QUuid::createUuid()))
                         ->ProbeServer();
            } catch (const std::exception &) {
            }
        }
        std::printf("server load benchmark: Brennic on port %d, %d clients x %d calls (ProbeServer and "
                    "SettingsService.GetData of %d locations by turns), %d cores\n",
                    httpPort, clients, calls, kLocations, std::max(1, int(std::thread::hardware_concurrency())));
        std::printf("%-18s %8s %8s %10s %10s %9s %9s %9s\n", "round", "calls", "lost", "seconds", "calls/s", "p50 ms", "p95 ms",
                    "max ms");
        for (const char *name : {"first (cold pool)", "second"}) {
            const Round r = Load(httpPort, clients, calls);
            std::printf("%-18s %8lld %8lld %10.2f %10.0f %9.1f %9.1f %9.1f\n", name, r.Answered + r.Lost, r.Lost, r.Seconds,
                        double(r.Answered) / r.Seconds, Percentile(r.Latencies, 0.5), Percentile(r.Latencies, 0.95),
                        r.Latencies.empty() ? 0.0 : r.Latencies.back());
            std::fflush(stdout);
            if (r.Lost != 0)
                status = 1;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 1;
    }
    if (brennic && brennic->state() != QProcess::NotRunning) {
        ::kill(pid_t(brennic->processId()), SIGTERM);
        if (!brennic->waitForFinished(30000))
            brennic->kill();
    }
    admin->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(dbName))->Execute();
    return status;
}
