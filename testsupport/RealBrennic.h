// The real Brennic program, started from a copy of the staging folder against a fresh database
// at the current schema, with HTTP and discovery on free loopback ports: what the client's
// end-to-end tests talk to. One per test program; users are written straight into its database.
#pragma once

#include "server/services/PasswordHash.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/FreePorts.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/Wait.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/IniFile.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

#include <gtest/gtest.h>

namespace kestrova::test {

class RealBrennic
{
public:
    RealBrennic() : m_db(CurrentSchemaStage()) {}
    ~RealBrennic() { Stop(); }
    RealBrennic(const RealBrennic &) = delete;
    RealBrennic &operator=(const RealBrennic &) = delete;

    bool Available() const { return m_db.available(); }
    TestDatabase &Db() { return m_db; }
    quint16 HttpPort() const { return m_httpPort; }
    quint16 DiscoveryPort() const { return m_discoveryPort; }
    QString URL() const { return QStringLiteral("http://127.0.0.1:%1/BIN").arg(m_httpPort); }
    QString Folder() const { return m_folder; }
    qint64 Pid() const { return m_process ? m_process->processId() : 0; }
    QString Log() const
    {
        QFile file(m_folder + QStringLiteral("/server_session.txt"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Empty on success, else why it did not serve. A free port may be taken by another program
    // before the server listens on it, so a start that cannot listen tries other ports.
    QString Start()
    {
        if (!m_work.isValid())
            return QStringLiteral("no work folder");
        m_folder = m_work.filePath(QStringLiteral("stage"));
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), m_folder}) != 0)
            return QStringLiteral("the staging folder could not be copied");
        QString error;
        for (int attempt = 0; attempt < 3; ++attempt) {
            error = StartOnFreePorts();
            if (error.isEmpty() || !error.contains(QStringLiteral("Cannot listen")))
                break;
            QFile::remove(m_folder + QStringLiteral("/server_session.txt"));
        }
        return error;
    }

private:
    QString StartOnFreePorts()
    {
        using namespace std::chrono_literals;
        const QString settings = m_folder + QStringLiteral("/Settings.ini");
        QFile::remove(settings);
        m_httpPort = FreeTcpPort();
        m_discoveryPort = FreeUdpPort();
        const QList<IniFile::Entry> entries = {
            {QStringLiteral("Data Access"), QStringLiteral("Datatype"), QStringLiteral("MSSQL")},
            {QStringLiteral("Data Access"), QStringLiteral("DataSource"), m_db.connectionString()},
            {QStringLiteral("Server"), QStringLiteral("Port"), QString::number(m_httpPort)},
            {QStringLiteral("Discovery Service"), QStringLiteral("Port"), QString::number(m_discoveryPort)},
            {QStringLiteral("Discovery Service"), QStringLiteral("Use discovery"), QStringLiteral("True")},
            {QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("False")},
        };
        if (!IniFile::writeStrings(settings, entries))
            return QStringLiteral("Settings.ini could not be written");
        return Launch();
    }

    QString Launch()
    {
        using namespace std::chrono_literals;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), m_work.path());
        env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), m_work.filePath(QStringLiteral("server-registry")));
        env.remove(QStringLiteral("DISPLAY"));
        m_process = std::make_unique<QProcess>();
        m_process->setProcessEnvironment(env);
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(m_work.filePath(QStringLiteral("console.txt")));
        m_process->start(m_folder + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
        if (!m_process->waitForStarted())
            return QStringLiteral("Brennic did not start");
        if (!WaitFor([&] { return Probe() || m_process->state() == QProcess::NotRunning; }, 120s) ||
            m_process->state() != QProcess::Running)
            return QStringLiteral("Brennic does not serve:\n") + Log();
        return {};
    }

public:
    // The same server again, on its ports and database: the sessions it knew are gone.
    QString Restart()
    {
        Stop();
        QFile::remove(m_folder + QStringLiteral("/server_session.txt"));
        return Launch();
    }

    void Stop()
    {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process->processId()), SIGTERM);
        m_process->waitForFinished(30000);
    }

    bool Probe() const
    {
        using namespace std::chrono_literals;
        try {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(URL());
            channel->SetTimeout(2s);
            return CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer();
        } catch (const std::exception &) {
            return false;
        }
    }

    void ClearUsersAndSettings()
    {
        m_db.exec(QStringLiteral("DELETE FROM dbo.tblSettings; DELETE FROM dbo.tblBlobSettings; DELETE FROM dbo.tblUsers;"));
    }

    // A user with a hashed password at a level of that value (made when the database has none).
    void AddUser(const QString &id, const QString &name, const QString &password, qint64 levelValue)
    {
        m_db.exec(QStringLiteral("INSERT INTO dbo.tblUserLevels (PK_UserLevelID, UserLevelName, UserlevelValue, UserlevelComments) "
                                 "SELECT '{%1}', 'Level %2', %2, 'made by a test' WHERE NOT EXISTS "
                                 "(SELECT 1 FROM dbo.tblUserLevels WHERE UserlevelValue = %2);")
                      .arg(QStringLiteral("7E570000-0000-0000-0000-%1").arg(levelValue, 12, 16, QLatin1Char('0')).toUpper())
                      .arg(levelValue));
        m_db.exec(QStringLiteral("INSERT INTO dbo.tblUsers (PK_UserID, LogonUsername, LogonPassword, F_Userlevel) VALUES "
                                 "('%1', '%2', '%3', (SELECT PK_UserLevelID FROM dbo.tblUserLevels WHERE UserlevelValue = %4 "
                                 "ORDER BY PK_UserLevelID LIMIT 1));")
                      .arg(id, name, HashPassword(password))
                      .arg(levelValue));
    }

private:
    TestDatabase m_db;
    QTemporaryDir m_work{QStringLiteral(KESTROVA_STAGE_DIR "/../client-e2e-XXXXXX")};
    QString m_folder;
    quint16 m_httpPort = 0;
    quint16 m_discoveryPort = 0;
    std::unique_ptr<QProcess> m_process;
};

// A test suite that shares one real Brennic among its tests: started before the first, stopped
// after the last. A derived SetUp calls this one first and returns when it skipped or failed.
class RealBrennicSuite : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new RealBrennic;
        if (s_server->Available())
            s_error = s_server->Start();
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override
    {
        if (!s_server->Available())
            GTEST_SKIP();
        ASSERT_TRUE(s_error.isEmpty()) << s_error.toStdString();
    }
    bool Ready() const { return !IsSkipped() && !HasFatalFailure(); }
    static RealBrennic &Server() { return *s_server; }

    static inline RealBrennic *s_server = nullptr;
    static inline QString s_error;
};

} // namespace kestrova::test
