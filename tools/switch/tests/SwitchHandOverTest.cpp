#include "testsupport/Wait.h"
#include "testsupport/FakeWebService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "SwitchJob.h"

#include "updating/uDMUpdater.h"

#include "foundation/uCommon.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using kestrova::test::LogCapture;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool copyExecutable(const QString &from, const QString &to, const QByteArray &replaceStamp = {},
                    const QByteArray &withStamp = {})
{
    QByteArray bytes = readAll(from);
    if (bytes.isEmpty())
        return false;
    if (!replaceStamp.isEmpty()) {
        const QByteArray marker = "KESTROVA_FILE_VERSION=" + replaceStamp + '\0';
        const qsizetype at = bytes.indexOf(marker);
        if (at < 0 || replaceStamp.size() != withStamp.size())
            return false;
        bytes.replace(at, marker.size(), "KESTROVA_FILE_VERSION=" + withStamp + '\0');
    }
    QFile file(to);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// A version of the same length that compares higher: one digit of the last part raised.
QByteArray newerVersion(const QByteArray &version)
{
    QByteArray newer = version;
    for (qsizetype i = newer.size() - 1; i >= 0; --i)
        if (newer[i] >= '0' && newer[i] < '9') {
            ++newer[i];
            return newer;
        }
    return {};
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    return kestrova::test::WaitFor(condition, std::chrono::milliseconds(ms));
}

class SwapProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path();
        // The copies find the build's libraries the way the staged programs do beside them.
        qputenv("LD_LIBRARY_PATH", QByteArray(KESTROVA_STAGE_DIR));
        qputenv("KESTROVA_SWITCH_PROBE", QFile::encodeName(Path(QStringLiteral("probe.log"))));
        ASSERT_TRUE(copyExecutable(QStringLiteral(SWITCH_PROGRAM), Path(QStringLiteral("Switch"))));
        ASSERT_TRUE(copyExecutable(QStringLiteral(SWITCH_PROBE), Path(QStringLiteral("Probe"))));
    }
    void TearDown() override
    {
        qunsetenv("KESTROVA_SWITCH_PROBE");
    }
    QString Path(const QString &name) const { return QDir(m_folder).filePath(name); }
    QStringList ProbeStarts() const
    {
        QStringList lines = QString::fromUtf8(readAll(Path(QStringLiteral("probe.log")))).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

    QTemporaryDir m_dir;
    QString m_folder;
};

TEST_F(SwapProgram, NewerVersionIsFetchedParkedHandedOverAndRestarted)
{
    const QByteArray installed = KESTROVA_VERSION;
    const QByteArray newer = newerVersion(installed);
    ASSERT_FALSE(newer.isEmpty());
    QTemporaryDir served;
    const QString newProbe = served.filePath(QStringLiteral("Probe"));
    ASSERT_TRUE(copyExecutable(QStringLiteral(SWITCH_PROBE), newProbe, installed, newer));

    FakeWebService service;
    service.SetProduct(QStringLiteral("Kestrova_Probe"),
                       {FakeFile(QStringLiteral("Probe"), QString::fromLatin1(newer), readAll(newProbe))});
    // The swap program is current: listed with the version it has.
    service.SetProduct(QStringLiteral("VivAdaduz"),
                       {FakeFile(QStringLiteral("Switch"), QString::fromLatin1(installed), QByteArray("unused"))});
    QFile settings(Path(QStringLiteral("settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[WebServices]\nInstallationProvider=%1\n").arg(service.Host()).toUtf8());
    settings.close();

    // The installed program is running while it checks, as a real one would be.
    QProcess running;
    running.start(Path(QStringLiteral("Probe")), {QStringLiteral("--linger=1500")});
    ASSERT_TRUE(running.waitForStarted());

    LogCapture log;
    TDMUpdater updater(m_folder);
    updater.SetProductShortName(QStringLiteral("Kestrova_Probe"));
    ASSERT_TRUE(updater.CheckForUpdate(m_folder + QLatin1Char('/'), QStringLiteral("Probe"))) << log.lines().join('\n').toStdString();
    EXPECT_EQ(TvoSysInfo::GetFileVersion(Path(QStringLiteral("Probe.new"))), QString::fromLatin1(newer));
    EXPECT_EQ(TvoSysInfo::GetFileVersion(Path(QStringLiteral("Probe"))), QString::fromLatin1(installed));

    ASSERT_TRUE(TDMUpdater::HandOver(m_folder, QStringLiteral("Probe")));
    ASSERT_TRUE(running.waitForFinished(10000));

    // Switch waited for the first run to end before it swapped and started the new version.
    ASSERT_TRUE(waitFor([this] { return ProbeStarts().size() == 3; }, 20000)) << ProbeStarts().join('\n').toStdString();
    EXPECT_EQ(ProbeStarts(), (QStringList{QStringLiteral("started %1 --linger=1500").arg(QString::fromLatin1(installed)),
                                          QStringLiteral("ended %1").arg(QString::fromLatin1(installed)),
                                          QStringLiteral("started %1 ").arg(QString::fromLatin1(newer))}));
    EXPECT_EQ(TvoSysInfo::GetFileVersion(Path(QStringLiteral("Probe"))), QString::fromLatin1(newer));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Probe.new"))));

    ASSERT_TRUE(waitFor([this] { return readAll(Path(QStringLiteral("Switch.txt"))).contains("Started Probe"); }, 5000));
    const QString switchLog = QString::fromUtf8(readAll(Path(QStringLiteral("Switch.txt"))));
    EXPECT_TRUE(switchLog.contains(QStringLiteral("Probe is not running"))) << switchLog.toStdString();
    EXPECT_TRUE(switchLog.contains(QStringLiteral("Probe replaced by Probe.new (version %1)").arg(QString::fromLatin1(newer))))
        << switchLog.toStdString();
}

// The real server finds a newer version of itself, hands over and comes back as that version
// with the arguments it was started with: a service in the process its service manager
// watches, a desktop program through a detached swap program.
TEST_F(SwapProgram, TheServerComesBackUpdatedWithItsOwnArguments)
{
    const QByteArray installed = KESTROVA_VERSION;
    const QByteArray newer = newerVersion(installed);
    QTemporaryDir served;
    const QString newServer = served.filePath(QStringLiteral("Brennic"));
    ASSERT_TRUE(copyExecutable(QStringLiteral(SWITCH_PROBE), newServer, installed, newer));
    FakeWebService service;
    service.SetProduct(QStringLiteral("Kestrova_Server"),
                       {FakeFile(QStringLiteral("Brennic"), QString::fromLatin1(newer), readAll(newServer))});
    service.SetProduct(QStringLiteral("VivAdaduz"),
                       {FakeFile(QStringLiteral("Switch"), QString::fromLatin1(installed), QByteArray("unused"))});
    QFile settings(Path(QStringLiteral("Settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[WebServices]\nInstallationProvider=%1\n").arg(service.Host()).toUtf8());
    settings.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), m_folder);
    env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), m_folder);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));

    struct Mode
    {
        QStringList arguments;
        bool sameProcess;
    };
    for (const Mode &mode : {Mode{{QStringLiteral("--linger=1000"), QStringLiteral("--service")}, true},
                             Mode{{QStringLiteral("--linger=1000"), QStringLiteral("--tray")}, false}}) {
        SCOPED_TRACE(mode.arguments.join(' ').toStdString());
        QFile::remove(Path(QStringLiteral("probe.log")));
        ASSERT_TRUE(copyExecutable(QStringLiteral(BRENNIC_PROGRAM), Path(QStringLiteral("Brennic"))));
        QProcess server;
        server.setProcessEnvironment(env);
        server.start(Path(QStringLiteral("Brennic")), mode.arguments);
        ASSERT_TRUE(server.waitForStarted());
        ASSERT_TRUE(server.waitForFinished(60000));
        const QStringList atServerEnd = ProbeStarts();
        ASSERT_TRUE(waitFor([this] { return ProbeStarts().size() == 2; }, 20000))
            << ProbeStarts().join('\n').toStdString() << readAll(Path(QStringLiteral("server_session.txt"))).toStdString()
            << readAll(Path(QStringLiteral("Switch.txt"))).toStdString();
        EXPECT_EQ(ProbeStarts(), (QStringList{QStringLiteral("started %1 %2").arg(QString::fromLatin1(newer), mode.arguments.join(' ')),
                                              QStringLiteral("ended %1").arg(QString::fromLatin1(newer))}));
        // The process the test started was the new version's to the end, or it ended at the hand-over.
        EXPECT_EQ(atServerEnd.size(), mode.sameProcess ? 2 : 0) << atServerEnd.join('\n').toStdString();
        EXPECT_EQ(server.exitCode(), 0);
        EXPECT_EQ(TvoSysInfo::GetFileVersion(Path(QStringLiteral("Brennic"))), QString::fromLatin1(newer));
        EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Brennic.new"))));
    }
}

TEST_F(SwapProgram, RunningProgramIsFoundByItsFileUntilItEnds)
{
    QProcess running;
    running.start(Path(QStringLiteral("Probe")), {QStringLiteral("--linger=1000")});
    ASSERT_TRUE(running.waitForStarted());
    EXPECT_EQ(ProcessesRunning(Path(QStringLiteral("Probe"))), (QList<qint64>{running.processId()}));
    EXPECT_TRUE(ProcessesRunning(Path(QStringLiteral("Switch"))).isEmpty());
    EXPECT_FALSE(WaitUntilEnded(Path(QStringLiteral("Probe")), 200));
    ASSERT_TRUE(running.waitForFinished(10000));
    EXPECT_TRUE(WaitUntilEnded(Path(QStringLiteral("Probe")), 1000));
    EXPECT_TRUE(ProcessesRunning(QStringLiteral("/nonexistent/program")).isEmpty());
}

TEST_F(SwapProgram, ProgramStillRunningAfterTheWaitIsNotReplaced)
{
    QFile parked(Path(QStringLiteral("Probe.new")));
    ASSERT_TRUE(parked.open(QIODevice::WriteOnly));
    parked.write("new");
    parked.close();
    QProcess running;
    running.start(Path(QStringLiteral("Probe")), {QStringLiteral("--linger=1500")});
    ASSERT_TRUE(running.waitForStarted());
    const auto order = SwitchOrder::Parse(QStringLiteral("Probe\r\nProbe.new\r\nTrue\r\nWriteLog\r\n"));
    ASSERT_TRUE(order.has_value());
    LogCapture log;
    EXPECT_EQ(RunSwitch(*order, m_folder, 300), 1);
    EXPECT_EQ(readAll(Path(QStringLiteral("Probe.new"))), QByteArray("new"));
    EXPECT_EQ(log.linesWith(QStringLiteral("nothing replaced")).size(), 1);
    ASSERT_TRUE(running.waitForFinished(10000));
    EXPECT_EQ(ProbeStarts().size(), 2) << "no second start while the first runs";
}

TEST_F(SwapProgram, BrokenDownloadStartsNoHandOverAndKeepsTheProgram)
{
    const QByteArray installed = KESTROVA_VERSION;
    FakeWebService service;
    FakeFile broken(QStringLiteral("Probe"), QString::fromLatin1(newerVersion(installed)), QByteArray(40000, 'x'));
    broken.delivery = FakeFile::Delivery::DropMidway;
    service.SetProduct(QStringLiteral("Kestrova_Server"), {broken});
    const QByteArray before = readAll(Path(QStringLiteral("Probe")));

    LogCapture log;
    TDMUpdater updater(m_folder);
    updater.SetInstallationHost(service.Host());
    EXPECT_FALSE(updater.CheckForUpdate(m_folder, QStringLiteral("Probe")));
    EXPECT_EQ(readAll(Path(QStringLiteral("Probe"))), before);
    EXPECT_EQ(QDir(m_folder).entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("Probe"), QStringLiteral("Switch")}));
}

TEST_F(SwapProgram, WithoutParkedFileTheProgramIsKeptAndStartedAgain)
{
    QProcess swap;
    swap.start(Path(QStringLiteral("Switch")), {QStringLiteral("Probe\r\nProbe.new\r\nTrue\r\nWriteLog\r\n")});
    ASSERT_TRUE(swap.waitForFinished(20000));
    EXPECT_EQ(swap.exitCode(), 1);
    ASSERT_TRUE(waitFor([this] { return ProbeStarts().size() == 1; }, 10000));
    const QString switchLog = QString::fromUtf8(readAll(Path(QStringLiteral("Switch.txt"))));
    EXPECT_TRUE(switchLog.contains(QStringLiteral("Probe.new not found; Probe kept"))) << switchLog.toStdString();
}

TEST_F(SwapProgram, BadListIsRefusedAndChangesNothing)
{
    QFile parked(Path(QStringLiteral("Probe.new")));
    ASSERT_TRUE(parked.open(QIODevice::WriteOnly));
    parked.write("new");
    parked.close();
    QProcess swap;
    swap.start(Path(QStringLiteral("Switch")), {QStringLiteral("../Probe\r\nProbe.new\r\nTrue\r\nWriteLog\r\n")});
    ASSERT_TRUE(swap.waitForFinished(20000));
    EXPECT_EQ(swap.exitCode(), 2);
    EXPECT_EQ(readAll(Path(QStringLiteral("Probe.new"))), QByteArray("new"));
    EXPECT_TRUE(ProbeStarts().isEmpty());
}

} // namespace
