// Update's run against a real data server: the log-on service over HTTP, serving client
// versions from its "Updates" folder.
#include "DroppingProxy.h"

#include "tools/update/UpdateRun.h"
#include "tools/update/UpdateTexts.h"
#include "tools/update/uDM.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/TestFiles.h"
#include "testsupport/Wait.h"

#include "foundation/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <functional>
#include <map>

namespace {

using kestrova::test::FolderEntries;
using kestrova::test::ReadFile;
using kestrova::test::WriteFile;

using namespace std::chrono_literals;

// Replies are compressed; this keeps a reply large on the wire.
QByteArray incompressible(qsizetype size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// What the run showed and asked, and a hook for what happens once a version is in place.
class RecordingView : public IUpdateView
{
public:
    void SetBusy(bool) override {}
    void SetStatus(const QString &text) override { statuses << text; }
    void SetBar(int position) override { bars << position; }
    void SetBarMaximum(int) override {}
    void ProcessMessages() override {}
    void SetRefreshing(bool) override {}
    void Installed(const QString &version) override
    {
        installed << version;
        if (onInstalled)
            onInstalled(version);
    }
    void ShowError(const QString &text, const QString &caption) override { errors << caption + QStringLiteral(": ") + text; }
    void ShowMessage(const QString &text, const QString &caption) override { messages << caption + QStringLiteral(": ") + text; }

    QStringList statuses;
    QList<int> bars;
    QStringList installed;
    QStringList errors;
    QStringList messages;
    std::function<void(const QString &)> onInstalled;
};

class UpdateAgainstBrennic : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(root.isValid());
        client = root.filePath(QStringLiteral("installation/client"));
        ASSERT_TRUE(QDir().mkpath(client));
        ASSERT_TRUE(WriteFile(QDir(client).filePath("Settings.ini"), "[System settings]\r\nService Pack=1.0.0.0\r\n"));
        ASSERT_TRUE(WriteFile(QDir(client).filePath("Quorva"), "client 1.0.0.0"));
        probe = root.filePath(QStringLiteral("probe.txt"));
        qputenv("KESTROVA_CLIENT_PROBE", QFile::encodeName(probe));
    }

    void Stage(const QString &version, const std::map<QString, QByteArray> &files)
    {
        const QString versionFolder = QDir(folder.path()).filePath(QStringLiteral("Updates/") + version);
        ASSERT_TRUE(QDir().mkpath(versionFolder));
        for (const auto &[name, bytes] : files)
            ASSERT_TRUE(WriteFile(QDir(versionFolder).filePath(name), bytes)) << name.toStdString();
    }

    QString ServerURL(quint16 port = 0) const
    {
        return QStringLiteral("http://127.0.0.1:%1/BIN").arg(port ? port : http.Port());
    }

    // Runs Update as the client host starts it, with two arguments for the client's restart.
    void RunUpdate(const QString &url, const QString &currentVersion = QStringLiteral("1.0.0.0"))
    {
        TDM dm;
        TUpdateRun run(dm, view, client, currentVersion);
        run.Run({QStringLiteral("Update"), url, QStringLiteral("Quorva"), QStringLiteral(CLIENT_PROBE),
                 QStringLiteral("--server"), QStringLiteral("two words")});
    }

    QString ServicePack() const
    {
        return IniFile::readString(QDir(client).filePath("Settings.ini"), QStringLiteral("System settings"),
                                   QStringLiteral("Service Pack"), QString());
    }

    // The stand-in client's notes once it has started and written them all.
    QStringList ClientStart() const
    {
        kestrova::test::WaitFor([this] { return ReadFile(probe).endsWith("done\n"); }, 10s);
        return QString::fromUtf8(ReadFile(probe)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QStringList ClientFiles() const
    {
        QStringList files = FolderEntries(client);
        files.removeAll(QStringLiteral("Settings.ini"));
        return files;
    }

    QTemporaryDir root;
    QString client;
    QString probe;
    RecordingView view;
    const QStringList startedWithArguments{"arg:--server", "arg:two words", "done"};
};

TEST_F(UpdateAgainstBrennic, InstallsNewerVersionsOneAfterTheOtherAndStartsTheClientWithItsArguments)
{
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}, {"plugins/RvEvents.qor", "events 1.0.0.5"}});
    // The server offers the highest newer version it holds, so the next one goes up once the
    // first is in, as when versions are put up one after the other.
    view.onInstalled = [this](const QString &version) {
        if (version == QLatin1String("1.0.0.5"))
            Stage(QStringLiteral("1.0.0.9"), {{"Quorva", "client 1.0.0.9"}, {"help/index.html", "help 1.0.0.9"}});
    };
    RunUpdate(ServerURL());

    EXPECT_EQ(view.installed, (QStringList{"1.0.0.5", "1.0.0.9"}));
    EXPECT_TRUE(view.errors.isEmpty()) << view.errors.join('\n').toStdString();
    EXPECT_TRUE(view.messages.isEmpty()) << view.messages.join('\n').toStdString();
    EXPECT_EQ(ClientFiles(), (QStringList{"Quorva", "help", "help/index.html", "plugins", "plugins/RvEvents.qor"}));
    EXPECT_EQ(ReadFile(QDir(client).filePath("Quorva")), QByteArray("client 1.0.0.9"));
    EXPECT_EQ(ReadFile(QDir(client).filePath("plugins/RvEvents.qor")), QByteArray("events 1.0.0.5"));
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.9"));
    EXPECT_EQ(ClientStart(), startedWithArguments);
}

// The server sends its files from disk as it writes the reply; the client gets them whole.
TEST_F(UpdateAgainstBrennic, SmallAndLargeFilesArriveAsTheServerHoldsThem)
{
    // Many pieces on the wire, yet quick to pack: an eighth of it is random.
    QByteArray large(64 * 1024 * 1024 + 3, 'x');
    QRandomGenerator generator(5);
    for (qsizetype i = 0; i + 8 <= large.size(); i += 64)
        generator.fillRange(reinterpret_cast<quint32 *>(large.data() + i), 2);
    const struct
    {
        const char *version;
        std::map<QString, QByteArray> files;
    } rows[] = {
        {"1.0.0.5", {{"Quorva", "client 1.0.0.5"}, {"plugins/RvEvents.qor", "events 1.0.0.5"}}},
        {"1.0.0.6", {{"Quorva", "client 1.0.0.6"}, {"plugins/Large.qor", large}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.version);
        Stage(QString::fromLatin1(row.version), row.files);
        view = RecordingView();
        RunUpdate(ServerURL());
        EXPECT_EQ(view.installed, QStringList{QString::fromLatin1(row.version)});
        EXPECT_TRUE(view.errors.isEmpty()) << view.errors.join('\n').toStdString();
        for (const auto &[name, bytes] : row.files)
            EXPECT_TRUE(ReadFile(QDir(client).filePath(name)) == bytes) << name.toStdString();
    }
}

TEST_F(UpdateAgainstBrennic, TwoVersionsUpAtOnceBringTheClientStraightToTheHighest)
{
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}});
    Stage(QStringLiteral("1.0.0.9"), {{"Quorva", "client 1.0.0.9"}});
    RunUpdate(ServerURL());
    EXPECT_EQ(view.installed, QStringList{"1.0.0.9"});
    EXPECT_EQ(ReadFile(QDir(client).filePath("Quorva")), QByteArray("client 1.0.0.9"));
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.9"));
}

TEST_F(UpdateAgainstBrennic, AVersionAtOrBelowTheRecordedOneIsNotInstalledAgain)
{
    // The last update brought texts and help pages but no new program: the program's own version
    // stays 1.0.0.0, the recorded one says what is installed.
    struct Row
    {
        const char *Recorded;
        const char *Staged;
        QStringList Installed;
    };
    const Row rows[] = {
        {"1.0.0.5", "1.0.0.5", {}},
        {"1.0.0.5", "1.0.0.3", {}},
        {"1.0.0.5", "1.0.0.6", {"1.0.0.6"}},
        {"no version", "1.0.0.6", {"1.0.0.6"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.Recorded + std::string(" / ") + row.Staged);
        ASSERT_TRUE(QDir(QDir(folder.path()).filePath(QStringLiteral("Updates"))).removeRecursively());
        ASSERT_TRUE(IniFile::writeString(QDir(client).filePath("Settings.ini"), QStringLiteral("System settings"),
                                         QStringLiteral("Service Pack"), QString::fromLatin1(row.Recorded)));
        Stage(QString::fromLatin1(row.Staged), {{"Quorva.lng", "texts"}});
        view = RecordingView();
        RunUpdate(ServerURL());
        EXPECT_EQ(view.installed, row.Installed);
        EXPECT_TRUE(view.errors.isEmpty()) << view.errors.join('\n').toStdString();
    }
}

TEST_F(UpdateAgainstBrennic, AHostileFileNameRefusesTheVersionWithNothingWritten)
{
    // A file name holding backslashes is an ordinary name here; the server sends it as a path.
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}, {"..\\..\\escaped", "outside"}});
    RunUpdate(ServerURL());

    EXPECT_TRUE(view.installed.isEmpty());
    EXPECT_EQ(view.errors, QStringList{UpdateTexts::Text(UpdateTexts::Title) + QStringLiteral(": Error during download\rNewVersion:1.0.0.5 %1").arg(client)});
    EXPECT_EQ(ClientFiles(), QStringList{"Quorva"});
    EXPECT_EQ(ReadFile(QDir(client).filePath("Quorva")), QByteArray("client 1.0.0.0"));
    EXPECT_EQ(FolderEntries(root.filePath("installation")), (QStringList{"client", "client/Quorva", "client/Settings.ini"}));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("escaped")));
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(ClientStart(), startedWithArguments);
}

TEST_F(UpdateAgainstBrennic, ADroppedConnectionInstallsNothingOfThatVersion)
{
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}});
    view.onInstalled = [this](const QString &version) {
        if (version == QLatin1String("1.0.0.5"))
            Stage(QStringLiteral("1.0.0.9"),
                  {{"Quorva", "client 1.0.0.9"}, {"plugins/Large.qor", incompressible(256 * 1024)}});
    };
    DroppingProxy proxy(http.Port(), {"DownloadClientUpdateEX", "1.0.0.9"}, 2000);
    RunUpdate(ServerURL(proxy.Port()));

    EXPECT_TRUE(proxy.Dropped());
    EXPECT_EQ(view.installed, QStringList{"1.0.0.5"});
    EXPECT_EQ(view.errors, QStringList{UpdateTexts::Text(UpdateTexts::Title) + QStringLiteral(": Error during download\rNewVersion:1.0.0.9 %1").arg(client)});
    EXPECT_EQ(ClientFiles(), QStringList{"Quorva"});
    EXPECT_EQ(ReadFile(QDir(client).filePath("Quorva")), QByteArray("client 1.0.0.5"));
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.5"));
    EXPECT_EQ(ClientStart(), startedWithArguments);
}

TEST_F(UpdateAgainstBrennic, WithoutSettingsIniAVersionOfferedAgainEndsTheRun)
{
    ASSERT_TRUE(QFile::remove(QDir(client).filePath("Settings.ini")));
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}});
    // The next check goes out without a version, and the server offers the same one again.
    RunUpdate(ServerURL());
    EXPECT_EQ(view.installed, QStringList{"1.0.0.5"});
    EXPECT_EQ(ReadFile(QDir(client).filePath("Quorva")), QByteArray("client 1.0.0.5"));
    EXPECT_FALSE(QFileInfo::exists(QDir(client).filePath("Settings.ini")));
    EXPECT_EQ(ClientStart(), startedWithArguments);
}

TEST_F(UpdateAgainstBrennic, AVersionWithoutFilesCountsAsInstalled)
{
    Stage(QStringLiteral("1.0.0.5"), {});
    RunUpdate(ServerURL());
    EXPECT_EQ(view.installed, QStringList{"1.0.0.5"});
    EXPECT_EQ(ClientFiles(), QStringList{"Quorva"});
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.5"));
}

TEST_F(UpdateAgainstBrennic, AServerThatCannotBeReachedIsReportedAndTheClientStillStarts)
{
    quint16 closedPort = 0;
    {
        DroppingProxy unused(http.Port(), {}, 0);
        closedPort = unused.Port();
    }
    RunUpdate(ServerURL(closedPort));
    ASSERT_EQ(view.errors.size(), 1);
    EXPECT_TRUE(view.errors[0].startsWith(QStringLiteral("Quorva Product Updater: No updates availiable")));
    EXPECT_EQ(ClientStart(), startedWithArguments);
}

TEST_F(UpdateAgainstBrennic, WithTwoArgumentsOrFewerOnlyTheFoldersClientStarts)
{
    Stage(QStringLiteral("1.0.0.5"), {{"Quorva", "client 1.0.0.5"}});
    QFile::remove(QDir(client).filePath("Quorva"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(CLIENT_PROBE), QDir(client).filePath("Quorva")));
    TDM dm;
    TUpdateRun run(dm, view, client, QStringLiteral("1.0.0.0"));
    run.Run({QStringLiteral("Update"), ServerURL(), QStringLiteral("Quorva")});
    EXPECT_TRUE(view.installed.isEmpty());
    EXPECT_EQ(ServicePack(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(ClientStart(), QStringList{"done"});
}

} // namespace
