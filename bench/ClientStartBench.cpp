// Seconds from the client's start to its main window, with a preferred server and the automatic
// log-on: the Brennic program from the staging folder on a scratch database (made as the setup
// program makes one, with one administrator who asked for the automatic log-on once), and the
// client's whole start as its main() runs it (settings, the staged plug-ins, splash, connection,
// update check, log-on, main window), in this process, offscreen. The first start meets empty
// caches; the figure is the median of the rest.
//   client_start_bench [libpq URL] [starts]
//   (default URL: $KESTROVA_TEST_PG, as scripts/pg url prints it)
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uDMClient.h"
#include "client/uLogOn.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/IniFile.h"
#include "foundation/InteractiveLogon.h"
#include "foundation/SqlScript.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "pgdriver/uDAADODriver.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "testsupport/FreePorts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

const QString kAdministratorLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F465}");
const QString kUser = QStringLiteral("bench");

void RunScript(IDAConnection &connection, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    for (const QString &batch : SqlScript::SplitBatches(file.readAll()))
        connection.NewCommand(batch)->Execute();
}

// The real components; the message loop only notes the time the main window showed.
class TimingFactory : public THostComponentFactory
{
public:
    QElapsedTimer clock;
    qint64 shownAt = -1;
    QString user;

    void InstallComponents(TDMClient &client) override
    {
        THostComponentFactory::InstallComponents(client);
        m_client = &client;
    }
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        window.Widget()->show();
        QApplication::processEvents();
        shownAt = clock.elapsed();
        user = m_client && m_client->User() ? m_client->User()->UserName : QString();
        window.Widget()->close();
    }

private:
    TDMClient *m_client = nullptr;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString urlText = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("KESTROVA_TEST_PG");
    const int starts = argc > 2 ? std::max(2, atoi(argv[2])) : 6;
    if (urlText.isEmpty()) {
        std::fprintf(stderr, "usage: client_start_bench postgresql:///postgres?host=DIR&port=N&user=postgres [starts]\n");
        return 2;
    }
    const QUrlQuery query{QUrl(urlText)};
    const QString server = query.queryItemValue(QStringLiteral("host")) + QLatin1Char(',') + query.queryItemValue(QStringLiteral("port"));
    const QString dbUser = query.queryItemValue(QStringLiteral("user"));
    const QString dbName = QStringLiteral("kestrova_start_%1").arg(getpid());
    const QString stage = QStringLiteral(KESTROVA_STAGE_DIR);

    const TDAADODriver registration;
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("Admin"), QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=postgres;UserID=%2;").arg(server, dbUser));
    const QString dataSource = QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1;Database=%2;UserID=%3;").arg(server, dbName, dbUser);
    manager.AddConnection(QStringLiteral("Bench"), dataSource);
    auto admin = manager.NewConnection(QStringLiteral("Admin"));
    admin->NewCommand(QStringLiteral("CREATE DATABASE %1").arg(dbName))->Execute();

    int status = 0;
    QTemporaryDir work(stage + QStringLiteral("/../start-bench-XXXXXX"));
    std::unique_ptr<QProcess> brennic;
    try {
        {
            auto setup = manager.NewConnection(QStringLiteral("Bench"));
            for (const char *script : {"/mssqlScripts/CreateScript.sql", "/mssqlScripts/DefaultData.sql", "/mssqlScripts/CalenderData.sql"})
                RunScript(*setup, stage + QLatin1String(script));
            RunScript(*setup, QStringLiteral(KESTROVA_SOURCE_DIR "/server/database/NewDatabase.sql"));
        }
        // The server in a copy of the staging folder (hard links) with settings of its own.
        const QString serverFolder = work.filePath(QStringLiteral("server"));
        const QString clientFolder = work.filePath(QStringLiteral("client"));
        for (const QString &folder : {serverFolder, clientFolder})
            if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), stage, folder}) != 0)
                throw std::runtime_error("cannot copy the staging folder");
        const QString serverSettings = serverFolder + QStringLiteral("/Settings.ini");
        QFile::remove(serverSettings);
        const int httpPort = kestrova::test::FreeTcpPort();
        const QList<IniFile::Entry> entries = {
            {QStringLiteral("Data Access"), QStringLiteral("Datatype"), QStringLiteral("MSSQL")},
            {QStringLiteral("Data Access"), QStringLiteral("DataSource"), dataSource},
            {QStringLiteral("Server"), QStringLiteral("Port"), QString::number(httpPort)},
            {QStringLiteral("Discovery Service"), QStringLiteral("Port"), QString::number(kestrova::test::FreeUdpPort())},
            {QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("False")},
            {QStringLiteral("Backup"), QStringLiteral("Use Autobackup"), QStringLiteral("FALSE")},
        };
        if (!IniFile::writeStrings(serverSettings, entries))
            throw std::runtime_error("cannot write the server's settings");
        brennic = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), work.path());
        env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.filePath(QStringLiteral("server-registry")));
        env.remove(QStringLiteral("DISPLAY"));
        brennic->setProcessEnvironment(env);
        brennic->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        brennic->start(serverFolder + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
        if (!brennic->waitForStarted())
            throw std::runtime_error("Brennic did not start");
        const QString url = QStringLiteral("http://127.0.0.1:%1/BIN").arg(httpPort);
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(url);
        channel->SetSessionID(QUuid::createUuid());
        auto message = std::make_shared<TROMessage>();
        QElapsedTimer up;
        up.start();
        // Its first start climbs the patch ladder.
        for (bool answered = false; !answered; QThread::msleep(200)) {
            if (brennic->state() == QProcess::NotRunning || up.elapsed() > 600000)
                throw std::runtime_error("Brennic ended or did not answer in time");
            try {
                answered = CoProbeService::Create(message, channel)->ProbeServer();
            } catch (const std::exception &) {
            }
        }

        // The administrator (with the empty password) logs on once and asks for the automatic
        // log-on: the server keeps the secret's hash, the client's store the secret.
        const QString account = TvoSysInfo::GetUserName();
        {
            const QString insert = QStringLiteral("INSERT INTO tblUsers (PK_UserID, LogonUsername, LogonPassword, F_Userlevel) VALUES "
                                                  "('{B0000000-0000-0000-0000-000000000001}', '%1', '', '%2')").arg(kUser, kAdministratorLevel);
            auto db = manager.NewConnection(QStringLiteral("Bench"));
            db->NewCommand(insert)->Execute();
            auto logOn = CoLogOnService::Create(message, channel);
            std::unique_ptr<ROUser> user;
            if (logOn->VerifyUser(QStringLiteral("Quorva"), kUser, QString(), false, account, true, user) != 0)
                throw std::runtime_error("the bench user could not log on");
        }
        const QString registry = work.filePath(QStringLiteral("client-registry"));
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(registry));
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, url, QStringLiteral("Preferred server"));
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("TRUE"), QStringLiteral("Always use preferred server"));
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, kUser, TLogOnSteps::LastKnownUser);
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("Yes"), TLogOnSteps::UseWindowsLogon);
        TQorReg::WriteSecretString(HKEY_CURRENT_USER, ProductKey, DeriveInteractiveLogonSecret(QString(), kUser, account),
                                   TLogOnSteps::LogonSecret);
        // The client's folder: the staged program, plug-ins and texts, and a settings file of its own.
        QFile::remove(clientFolder + QStringLiteral("/Settings.ini"));
        IniFile::writeString(clientFolder + QStringLiteral("/Settings.ini"), QStringLiteral("System settings"),
                             QStringLiteral("Use discovery"), QStringLiteral("False"));

        std::printf("client start benchmark: Quorva's start to its main window, preferred server %s, automatic log-on, "
                    "the staged plug-ins, offscreen\n", qPrintable(url));
        std::vector<double> seconds;
        for (int i = 0; i < starts; ++i) {
            TimingFactory factory;
            const QString program = clientFolder + QStringLiteral("/Quorva");
            factory.clock.start();
            TQuorvaSteps steps(program, factory);
            TQuorvaStartup(steps, program, QStringLiteral(KESTROVA_VERSION)).Run();
            if (factory.shownAt < 0 || factory.user != kUser)
                throw std::runtime_error("a start did not reach the main window logged on");
            const double s = double(factory.shownAt) / 1000.0;
            std::printf("start %d: %.3f s%s\n", i + 1, s, i == 0 ? " (cold)" : "");
            std::fflush(stdout);
            if (i > 0)
                seconds.push_back(s);
        }
        std::sort(seconds.begin(), seconds.end());
        const double median = seconds[seconds.size() / 2];
        std::printf("median of the warm starts: %.3f s (limit 2 s)\n", median);
        if (median >= 2.0)
            status = 1;
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
