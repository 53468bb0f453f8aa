// Starts the real Brennic program from a copy of the staging folder against a fresh database.
#include "Quorva_Data_Service_Intf.h"
#include "client/tests/RealBrennic.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/IniFile.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "testsupport/DocumentReaders.h"
#include "pgdriver/uDAADODriver.h"
#include "server/database/uDMServerDatabase.h"
#include "server/tests/CurrentSchema.h"
#include "testsupport/FreePorts.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <iostream>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = 60s)
{
    return kestrova::test::WaitFor(done, limit);
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class BrennicProcess : public ::testing::Test
{
protected:
    BrennicProcess() : BrennicProcess(std::make_unique<kestrova::test::TestDatabase>()) {}
    explicit BrennicProcess(std::unique_ptr<kestrova::test::TestDatabase> database) : ownDb(std::move(database)), db(*ownDb) {}

    void SetUp() override
    {
        if (!db.available())
            return;
        ASSERT_TRUE(work.isValid());
        folder = work.filePath(QStringLiteral("stage"));
        // Hard links: the copy is instant, and the program finds its libraries beside it.
        ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), folder}), 0);
        const QString settings = folder + QStringLiteral("/Settings.ini");
        QFile::remove(settings);
        httpPort = kestrova::test::FreeTcpPort();
        discoveryPort = kestrova::test::FreeUdpPort();
        const auto set = [&](const char *section, const char *key, const QString &value) {
            ASSERT_TRUE(IniFile::writeString(settings, QString::fromLatin1(section), QString::fromLatin1(key), value));
        };
        set("Data Access", "Datatype", QStringLiteral("MSSQL"));
        set("Data Access", "DataSource", QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1,%2;Database=%3;UserID=postgres;Password=unused;")
                                             .arg(db.socketDir()).arg(db.port()).arg(db.name()));
        set("Server", "Port", QString::number(httpPort));
        set("Discovery Service", "Port", QString::number(discoveryPort));
        set("Updater", "Use Web check", QStringLiteral("False"));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), work.path());
        env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.path());
        env.remove(QStringLiteral("DISPLAY"));
    }

    std::unique_ptr<QProcess> start()
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(folder + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
        return process;
    }

    bool probe()
    {
        try {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
            channel->SetTimeout(2s);
            return CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer();
        } catch (const std::exception &) {
            return false;
        }
    }

    std::unique_ptr<kestrova::test::TestDatabase> ownDb;
    kestrova::test::TestDatabase &db;
    QTemporaryDir work{QStringLiteral(KESTROVA_STAGE_DIR "/../brennic-test-XXXXXX")};
    QString folder;
    int httpPort = 0;
    int discoveryPort = 0;
    QProcessEnvironment env;
};

TEST_F(BrennicProcess, StartsPatchesServesAndShutsDownInOrder)
{
    if (!db.available())
        GTEST_SKIP();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT max(Version) FROM dbo.tblDBVersion")), QStringLiteral("14"));
    auto server = start();
    ASSERT_TRUE(server->waitForStarted());
    // The climb to the current version imports the whole calendar; a loaded machine needs its time.
    ASSERT_TRUE(waitFor([&] { return probe() || server->state() == QProcess::NotRunning; }, 240s))
        << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();
    ASSERT_EQ(server->state(), QProcess::Running) << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT max(Version) FROM dbo.tblDBVersion")), QString::number(kDatabaseVersion));

    // Discovery on loopback finds it, with its HTTP port.
    TRODiscoveryClient discovery;
    discovery.SetTargetAddress(QHostAddress::LocalHost);
    discovery.SetTargetPort(quint16(discoveryPort));
    int answeredPort = 0;
    QObject::connect(&discovery, &TRODiscoveryClient::NewServiceFound,
                     [&](const QString &, const QString &, const TVODiscoveryResultOptions &options) { answeredPort = options.Port; });
    discovery.RefreshServerList(QStringLiteral("Kestrova"));
    ASSERT_TRUE(waitFor([&] { return answeredPort != 0; }, 10s));
    EXPECT_EQ(answeredPort, httpPort);

    // Without a display the service still renders reports: the engine's fonts need the GUI
    // application it runs on the offscreen platform. (No user yet: the calls are allowed.)
    db.exec(QStringLiteral("DELETE FROM dbo.tblUsers; INSERT INTO dbo.tblLocations (PK_LocationID, LocationName) "
                           "VALUES ('{0B000000-0000-0000-0000-000000000001}', 'Chapel of Ease');"));
    {
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
        channel->SetSessionID(QUuid::createUuid());
        auto message = std::make_shared<TROMessage>();
        message->SetClientID(channel->SessionID());
        const auto pdf = CoReportService::Create(message, channel)
                             ->GenerateReport(QStringLiteral("Locations.rtm"), QStringLiteral("rptDALocations"), {}, QStringLiteral("LocationName"));
        ASSERT_TRUE(pdf);
        const QStringList pages = kestrova::test::PdfPages(pdf->Bytes());
        ASSERT_EQ(pages.size(), 1);
        EXPECT_TRUE(pages.first().contains(QStringLiteral("Chapel of Ease"))) << pages.first().toStdString();
    }

    // A second instance refuses to start and leaves the first serving.
    auto second = start();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_NE(second->exitCode(), 0);
    EXPECT_TRUE(probe());

    ::kill(pid_t(server->processId()), SIGTERM);
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_EQ(server->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->exitCode(), 0);

    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    const QStringList lines = log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 8);
    const QString frame(82, QLatin1Char('*'));
    EXPECT_EQ(lines[0], frame);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("* Application   : Quorva Data Service\t1.")));
    EXPECT_EQ(lines[2], QStringLiteral("* Path          : Server path: %1/ ").arg(folder));
    EXPECT_TRUE(lines[6].endsWith(QStringLiteral(" : Information\tBrennic\t\tServer initialize "))) << lines[6].toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\t running as a service")));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tDMServer\tData Access :  MSSQL")));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\tShutdown ")));
    EXPECT_EQ(lines.last(), frame);
    EXPECT_FALSE(log.contains(QStringLiteral("unused"))) << "the password reached the log";

    // Both listeners say when they listen; nothing of a first start on a new database is a failure.
    const QString http = QStringLiteral("Information\tDMServer\tHTTP server listening on port %1").arg(httpPort);
    const QString udp = QStringLiteral("Information\tDMServer\tDiscovery listening on UDP port %1 ").arg(discoveryPort);
    EXPECT_TRUE(log.contains(http)) << log.toStdString();
    EXPECT_TRUE(log.contains(udp)) << log.toStdString();
    const QStringList severe = lines.filter(QStringLiteral(" : Severe "));
    EXPECT_TRUE(severe.isEmpty()) << severe.join(QLatin1Char('\n')).toStdString();

    // A service writes the same lines to standard error, for its console and the journal.
    const QString console = QString::fromUtf8(server->readAllStandardError());
    EXPECT_TRUE(console.startsWith(frame + QLatin1Char('\n'))) << console.toStdString();
    EXPECT_TRUE(console.contains(http)) << console.toStdString();
    EXPECT_TRUE(console.contains(QStringLiteral(" : Information\tBrennic\t\tShutdown \n"))) << console.toStdString();
}

// A database at the current schema: the server starts in seconds.
class CurrentBrennic : public BrennicProcess
{
protected:
    CurrentBrennic() : BrennicProcess(std::make_unique<kestrova::test::TestDatabase>(kestrova::test::CurrentSchemaStage())) {}
};

TEST_F(CurrentBrennic, AStopEndsTheServerWithinSecondsWhileARequestWaitsOnTheDatabase)
{
    if (!db.available())
        GTEST_SKIP();
    auto server = start();
    ASSERT_TRUE(waitFor([&] { return probe() || server->state() == QProcess::NotRunning; }, 120s))
        << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();

    // A log-on reads the users' table, which a second session holds: the request waits on it.
    TDAADODriver driver;
    TDAEADOConnection holder;
    holder.SetConnectionString(db.connectionString());
    holder.BeginTransaction();
    holder.NewCommand(QStringLiteral("LOCK TABLE dbo.tblUsers IN ACCESS EXCLUSIVE MODE"))->Execute();
    // 0 is a log-on; an answer that the database work failed is another number.
    std::atomic<int> answer{-1};
    std::unique_ptr<QThread> client(QThread::create([&] {
        try {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
            channel->SetSessionID(QUuid::createUuid());
            channel->SetTimeout(120s);
            auto message = std::make_shared<TROMessage>();
            message->SetClientID(channel->SessionID());
            std::unique_ptr<ROUser> user;
            answer = CoLogOnService::Create(message, channel)->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("someone"),
                                                                         QStringLiteral("pw"), false, QString(), false, user);
        } catch (const std::exception &) {
            // Answered with an error or cut off: either is an end.
        }
    }));
    client->start();
    ASSERT_TRUE(waitFor([&] {
        return db.scalar(QStringLiteral("SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database "
                                        "WHERE NOT l.granted AND d.datname = current_database()")) != QStringLiteral("0");
    }, 30s));

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(server->processId()), SIGTERM);
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_LT(stopping.elapsed(), 8000);
    EXPECT_EQ(server->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(client->wait(10000));
    EXPECT_NE(answer, 0);
    holder.RollbackTransaction();
    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\tShutdown "))) << log.toStdString();
    EXPECT_TRUE(log.trimmed().endsWith(QString(82, QLatin1Char('*')))) << "no footer";
}

TEST_F(BrennicProcess, AMissingSettingsFileEndsTheProgramWithItsReason)
{
    if (!db.available())
        GTEST_SKIP();
    QFile::remove(folder + QStringLiteral("/Settings.ini"));
    auto server = start();
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_NE(server->exitCode(), 0);
    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to locate configuration file,please fix this before continuing")));
    EXPECT_TRUE(QString::fromUtf8(server->readAllStandardError())
                    .contains(QStringLiteral("Severe     \tBrennic\tServer startup Unable to locate configuration file")));
}

// Requests that once grew the server without bound or overran its stack, sent by a logged-on
// user to one shared server; each is refused, and the server serves the next call.
class BrennicUnderLoad : public kestrova::test::RealBrennicSuite
{
protected:
    static void SetUpTestSuite()
    {
        RealBrennicSuite::SetUpTestSuite();
        if (Server().Available() && s_error.isEmpty())
            Server().AddUser(QStringLiteral("{B0000000-0000-0000-0000-00000000B0B0}"), QStringLiteral("loader"), kPassword, 1);
    }

    struct Session
    {
        std::shared_ptr<TROHTTPChannel> Channel = std::make_shared<TROHTTPChannel>();
        std::shared_ptr<TROMessage> Message = std::make_shared<TROMessage>();
    };
    static Session LogOn()
    {
        Session session;
        session.Channel->SetTargetURL(Server().URL());
        session.Channel->SetSessionID(QUuid::createUuid());
        session.Channel->SetTimeout(120s);
        session.Message->SetClientID(session.Channel->SessionID());
        std::unique_ptr<ROUser> user;
        EXPECT_EQ(CoLogOnService::Create(session.Message, session.Channel)
                      ->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("loader"), kPassword, false, QString(), false, user),
                  0);
        return session;
    }
    // The rows of the first table, or "refused: " and the error.
    static QString GetData(const Session &session, const QString &service, const QString &dataset, const QStringList &columns,
                           int *rows = nullptr)
    {
        TableRequestInfoV5 info;
        info.DynamicSelectFieldNames = columns;
        try {
            std::unique_ptr<IDataAbstractService> proxy;
            if (service == QLatin1String("ContactsService"))
                proxy = CoContactsService::Create(session.Message, session.Channel);
            else
                proxy = CoResourceService::Create(session.Message, session.Channel);
            const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(proxy->GetData({dataset}, {info})->Bytes());
            if (rows)
                *rows = int(tables.at(0).Rows.size());
            return QStringLiteral("%1 fields").arg(tables.at(0).Fields.size());
        } catch (const std::exception &e) {
            return QStringLiteral("refused: ") + QString::fromUtf8(e.what());
        }
    }
    // The resident size now, or its peak ("VmHWM").
    static qint64 ResidentKB(const QString &field = QStringLiteral("VmRSS"))
    {
        const QStringList lines = readFile(QStringLiteral("/proc/%1/status").arg(Server().Pid())).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            if (line.startsWith(field + QLatin1Char(':')))
                return line.mid(field.size() + 1).trimmed().section(QLatin1Char(' '), 0, 0).toLongLong();
        return -1;
    }

    static inline const QString kPassword = QStringLiteral("Loader-Secret1");
};

TEST_F(BrennicUnderLoad, AColumnListNamesEachFieldOnceAndTheServerServesOn)
{
    if (!Ready())
        return;
    // Every field of the families once, then the same names in other letter cases: 4,097 names.
    QStringList familyNames;
    for (const char *name : {"PK_FamilyID", "FamilyName", "FamilyStreet", "FamilyCity", "FamilyState", "FamilyZip", "FamilyEmail1", "FamilyPhone1"})
        familyNames << QString::fromLatin1(name);
    for (int i = 0; familyNames.size() <= TDADataStreamer::kMaxFields; ++i) {
        QString variant = familyNames[i % 8];
        for (qsizetype k = 0; k < variant.size(); ++k)
            if ((i / 8 + 1) & (1 << (k % 12)))
                variant[k] = variant[k].isUpper() ? variant[k].toLower() : variant[k].toUpper();
        familyNames << variant;
    }
    const struct
    {
        const char *what;
        QString service;
        QString dataset;
        QStringList columns;
        QString refusal; // empty: served
    } cases[] = {
        {"one name 5,000 times", "ContactsService", "DAContactList", QStringList(5000, QStringLiteral("LastName")),
         "Dataset \"DAContactList\" has no field \"LastName\" beyond the one named already"},
        {"4,097 names", "ContactsService", "DAFamilyList", familyNames, "beyond the one named already"},
        {"one name 400 times over the calendar", "ResourceService", "DACalenderData", QStringList(400, QStringLiteral("FullName")),
         "Dataset \"DACalenderData\" has no field \"FullName\" beyond the one named already"},
        {"an unknown name", "ContactsService", "DAContactList", {QStringLiteral("LastName"), QStringLiteral("NoSuchField")},
         "Dataset \"DAContactList\" has no field \"NoSuchField\""},
        {"each name once", "ResourceService", "DACalenderData", {QStringLiteral("FullName"), QStringLiteral("ID")}, {}},
    };
    const Session session = LogOn();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString answer = GetData(session, c.service, c.dataset, c.columns);
        if (c.refusal.isEmpty())
            EXPECT_EQ(answer, QStringLiteral("%1 fields").arg(c.columns.size()));
        else
            EXPECT_TRUE(answer.startsWith(QStringLiteral("refused: ")) && answer.contains(c.refusal)) << answer.toStdString();
        EXPECT_EQ(GetData(session, c.service, c.dataset, {c.columns.first()}), QStringLiteral("1 fields")) << "the next call";
    }
}

// After many large requests at once the server gives back what they took. AddressSanitizer's
// allocator keeps freed memory in quarantine and is not glibc's: the size is measured in the
// release-tests build.
TEST_F(BrennicUnderLoad, TheServerComesBackNearItsSizeAfterLargeRequests)
{
    if (!Ready())
        return;
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the resident size under AddressSanitizer says nothing of glibc's arenas; run in the release-tests build";
#endif
    const Session session = LogOn();
    int rows = 0;
    ASSERT_EQ(GetData(session, QStringLiteral("ResourceService"), QStringLiteral("DACalenderData"), {}, &rows), QStringLiteral("9 fields"));
    ASSERT_GT(rows, 20000);
    // Its base: what the first read leaves, once an idle call has let it give back the rest.
    QThread::msleep(1100);
    ASSERT_TRUE(Server().Probe());
    const qint64 before = ResidentKB();
    ASSERT_GT(before, 0);
    constexpr int kRequests = 20;
    std::vector<std::thread> clients;
    std::atomic<int> served{0};
    for (int i = 0; i < kRequests; ++i)
        clients.emplace_back([&] {
            // The whole calendar three times over in one reply.
            const Session own = LogOn();
            try {
                const QStringList tables(3, QStringLiteral("DACalenderData"));
                const auto reply = CoResourceService::Create(own.Message, own.Channel)->GetData(tables, {});
                if (TDADataStreamer::ReadDatasets(reply->Bytes()).size() == tables.size())
                    ++served;
            } catch (const std::exception &e) {
                ADD_FAILURE() << e.what();
            }
        });
    for (std::thread &client : clients)
        client.join();
    EXPECT_EQ(served, kRequests);
    // Clients go on calling, as their polls do: a call that finds the server idle lets it give
    // back what the load took.
    qint64 after = 0;
    kestrova::test::WaitFor([&] { return Server().Probe() && (after = ResidentKB()) - before < 100 * 1024; }, 10s);
    EXPECT_LT(after - before, 100 * 1024) << "before " << before << " kB, after " << after << " kB";

    // A client update of 300 MB (sparse, so made at once) goes out from disk: the server does
    // not grow by it while it sends it, nor after.
    const QString version = QStringLiteral("9.0.0.1");
    const QString updates = Server().Folder() + QStringLiteral("/Updates/") + version;
    ASSERT_TRUE(QDir().mkpath(updates));
    constexpr qint64 kUpdateSize = qint64(300) * 1024 * 1024;
    QFile update(updates + QStringLiteral("/Large.qor"));
    ASSERT_TRUE(update.open(QIODevice::WriteOnly) && update.resize(kUpdateSize));
    update.close();
    const qint64 beforeUpdate = ResidentKB();
    // Its peak from here on.
    QFile peakReset(QStringLiteral("/proc/%1/clear_refs").arg(Server().Pid()));
    ASSERT_TRUE(peakReset.open(QIODevice::WriteOnly) && peakReset.write("5") == 1);
    peakReset.close();
    {
        const Session own = LogOn();
        const std::unique_ptr<UpdateFiles> files =
            CoLogOnService::Create(own.Message, own.Channel)->DownloadClientUpdateEX(QStringLiteral("Quorva"), version);
        ASSERT_TRUE(files);
        ASSERT_EQ(files->GetCount(), 1);
        EXPECT_EQ(files->Items(0).FileName, QStringLiteral("\\Large.qor"));
        EXPECT_EQ(files->Items(0).Filedata().Size(), kUpdateSize);
    }
    const qint64 whileSending = ResidentKB(QStringLiteral("VmHWM"));
    qint64 afterUpdate = 0;
    kestrova::test::WaitFor([&] { return Server().Probe() && (afterUpdate = ResidentKB()) - beforeUpdate < 100 * 1024; }, 10s);
    EXPECT_LT(whileSending - beforeUpdate, 100 * 1024) << "before " << beforeUpdate << " kB, at most " << whileSending << " kB";
    EXPECT_LT(afterUpdate - beforeUpdate, 100 * 1024) << "before " << beforeUpdate << " kB, after " << afterUpdate << " kB";
    std::cout << "serving a 300 MB update: before " << beforeUpdate << " kB, at most " << whileSending << " kB, after "
              << afterUpdate << " kB\n";
}

} // namespace
