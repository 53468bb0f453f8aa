#include "ReportMatcher.h"

#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uQorPathHelper.h"
#include "tools/tolvik/uQorSearches.h"
#include "tools/tolvik/uQorXMLProsessor.h"

#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using kestrova::test::ReadFile;
using kestrova::test::WriteFile;

class RecordingProgress : public ITaskProgress
{
public:
    void SetProgress(const QString &text, int position, int maximum) override
    {
        if (!text.isEmpty())
            actions << text;
        if (maximum > 0)
            lastMaximum = maximum;
        if (position > 0)
            positions << position;
    }
    void SetTaskText(const QString &text, bool replace) override
    {
        if (replace)
            prefix = text;
        tasks << (replace ? text : prefix + text);
    }
    QString prefix;
    QStringList tasks;
    QStringList actions;
    QList<int> positions;
    int lastMaximum = 0;
};

class TaskProcessor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool.isValid() && registry.isValid() && elsewhere.isValid());
        const QString folder = tool.path();
        ASSERT_TRUE(WriteFile(folder + "/notes.txt", "first line\r\n\r\nthird line"));
        ASSERT_TRUE(WriteFile(folder + "/.hidden.txt", "kept out of sight\n"));
        ASSERT_TRUE(WriteFile(folder + "/readonly.txt", "fixed\n"));
        ASSERT_TRUE(QFile::setPermissions(folder + "/readonly.txt", QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        ASSERT_TRUE(WriteFile(folder + "/plugins/readme.txt", "read me\n"));
        ASSERT_TRUE(WriteFile(folder + "/plugins/deep/log.txt", "deep down\n"));
        static const char plugin[] = "\x7f" "ELF...KESTROVA_FILE_VERSION=1.2.3.4\0...";
        static const char library[] = "KESTROVA_FILE_VERSION=1.0.0.0\0";
        ASSERT_TRUE(WriteFile(folder + "/plugins/RvEvents.qor", QByteArray(plugin, sizeof plugin - 1)));
        ASSERT_TRUE(WriteFile(folder + "/libQuorva_Data_Service.so", QByteArray(library, sizeof library - 1)));
        // A link out of the folder is not followed.
        ASSERT_TRUE(QFile::link(QStringLiteral("/etc/hostname"), folder + "/outside.txt"));

        ASSERT_TRUE(WriteFile(registry.filePath("user.ini"), "[Software\\Orbek]\nTop=the start key's own value\n"
                                                             "[Software\\Orbek\\Kestrova]\nLanguage=nb\n"
                                                             "[Software\\Orbek\\Kestrova\\Mail]\nSMTPPassword=hunter2\n"
                                                             "Server=smtp.example.org\n"
                                                             "[Software\\Other]\nElsewhere=1\n"));
        ASSERT_TRUE(WriteFile(registry.filePath("machine.ini"),
                              "[SOFTWARE\\Orbek\\Kestrova\\Server]\nAddress=it's here\nEmpty=\nBroken=\xff\xfe\n"));
        qputenv("KESTROVA_REGISTRY_DIR", QFile::encodeName(registry.path()));

        // A folder with a file the task's mask matches, outside the folders a task may read.
        ASSERT_TRUE(WriteFile(elsewhere.filePath("elsewhere.txt"), "not to be read\n"));
        TQorFolderSet folders;
        folders.Windows = elsewhere.path();
        folders.System = QStringLiteral("/usr/lib");
        folders.Tool = folder;
        folders.Programs = QStringLiteral("/opt");
        folders.Readable = {folder};
        TQorPathHelper::SetFolders(folders);
        TolvikTexts::SetLanguage(QLocale::English);
    }
    void TearDown() override { qunsetenv("KESTROVA_REGISTRY_DIR"); }

    QString Data(const char *name) const { return QStringLiteral(KESTROVA_SOURCE_DIR "/tools/tolvik/tests/data/") + name; }

    QString TaskFile(const QByteArray &content)
    {
        const QString path = tool.filePath("configuration.xml");
        EXPECT_TRUE(WriteFile(path, content));
        return path;
    }

    QDomDocument Run(const QString &taskFile)
    {
        QDomDocument report = NewReportDocument(QStringLiteral("Support Tool"), QStringLiteral("1.0.0.0"), QDate::currentDate());
        TQorXMLProsessor processor(&progress, taskFile);
        processor.SetOutput(&report);
        processor.Run();
        return report;
    }

    QTemporaryDir tool;
    QTemporaryDir registry;
    QTemporaryDir elsewhere;
    RecordingProgress progress;
};

TEST_F(TaskProcessor, EverySearchKindWritesItsElementsAsTheExpectedReportHasThem)
{
    const QDomDocument report = Run(Data("configuration.xml"));
    QDomDocument expected;
    ASSERT_TRUE(expected.setContent(QString::fromUtf8(ReadFile(Data("expected-report.xml"))).replace("@TOOL@", tool.path())));
    const QStringList mismatches = kestrova::test::Mismatches(expected.documentElement(), report.documentElement());
    EXPECT_TRUE(mismatches.isEmpty()) << mismatches.join('\n').toStdString() << "\n" << report.toString(1).toStdString();
    EXPECT_TRUE(ReportText(report).startsWith(QStringLiteral("<?xml version=\"1.0\"?>\n<Support>"))) << ReportText(report).left(80).toStdString();
    EXPECT_FALSE(report.toString().contains(QStringLiteral("hunter2")));
}

TEST_F(TaskProcessor, ReportsEachTaskAndWhatItSearches)
{
    Run(Data("configuration.xml"));
    EXPECT_EQ(progress.lastMaximum, 12);
    EXPECT_EQ(progress.positions, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    for (const char *task : {"Searching for files - *.txt", "Searching for files - *.QOR", "Registry", "System information",
                             "Searching for files - Machine keys", "Services", "SQL server"})
        EXPECT_TRUE(progress.tasks.contains(QString::fromLatin1(task))) << task;
    for (const char *action : {"registry", "Systeminfo", "objects", "Services", "SQLServer", "plugins", "deep"})
        EXPECT_TRUE(progress.actions.contains(QString::fromLatin1(action))) << action;
}

TEST_F(TaskProcessor, ATaskFileWithoutTasksOrThatIsNoXmlFails)
{
    EXPECT_THROW(
        {
            try {
                Run(TaskFile("<configuration><item category=\"SYSINFO\"/></configuration>"));
            } catch (const EQorTaskError &error) {
                EXPECT_STREQ(error.what(), "invalid node in the configuration node");
                throw;
            }
        },
        EQorTaskError);
    EXPECT_THROW(Run(TaskFile("<configuration><task category=\"SYSINFO\">")), EQorTaskError);
}

TEST_F(TaskProcessor, AFileSearchWithoutFoldersEndsTheRun)
{
    try {
        Run(TaskFile("<configuration><task category=\"BROWSE\"><wildcard>*</wildcard></task>"
                     "<task category=\"SQLSERVER\"/></configuration>"));
        FAIL() << "the run went on";
    } catch (const EQorTaskError &error) {
        EXPECT_STREQ(error.what(), "Error in xml -> no search directories");
    }
    EXPECT_FALSE(progress.tasks.contains(QStringLiteral("SQL server")));
}

// A socket opens for nobody, and a pipe nobody writes would hold a reader for ever: each is
// listed by name with a note and never opened, and the report ends.
TEST_F(TaskProcessor, AFileThatIsThereButCannotBeReadIsReportedAndTheRunGoesOn)
{
    ASSERT_TRUE(QDir(tool.path()).mkpath(QStringLiteral("locked")));
    const QByteArray socketPath = QFile::encodeName(tool.filePath("locked/a.sock"));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socket, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    const QByteArray fifoPath = QFile::encodeName(tool.filePath("locked/b.fifo"));
    ASSERT_EQ(::mkfifo(fifoPath.constData(), 0644), 0);
    ASSERT_TRUE(WriteFile(tool.filePath("locked/c.txt"), "read me\n"));

    const QDomDocument report = Run(TaskFile("<configuration><task category=\"BROWSE\"><searchdirs><dir dir=\"APPDIR/locked\"/>"
                                             "</searchdirs><filter action=\"view\" versionnumber=\"true\"/><wildcard>*</wildcard></task>"
                                             "<task category=\"SQLSERVER\"/></configuration>"));
    ::close(socket);
    const QDomNodeList files = report.elementsByTagName(QStringLiteral("file"));
    ASSERT_EQ(files.size(), 3) << report.toString(1).toStdString();
    for (int i = 0; i < 2; ++i) {
        const QDomElement special = files.at(i).toElement();
        SCOPED_TRACE(special.attribute(QStringLiteral("filename")).toStdString());
        EXPECT_EQ(special.attribute(QStringLiteral("filename")), QString::fromLocal8Bit(i == 0 ? socketPath : fifoPath));
        EXPECT_EQ(special.attribute(QStringLiteral("exception")), TQorFileSearch::SpecialText);
        EXPECT_TRUE(special.firstChildElement(QStringLiteral("Details")).isNull());
    }
    EXPECT_EQ(files.at(2).toElement().firstChildElement(QStringLiteral("Details")).firstChildElement().attribute(QStringLiteral("value")),
              QStringLiteral("read me"));
    EXPECT_TRUE(progress.tasks.contains(QStringLiteral("SQL server")));
}

TEST_F(TaskProcessor, TheTaskFileInstalledWithTheToolRunsEveryTask)
{
    const QDomDocument report = Run(QStringLiteral(KESTROVA_SOURCE_DIR "/tools/tolvik/configuration.xml"));
    QStringList elements;
    for (QDomElement e = report.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        elements << e.tagName();
    EXPECT_EQ(elements, (QStringList{QStringLiteral("Application"), QStringLiteral("Version"), QStringLiteral("Date"),
                                     QStringLiteral("Browse"), QStringLiteral("Registry"), QStringLiteral("SystemInfo"),
                                     QStringLiteral("Object"), QStringLiteral("Servicelist"), QStringLiteral("SQLServer")}));
    EXPECT_FALSE(report.toString().contains(QStringLiteral("hunter2")));
}

// The staged program in a folder of its own (hard links keep the copy instant), without the
// maker's service.
TEST(TolvikProgram, AFirstStartWithoutTheServiceOpensTheWizardOnTheInstalledTaskFile)
{
    QTemporaryDir work(QStringLiteral(KESTROVA_STAGE_DIR "/../tolvik-test-XXXXXX"));
    ASSERT_TRUE(work.isValid());
    const QString stage = work.filePath(QStringLiteral("stage"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), stage}), 0);
    const QString taskFile = stage + QStringLiteral("/configuration.xml");
    ASSERT_EQ(ReadFile(taskFile), ReadFile(QStringLiteral(KESTROVA_SOURCE_DIR "/tools/tolvik/configuration.xml")));
    // No address of the service: offline, as a machine without its network would be.
    QFile::remove(stage + QStringLiteral("/Settings.ini"));
    QFile::remove(stage + QStringLiteral("/Tolvik.log"));

    QProcess tolvik;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.filePath(QStringLiteral("registry")));
    tolvik.setProcessEnvironment(env);
    tolvik.start(stage + QStringLiteral("/" TOLVIK_PROGRAM), {});
    ASSERT_TRUE(tolvik.waitForStarted());
    const QString log = stage + QStringLiteral("/Tolvik.log");
    QString text;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        text = QString::fromLocal8Bit(ReadFile(log));
        if (text.contains(QStringLiteral("Task file ")) || text.contains(QStringLiteral("No task file"))
            || tolvik.state() == QProcess::NotRunning || clock.elapsed() > 60000)
            break;
        tolvik.waitForFinished(100);
    }
    // The wizard is open and waits for the user; the test is done with it.
    const bool running = tolvik.state() == QProcess::Running;
    tolvik.kill();
    tolvik.waitForFinished();
    EXPECT_TRUE(running) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Task file ") + taskFile)) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("No task file"))) << text.toStdString();
}

TEST_F(TaskProcessor, FoldersAndFilesOutsideTheReadableFoldersAreNeverRead)
{
    EXPECT_TRUE(TQorPathHelper::MayRead(tool.filePath("notes.txt")));
    EXPECT_TRUE(TQorPathHelper::MayRead(tool.filePath("plugins")));
    EXPECT_FALSE(TQorPathHelper::MayRead(tool.filePath("outside.txt")));
    EXPECT_FALSE(TQorPathHelper::MayRead(tool.filePath("plugins/../../")));
    EXPECT_FALSE(TQorPathHelper::MayRead(QStringLiteral("/etc/passwd")));
    TQorFolderSet folders = TQorPathHelper::Folders();
    folders.Private << tool.filePath("notes.txt");
    TQorPathHelper::SetFolders(folders);
    EXPECT_FALSE(TQorPathHelper::MayRead(tool.filePath("notes.txt")));
}

TEST_F(TaskProcessor, PathWordsStandForTheirFoldersWhateverTheirCase)
{
    EXPECT_EQ(TQorPathHelper::ExpandPath(QStringLiteral("AppDir/plugins")), tool.path() + "/plugins");
    EXPECT_EQ(TQorPathHelper::ExpandPath(QStringLiteral("WINDIR/x;winsys;PROGRAMDIR")),
              elsewhere.path() + QStringLiteral("/x;/usr/lib;/opt"));
}

struct ValueCase
{
    TRegSearch::ValueType type;
    QByteArray data;
    const char *text;
};

TEST(RegistryValues, AreWrittenByType)
{
    const ValueCase cases[] = {
        {TRegSearch::ValueType::Binary, QByteArray("\x0A\xFF", 2), " A FF "},
        {TRegSearch::ValueType::Binary, QByteArray("\x00\x10", 2), " 0 10 "},
        {TRegSearch::ValueType::String, "it's", "'it''s'"},
        {TRegSearch::ValueType::String, "", ""},
        {TRegSearch::ValueType::ExpandString, "$HOME/x", "$HOME/x"},
        {TRegSearch::ValueType::Integer, QByteArray("\x2A\x01\x00\x00", 4), "298"},
        {TRegSearch::ValueType::Unknown, "anything", ""},
    };
    for (const ValueCase &c : cases)
        EXPECT_EQ(TRegSearch::ValueText(c.type, c.data), QString::fromLatin1(c.text)) << c.text;
    EXPECT_EQ(TRegSearch::TypeName(TRegSearch::ValueType::ExpandString), QStringLiteral("expanded string"));
    EXPECT_EQ(TRegSearch::TypeName(TRegSearch::ValueType::Unknown), QStringLiteral("Unknown"));
}

TEST(ServiceList, SystemdUnitsBecomeServicesWithTheirStateAndControls)
{
    const QString shown = QStringLiteral("Id=cron.service\nDescription=Regular background program processing daemon\n"
                                         "ActiveState=active\nSubState=running\nCanStop=yes\n\n"
                                         "Id=apt-daily.service\nDescription=Daily apt download activities\n"
                                         "ActiveState=inactive\nSubState=dead\nCanStop=yes\n\n"
                                         "Id=systemd-tmpfiles-setup.service\nDescription=Create Volatile Files\n"
                                         "ActiveState=active\nSubState=exited\nCanStop=no\n");
    const QList<TQorProcessSearch::Service> services = TQorProcessSearch::ParseServices(shown);
    ASSERT_EQ(services.size(), 3);
    EXPECT_EQ(services[0].ServiceName, QStringLiteral("cron"));
    EXPECT_EQ(services[0].DisplayName, QStringLiteral("Regular background program processing daemon"));
    EXPECT_EQ(TQorProcessSearch::StateText(services[0].State), QStringLiteral("The service is running."));
    EXPECT_EQ(TQorProcessSearch::ControlsText(services[0].Controls), QStringLiteral("The service can be stopped."));
    EXPECT_EQ(TQorProcessSearch::TypeText(services[0].Type), QStringLiteral("Win32 Process"));
    EXPECT_EQ(TQorProcessSearch::StateText(services[1].State), QStringLiteral("The service is not running."));
    EXPECT_EQ(TQorProcessSearch::StateText(services[2].State), QStringLiteral("The service is not running."));
    EXPECT_EQ(TQorProcessSearch::ControlsText(services[2].Controls), QStringLiteral("-"));
}

TEST(ServiceList, TextsFollowTheServiceManagersNumbers)
{
    EXPECT_EQ(TQorProcessSearch::ControlsText(3), QStringLiteral("-")); // stop and pause together
    EXPECT_EQ(TQorProcessSearch::ControlsText(4), QStringLiteral("The service is notified when system shutdown occurs."));
    EXPECT_EQ(TQorProcessSearch::TypeText(32), QStringLiteral("Win32 Process - Shared process"));
    EXPECT_EQ(TQorProcessSearch::TypeText(3), QStringLiteral("-"));
    EXPECT_EQ(TQorProcessSearch::StateText(7), QStringLiteral("The service is paused."));
    EXPECT_EQ(TQorProcessSearch::StateText(0), QStringLiteral("-"));
}

TEST(SystemInformation, ProcTextsBecomeReadableLines)
{
    EXPECT_EQ(TSysInfoSearch::UpTimeText(QStringLiteral("97265.40 180000.00\n")), QStringLiteral("1 days, 03:01:05"));
    EXPECT_EQ(TSysInfoSearch::CpuText(QStringLiteral("processor\t: 0\nmodel name\t: AMD EPYC\n\nprocessor\t: 1\n"
                                                     "model name\t: AMD EPYC\n")),
              QStringLiteral("AMD EPYC(2)"));
    EXPECT_EQ(TSysInfoSearch::MemoryText(QStringLiteral("MemTotal:       2048000 kB\nMemFree: 1 kB\nMemAvailable:   1024000 kB\n")),
              QStringLiteral("2000 MB, 1000 MB free"));
}

TEST(TolvikTexts, ANumberWithoutTextSaysSo)
{
    TolvikTexts::SetLanguage(QLocale::English);
    EXPECT_EQ(TolvikTexts::GetText(100), QStringLiteral("Quorva Support Tool"));
    EXPECT_EQ(TolvikTexts::GetText(999), QStringLiteral("missing 999"));
    EXPECT_EQ(TolvikTexts::Format(108, {"/opt/tolvik/output.xml"}),
              QStringLiteral("The information is now saved to the file:\n/opt/tolvik/output.xml"));
    TolvikTexts::SetLanguage(QLocale::NorwegianBokmal);
    EXPECT_EQ(TolvikTexts::GetText(201), QStringLiteral("&Neste"));
    TolvikTexts::SetLanguage(QLocale::Swedish);
    EXPECT_EQ(TolvikTexts::GetText(201), QStringLiteral("&Next"));
    TolvikTexts::SetLanguage(QLocale::English);
}

TEST(TolvikTexts, TextsShownInLabelsAndBoxesHoldNoMnemonicAndNoMisspelling)
{
    // 113 and 211 are label texts and 115, 220 message boxes: an "&" would be shown as it is.
    for (const QLocale::Language language : {QLocale::English, QLocale::NorwegianBokmal}) {
        TolvikTexts::SetLanguage(language);
        for (const int id : {113, 115, 211, 220}) {
            const QString text = TolvikTexts::GetText(id);
            SCOPED_TRACE(text.toStdString());
            EXPECT_FALSE(text.contains(QLatin1Char('&')));
            for (const char *typo : {"occured", "appliction", "shutdown this"})
                EXPECT_FALSE(text.contains(QLatin1String(typo)));
        }
    }
    TolvikTexts::SetLanguage(QLocale::English);
    EXPECT_TRUE(TolvikTexts::GetText(211).endsWith(QStringLiteral("Click Close to shut down this program.")));
    EXPECT_TRUE(TolvikTexts::GetText(220).contains(QStringLiteral("has occurred")));
}

} // namespace
