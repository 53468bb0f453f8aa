// The connection test and the server list against the private cluster.
#include "fMorvane.h"
#include "uQorSQLFunctions.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/IniFile.h"
#include "pgdriver/uDAADODriver.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/FreePorts.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/TestDatabase.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

using kestrova::test::TestDatabase;

class MorvaneConnection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
    }

    QString Server(int port) const { return db.socketDir() + QLatin1Char(',') + QString::number(port); }

    kestrova::test::TestDatabase db;
};

TEST_F(MorvaneConnection, TheTestSucceedsAgainstTheClusterAndFailsAtAWrongPortWithinItsTime)
{
    QString error;
    EXPECT_TRUE(TQorSQLFunctions::TestConnection(
        TQorServerSettings::DataSourceText(false, Server(db.port()), db.name(), QStringLiteral("postgres")), &error))
        << error.toStdString();
    EXPECT_TRUE(TQorSQLFunctions::GetServerVersion(
                    TQorServerSettings::DataSourceText(false, Server(db.port()), QStringLiteral("postgres"), QStringLiteral("postgres")))
                    .startsWith(QStringLiteral("15.")));

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(TQorSQLFunctions::TestConnection(
        TQorServerSettings::DataSourceText(false, Server(db.port() + 1), db.name(), QStringLiteral("postgres")), &error));
    EXPECT_LT(clock.elapsed(), TQorSQLFunctions::ConnectTimeoutSeconds * 1000);
    EXPECT_FALSE(error.isEmpty());
    // A database the server does not hold fails too, and so does one without the system's tables.
    EXPECT_FALSE(TQorSQLFunctions::TestConnection(
        TQorServerSettings::DataSourceText(false, Server(db.port()), db.name() + QStringLiteral("_none"), QStringLiteral("postgres"))));
    error.clear();
    EXPECT_FALSE(TQorSQLFunctions::TestConnection(
        TQorServerSettings::DataSourceText(false, Server(db.port()), QStringLiteral("postgres"), QStringLiteral("postgres")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("tblusers"), Qt::CaseInsensitive)) << error.toStdString();
}

TEST_F(MorvaneConnection, TheListOffersTheLocalClusterByItsSocket)
{
    const QStringList servers = TQorSQLFunctions::ListSQLServers({db.socketDir(), db.socketDir()});
    EXPECT_EQ(servers, (QStringList{Server(db.port()), QStringLiteral("localhost")}));
}

TEST_F(MorvaneConnection, TheWindowTestsTheTypedServerAndShowsItsWholeVersion)
{
    QTemporaryDir dir;
    QFile settings(dir.filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[Data Access]\nDataSource=%1\n")
                       .arg(TQorServerSettings::DataSourceText(false, QStringLiteral("typed"), db.name(), QStringLiteral("postgres")))
                       .toUtf8());
    settings.close();
    TfMorvaneurator form;
    QStringList errors;
    form.ShowError = [&errors](const QString &text) { errors << text; };
    form.SetProgramFolder(dir.path());
    form.SocketFolders = {db.socketDir()};
    form.InitForm();
    form.PopulateServers();
    EXPECT_EQ(form.Servers()->currentText(), QStringLiteral("typed"));
    EXPECT_EQ(form.Servers()->itemText(0), Server(db.port()));
    form.Servers()->setEditText(form.Servers()->itemText(0));
    form.TestClick();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(form.ResultLabel()->text().startsWith(QStringLiteral("Connection success 15."))) << form.ResultLabel()->text().toStdString();
}

// The staged server in a copy of the staging folder (hard links) whose settings Morvane made.
TEST(MorvaneMadeSettings, ANewSettingsFileStartsTheServer)
{
    TestDatabase db{kestrova::test::CurrentSchemaStage()};
    if (!db.available())
        GTEST_SKIP();
    // A new file names the database the system installs; the test's database takes that name.
    const QString installed = TQorServerSettings::DefaultDatabase;
    const TDAADODriver registration;
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("Admin"), TestDatabase::connectionString(db.socketDir(), db.port(), QStringLiteral("postgres")));
    auto admin = manager.NewConnection(QStringLiteral("Admin"));
    const auto dropInstalled = [&] {
        admin->NewCommand(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(installed))->Execute();
    };
    dropInstalled();
    admin->NewCommand(QStringLiteral("ALTER DATABASE \"%1\" RENAME TO \"%2\"").arg(db.name(), installed))->Execute();
    const std::unique_ptr<void, std::function<void(void *)>> cleanUp(&db, [&](void *) { dropInstalled(); });

    QTemporaryDir work(QStringLiteral(KESTROVA_STAGE_DIR "/../morvane-test-XXXXXX"));
    ASSERT_TRUE(work.isValid());
    const QString stage = work.filePath(QStringLiteral("stage"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), stage}), 0);
    const QString settings = stage + QStringLiteral("/Settings.ini");
    ASSERT_TRUE(QFile::remove(settings));

    const quint16 port = kestrova::test::FreeTcpPort();
    {
        TfMorvaneurator form;
        QStringList errors;
        form.ShowError = [&errors](const QString &text) { errors << text; };
        form.SetProgramFolder(stage);
        form.InitForm();
        ASSERT_EQ(form.Settings(), nullptr);
        form.Servers()->setEditText(db.socketDir() + QLatin1Char(',') + QString::number(db.port()));
        form.UserName()->setText(QStringLiteral("postgres"));
        form.ServerPort()->setText(QString::number(port));
        form.DiscoveryPort()->setText(QString::number(kestrova::test::FreeUdpPort()));
        form.ChooseSaveFile = [&settings] { return settings; };
        form.SaveClick();
        ASSERT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(form.result(), QDialog::Accepted);
    }
    // The rest of the shipped file is there, such as the data type the server needs.
    EXPECT_EQ(IniFile::readString(settings, QStringLiteral("Data Access"), QStringLiteral("Datatype"), {}), QStringLiteral("MSSQL"));
    // Nothing beyond this test: no web check, no backup on the test's database.
    ASSERT_TRUE(IniFile::writeStrings(settings, {{QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("False")},
                                                 {QStringLiteral("Backup"), QStringLiteral("Use Autobackup"), QStringLiteral("FALSE")}}));

    QProcess brennic;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), work.path());
    env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.filePath(QStringLiteral("registry")));
    env.remove(QStringLiteral("DISPLAY"));
    brennic.setProcessEnvironment(env);
    brennic.setProcessChannelMode(QProcess::MergedChannels);
    brennic.start(stage + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
    ASSERT_TRUE(brennic.waitForStarted());
    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/BIN").arg(port));
    channel->SetSessionID(QUuid::createUuid());
    auto message = std::make_shared<TROMessage>();
    bool answered = false;
    QElapsedTimer clock;
    clock.start();
    while (!answered && brennic.state() != QProcess::NotRunning && clock.elapsed() < 60000) {
        try {
            answered = CoProbeService::Create(message, channel)->ProbeServer();
        } catch (const std::exception &) {
            brennic.waitForFinished(200);
        }
    }
    const bool ended = brennic.state() == QProcess::NotRunning;
    if (!ended) {
        ::kill(pid_t(brennic.processId()), SIGTERM);
        if (!brennic.waitForFinished(30000))
            brennic.kill();
    }
    EXPECT_TRUE(answered) << QString::fromLocal8Bit(brennic.readAll()).toStdString();
    EXPECT_FALSE(ended) << "the server ended on the new settings file";
}

} // namespace
