// The program Update itself, started as the client host starts it, against a real data server.
#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/Wait.h"

#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

using kestrova::test::ReadFile;
using kestrova::test::WriteFile;

using namespace std::chrono_literals;

class UpdateProgram : public kestrova::test::ServiceHarness
{
};

TEST_F(UpdateProgram, InstallsTheServersVersionAndStartsTheClientAgainWithItsArguments)
{
    QTemporaryDir installation;
    ASSERT_TRUE(installation.isValid());
    const QString home = installation.path();
    // A copy, so that its own folder is the installation's; it finds the build's libraries as
    // the staged programs do.
    ASSERT_TRUE(QFile::copy(QStringLiteral(UPDATE_PROGRAM), QDir(home).filePath("Update")));
    ASSERT_TRUE(QFile::setPermissions(QDir(home).filePath("Update"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                           | QFileDevice::ExeOwner));
    ASSERT_TRUE(WriteFile(QDir(home).filePath("settings.ini"), "[System settings]\r\nService Pack=\r\n"));
    const QString updates = QDir(folder.path()).filePath(QStringLiteral("Updates/1.0.0.7"));
    ASSERT_TRUE(WriteFile(QDir(updates).filePath("Quorva"), "client 1.0.0.7"));
    ASSERT_TRUE(WriteFile(QDir(updates).filePath("plugins/RvContacts.qor"), "contacts 1.0.0.7"));
    const QString probe = QDir(home).filePath("probe.txt");

    QProcess update;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(KESTROVA_STAGE_DIR));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KESTROVA_CLIENT_PROBE"), probe);
    update.setProcessEnvironment(environment);
    update.start(QDir(home).filePath("Update"),
                 {QStringLiteral("http://127.0.0.1:%1/BIN").arg(http.Port()), QStringLiteral("Quorva"),
                  QStringLiteral(CLIENT_PROBE), QStringLiteral("--server"), QStringLiteral("host name:8099")});
    ASSERT_TRUE(update.waitForFinished(30000)) << update.readAllStandardError().toStdString();
    EXPECT_EQ(update.exitCode(), 0) << update.readAllStandardError().toStdString();

    EXPECT_EQ(ReadFile(QDir(home).filePath("Quorva")), QByteArray("client 1.0.0.7"));
    EXPECT_EQ(ReadFile(QDir(home).filePath("plugins/RvContacts.qor")), QByteArray("contacts 1.0.0.7"));
    EXPECT_EQ(IniFile::readString(QDir(home).filePath("settings.ini"), QStringLiteral("System settings"),
                                  QStringLiteral("Service Pack"), QString()),
              QStringLiteral("1.0.0.7"));
    ASSERT_TRUE(kestrova::test::WaitFor([&] { return ReadFile(probe).endsWith("done\n"); }, 10s));
    EXPECT_EQ(QString::fromUtf8(ReadFile(probe)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{"arg:--server", "arg:host name:8099", "done"}));

    const QString log = QString::fromUtf8(ReadFile(QDir(home).filePath("Update.txt")));
    EXPECT_TRUE(log.contains(QStringLiteral("Application updater"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Main\tExisting version 1.0.0.0"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Main\tnew update 1.0.0.7"))) << log.toStdString();
}

} // namespace
