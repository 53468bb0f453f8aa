// The connection test and the server list against the private cluster.
#include "fMorvane.h"
#include "uQorSQLFunctions.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/TestDatabase.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

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
    // A database the server does not hold fails too.
    EXPECT_FALSE(TQorSQLFunctions::TestConnection(
        TQorServerSettings::DataSourceText(false, Server(db.port()), db.name() + QStringLiteral("_none"), QStringLiteral("postgres"))));
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

} // namespace
