#include "testsupport/FakeWebService.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include "updating/uDMUpdater.h"
#include "updating/uSystemPathsAndFolders.h"

#include "foundation/uCommon.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::LogCapture;

// A file that carries a version stamp as our programs do, so the updater reads its version.
QByteArray stamped(const QString &version, const QByteArray &rest = QByteArray(3000, 'p'))
{
    return "\x7f" "ELF" + rest + QByteArray("KESTROVA_FILE_VERSION=") + version.toLatin1() + QByteArray(1, '\0');
}

class ProgressRecorder : public IUpdaterProgress
{
public:
    QStringList labels;
    QList<int> positions;
    QList<int> maxima;
    int shown = 0;
    int hidden = 0;
    void Show() override { ++shown; }
    void Hide() override { ++hidden; }
    void SetProgress(int position, const QString &text) override
    {
        positions << position;
        if (labels.isEmpty() || labels.last() != text)
            labels << text;
    }
    void SetMax(int maximum) override { maxima << maximum; }
};

class SelfUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path() + QLatin1Char('/');
        Write(QStringLiteral("settings.ini"),
              QStringLiteral("[WebServices]\r\nInstallationProvider=%1/\r\n").arg(m_service.Host()).toUtf8());
        Write(QStringLiteral("Brennic"), m_installedProgram);
        Write(QStringLiteral("libcalendar.so"), "old library");
    }

    void Write(const QString &name, const QByteArray &content)
    {
        const QString path = m_folder + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray Read(const QString &name) const
    {
        QFile file(m_folder + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Every entry of the folder and below, to show that a refused update wrote nothing.
    QStringList Entries() const
    {
        QStringList entries;
        std::function<void(const QString &, const QString &)> walk = [&](const QString &path, const QString &prefix) {
            for (const QFileInfo &info : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                                                  QDir::Name)) {
                entries << prefix + info.fileName();
                if (info.isDir())
                    walk(info.filePath(), prefix + info.fileName() + QLatin1Char('/'));
            }
        };
        walk(m_dir.path(), QString());
        return entries;
    }

    QList<FakeFile> NewServerFiles() const
    {
        return {{QStringLiteral("libcalendar.so"), QStringLiteral("1.0.0.9"), QByteArray(20000, 'c')},
                {QStringLiteral("Brennic"), QStringLiteral("1.0.0.9"), m_newProgram},
                {QStringLiteral("Reports/Rota.xml"), QStringLiteral("1.0.0.9"), QByteArray("<report/>")}};
    }

    QTemporaryDir m_dir;
    QString m_folder;
    FakeWebService m_service;
    LogCapture m_log;
    const QByteArray m_installedProgram = stamped(QStringLiteral("1.0.0.1"));
    const QByteArray m_newProgram = stamped(QStringLiteral("1.0.0.9"), QByteArray(9000, 'n'));
};

TEST_F(SelfUpdate, NewerProgramIsFetchedWithEveryFileAndParked)
{
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), NewServerFiles());
    TDMUpdater updater(m_folder);
    EXPECT_TRUE(updater.CheckForUpdate(m_folder));

    EXPECT_EQ(Read(QStringLiteral("Brennic")), m_installedProgram) << "the running program stays until the swap";
    EXPECT_EQ(Read(QStringLiteral("Brennic.new")), m_newProgram);
    EXPECT_TRUE(QFileInfo(m_folder + QStringLiteral("Brennic.new")).isExecutable());
    EXPECT_EQ(TvoSysInfo::GetFileVersion(m_folder + QStringLiteral("Brennic.new")), QStringLiteral("1.0.0.9"));
    EXPECT_EQ(Read(QStringLiteral("libcalendar.so")), QByteArray(20000, 'c'));
    EXPECT_EQ(Read(QStringLiteral("Reports/Rota.xml")), QByteArray("<report/>"));
    EXPECT_TRUE(Entries().filter(QStringLiteral(".tmp")).isEmpty()) << Entries().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(m_service.ProductsAsked(), (QStringList{QStringLiteral("VivAdaduz"), QStringLiteral("Kestrova_Server")}));
    QStringList agents;
    for (const FakeRequest &request : m_service.Requests())
        agents << request.userAgent;
    EXPECT_EQ(agents, (QStringList{QStringLiteral("RemObjects SDK"), QStringLiteral("RemObjects SDK"),
                                   m_folder + QStringLiteral("libcalendar.so"), m_folder + QStringLiteral("Brennic.new"),
                                   m_folder + QStringLiteral("Reports/Rota.xml")}));
}

TEST_F(SelfUpdate, RequestIsDocumentLiteralGetProductFiles)
{
    TDMUpdater updater(m_folder);
    updater.CheckForUpdate(m_folder);
    const QList<FakeRequest> requests = m_service.Requests();
    ASSERT_EQ(requests.size(), 2);
    const QString ns = m_service.Host() + QStringLiteral("/InstallationProvider/");
    EXPECT_EQ(requests[1].path, QStringLiteral("/InstallationProvider/installationprovider.asmx"));
    EXPECT_EQ(requests[1].soapAction, QLatin1Char('"') + ns + QStringLiteral("GetProductFiles\""));

    QDomDocument document;
    ASSERT_TRUE(document.setContent(requests[1].body, true));
    const QDomElement envelope = document.documentElement();
    EXPECT_EQ(envelope.localName(), QStringLiteral("Envelope"));
    EXPECT_EQ(envelope.namespaceURI(), QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/"));
    const QDomElement operation = envelope.firstChildElement().firstChildElement();
    EXPECT_EQ(operation.localName(), QStringLiteral("GetProductFiles"));
    EXPECT_EQ(operation.namespaceURI(), ns);
    QStringList parameters;
    for (QDomElement e = operation.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        EXPECT_EQ(e.namespaceURI(), ns);
        parameters << e.localName() + QLatin1Char('=') + e.text();
    }
    EXPECT_EQ(parameters, (QStringList{QStringLiteral("prodShortName=Kestrova_Server"), QStringLiteral("LCID=1033"),
                                       QStringLiteral("wantedVersion=0")}));
}

TEST_F(SelfUpdate, ListedFilesAreReadWithEveryField)
{
    m_service.SetProduct(QStringLiteral("P"), NewServerFiles());
    TDMUpdater updater(m_folder);
    const ArrayOfInstallationFile files = updater.GetProductFiles(QStringLiteral("P"), 1033);
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[1].FileName, QStringLiteral("Brennic"));
    EXPECT_EQ(files[1].Size, QString::number(m_newProgram.size()));
    EXPECT_EQ(files[1].Version, QStringLiteral("1.0.0.9"));
    EXPECT_EQ(files[1].DownloadPath, m_service.Host() + QStringLiteral("/files/P/1"));
    EXPECT_FALSE(files[1].RegisterMe);
    EXPECT_EQ(files[1].UTCLastModified, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
}

TEST_F(SelfUpdate, SameVersionDownloadsNothing)
{
    QList<FakeFile> files = NewServerFiles();
    files[1].version = QStringLiteral("1.0.0.1.");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(m_service.Downloads(), 0);
}

TEST_F(SelfUpdate, MissingProgramCountsAsVersionZero)
{
    QFile::remove(m_folder + QStringLiteral("Brennic"));
    QList<FakeFile> files = NewServerFiles();
    files[1].version = QStringLiteral("0.0.0.1");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    TDMUpdater updater(m_folder);
    EXPECT_TRUE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Read(QStringLiteral("Brennic.new")), m_newProgram);
}

TEST_F(SelfUpdate, ListedNameDifferingInCaseIsTheProgram)
{
    QList<FakeFile> files = NewServerFiles();
    files[1].name = QStringLiteral("BRENNIC");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    TDMUpdater updater(m_folder);
    EXPECT_TRUE(updater.CheckForUpdate(m_folder));
    // Parked under the spelling the hand-over list names.
    EXPECT_EQ(Read(QStringLiteral("Brennic.new")), m_newProgram);
    EXPECT_FALSE(QFileInfo::exists(m_folder + QStringLiteral("BRENNIC.new")));
}

TEST_F(SelfUpdate, OtherProgramsAreParkedAndDataFilesReplaced)
{
    QList<FakeFile> files = NewServerFiles();
    files << FakeFile{QStringLiteral("Morvane"), QStringLiteral("1.0.0.9"), stamped(QStringLiteral("1.0.0.9"))};
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    Write(QStringLiteral("Morvane"), "old settings editor");
    TDMUpdater updater(m_folder);
    EXPECT_TRUE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Read(QStringLiteral("Morvane")), QByteArray("old settings editor"));
    EXPECT_EQ(Read(QStringLiteral("Morvane.new")), stamped(QStringLiteral("1.0.0.9")));
    EXPECT_FALSE(QFileInfo(m_folder + QStringLiteral("libcalendar.so")).isExecutable());
}

TEST_F(SelfUpdate, DroppedConnectionChangesNothing)
{
    QList<FakeFile> files = NewServerFiles();
    files[2].delivery = FakeFile::Delivery::DropMidway;
    files[2].content = QByteArray(50000, 'r');
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Read(QStringLiteral("libcalendar.so")), QByteArray("old library"));
    EXPECT_EQ(Read(QStringLiteral("Brennic")), m_installedProgram);
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Updateproduct")).size(), 1) << m_log.lines().join('\n').toStdString();
}

TEST_F(SelfUpdate, ShortBodyChangesNothing)
{
    QList<FakeFile> files = NewServerFiles();
    files[1].delivery = FakeFile::Delivery::Shorter;
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
    const QStringList severe = m_log.linesWith(QStringLiteral("Updateproduct"));
    ASSERT_EQ(severe.size(), 1);
    EXPECT_TRUE(severe[0].startsWith(QStringLiteral("Severe"))) << severe[0].toStdString();
    EXPECT_TRUE(severe[0].contains(QStringLiteral("bytes"))) << severe[0].toStdString();
}

TEST_F(SelfUpdate, MissingFileChangesNothing)
{
    QList<FakeFile> files = NewServerFiles();
    files[0].delivery = FakeFile::Delivery::Missing;
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
}

TEST_F(SelfUpdate, BodyLongerThanItsListedSizeChangesNothing)
{
    QList<FakeFile> files = NewServerFiles();
    files[0].sizeText = QStringLiteral("100");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
}

TEST_F(SelfUpdate, HostileFileNamesAreRefusedBeforeAnyDownload)
{
    for (const QString &hostile : {QStringLiteral("../escaped"), QStringLiteral("/tmp/absolute"),
                                   QStringLiteral("Reports/../../escaped"), QStringLiteral("..\\escaped"),
                                   QStringLiteral("C:\\Windows\\x"), QStringLiteral("Reports//x"), QString()}) {
        QList<FakeFile> files = NewServerFiles();
        files << FakeFile{hostile, QStringLiteral("1.0.0.9"), QByteArray("evil")};
        m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
        const QStringList before = Entries();
        TDMUpdater updater(m_folder);
        EXPECT_FALSE(updater.CheckForUpdate(m_folder)) << hostile.toStdString();
        EXPECT_EQ(Entries(), before) << hostile.toStdString();
        EXPECT_FALSE(QFileInfo::exists(m_dir.path() + QStringLiteral("/../escaped")));
    }
    EXPECT_EQ(m_service.Downloads(), 0);
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Refused file name")).size(), 7);
}

TEST_F(SelfUpdate, FileListedWhereAFolderStandsChangesNothing)
{
    ASSERT_TRUE(QDir(m_folder).mkdir(QStringLiteral("Layouts.d")));
    QList<FakeFile> files = NewServerFiles();
    files << FakeFile{QStringLiteral("Layouts.d"), QStringLiteral("1"), QByteArray("not a folder")};
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(m_log.linesWith(QStringLiteral("is a folder")).size(), 1);
}

TEST_F(SelfUpdate, DownloadAddressOutsideTheWebIsRefused)
{
    QList<FakeFile> files = NewServerFiles();
    files[0].downloadPath = QStringLiteral("file:///etc/passwd");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    const QStringList before = Entries();
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Refused download address")).size(), 1);
}

TEST_F(SelfUpdate, NonNumericListedVersionIsLoggedAndAnswersFalse)
{
    QList<FakeFile> files = NewServerFiles();
    files[1].version = QStringLiteral("1.0.beta");
    m_service.SetProduct(QStringLiteral("Kestrova_Server"), files);
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(m_log.linesWith(QStringLiteral("is not a version")).size(), 1);
    EXPECT_EQ(m_service.Downloads(), 0);
}

TEST_F(SelfUpdate, ServiceFaultIsUnableToConnect)
{
    m_service.SetFault(QStringLiteral("Server was unable to process request."));
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    const QStringList lines = m_log.linesWith(QStringLiteral("Updateproduct Unable to connect to server"));
    EXPECT_EQ(lines.size(), 2) << m_log.lines().join('\n').toStdString();
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Server was unable to process request.")).size(), 2);
}

TEST_F(SelfUpdate, UnreachableServiceAnswersFalse)
{
    TDMUpdater updater(m_folder);
    updater.SetInstallationHost(QStringLiteral("http://127.0.0.1:1"));
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Unable to connect to server")).size(), 2);
}

TEST_F(SelfUpdate, NoServiceConfiguredMeansNoUpdateWithOneLogLine)
{
    Write(QStringLiteral("settings.ini"), "[WebServices]\r\n");
    TDMUpdater updater(m_folder);
    EXPECT_TRUE(updater.InstallationHost().isEmpty());
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(m_log.lines().size(), 1);
    EXPECT_TRUE(m_log.lines().value(0).contains(QStringLiteral("no update"))) << m_log.lines().value(0).toStdString();
    EXPECT_TRUE(m_service.Requests().isEmpty());
}

TEST_F(SelfUpdate, DevelopmentModeAsksForTheDevelopmentProduct)
{
    Write(QStringLiteral("Settings.ini"), QStringLiteral("[updater]\r\ndevelopment=enabled\r\n[WebServices]\r\n"
                                                         "InstallationProvider=%1\r\n")
                                              .arg(m_service.Host())
                                              .toUtf8());
    QFile::remove(m_folder + QStringLiteral("settings.ini"));
    m_service.SetProduct(QStringLiteral("Kestrova_Server_Development"), NewServerFiles());
    TDMUpdater updater(m_folder);
    updater.SetProductShortName(QStringLiteral("Kestrova_Updater"));
    EXPECT_TRUE(updater.DevelopmentMode());
    EXPECT_TRUE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(updater.TargetProduct(), QStringLiteral("Kestrova_Server_Development"));
    EXPECT_EQ(m_service.ProductsAsked(),
              (QStringList{QStringLiteral("VivAdaduz"), QStringLiteral("Kestrova_Server_Development")}));
    EXPECT_EQ(m_log.linesWith(QStringLiteral("Using development mode")).size(), 1);
}

TEST_F(SelfUpdate, NewerSwapProgramIsReplacedAtOnce)
{
    Write(QStringLiteral("Switch"), stamped(QStringLiteral("1.0.0.0")));
    const QByteArray newSwitch = stamped(QStringLiteral("1.0.0.3"));
    m_service.SetProduct(QStringLiteral("VivAdaduz"), {{QStringLiteral("switch"), QStringLiteral("1.0.0.3"), newSwitch}});
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.CheckForUpdate(m_folder));
    EXPECT_EQ(Read(QStringLiteral("Switch")), newSwitch);
    EXPECT_TRUE(QFileInfo(m_folder + QStringLiteral("Switch")).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(m_folder + QStringLiteral("Switch.new")));
    EXPECT_EQ(m_log.linesWith(QStringLiteral("new version of Switch")).size(), 1);
}

TEST_F(SelfUpdate, ForceFetchesListedFilesButNotAnEmptyList)
{
    m_service.SetProduct(QStringLiteral("Calendar"), {{QStringLiteral("calendar.csv"), QStringLiteral("0"), "a;b\r\n"}});
    TDMUpdater updater(m_folder);
    EXPECT_FALSE(updater.UpdateProduct(QStringLiteral("Calendar"), m_folder, QStringLiteral("calendar.csv"), false, false));
    EXPECT_TRUE(updater.UpdateProduct(QStringLiteral("Calendar"), m_folder, QStringLiteral("calendar.csv"), false, true));
    EXPECT_EQ(Read(QStringLiteral("calendar.csv")), QByteArray("a;b\r\n"));
    EXPECT_FALSE(updater.UpdateProduct(QStringLiteral("Empty"), m_folder, QStringLiteral("x"), false, true));
}

TEST_F(SelfUpdate, ProgressShowsNameAndSizeAfterEverySecondBlock)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_service.SetProduct(QStringLiteral("Small"), {{QStringLiteral("small.dat"), QStringLiteral("1"), QByteArray(1000, 's')}});
    ProgressRecorder progress;
    TDMUpdater updater(m_folder);
    updater.SetProgressWindow(&progress);
    EXPECT_TRUE(updater.UpdateProduct(QStringLiteral("Small"), m_folder, QStringLiteral("small.dat"), false, true));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(progress.labels,
              (QStringList{QStringLiteral("small.dat"), QString(), QStringLiteral("small.dat (1,000.00 Bytes)")}));
    EXPECT_EQ(progress.maxima, (QList<int>{1000}));
    EXPECT_EQ(progress.positions.last(), 1000);
}

TEST_F(SelfUpdate, ProgressNeverOutrunsTheBlocks)
{
    m_service.SetProduct(QStringLiteral("Big"), {{QStringLiteral("big.dat"), QStringLiteral("1"), QByteArray(100000, 'b')}});
    ProgressRecorder progress;
    TDMUpdater updater(m_folder);
    updater.SetProgressWindow(&progress);
    EXPECT_TRUE(updater.UpdateProduct(QStringLiteral("Big"), m_folder, QStringLiteral("big.dat"), false, true));
    // Two blocks of at most 4096 bytes lie between two reports.
    for (qsizetype i = 3; i < progress.positions.size(); ++i) {
        EXPECT_GT(progress.positions[i], progress.positions[i - 1]);
        EXPECT_LE(progress.positions[i] - progress.positions[i - 1], 2 * 4096);
    }
    EXPECT_GE(progress.positions.size(), 100000 / (2 * 4096));
    EXPECT_EQ(progress.positions.last(), 100000);
}

TEST(HandOver, ListIsFourLinesEachEndedByCrLf)
{
    EXPECT_EQ(TDMUpdater::HandOverText(QStringLiteral("Brennic")), QStringLiteral("Brennic\r\nBrennic.new\r\nTrue\r\nWriteLog\r\n"));
    EXPECT_EQ(TDMUpdater::HandOverText(QStringLiteral("Update")), QStringLiteral("Update\r\nUpdate.new\r\nTrue\r\nWriteLog\r\n"));
}

TEST(HandOver, MissingSwapProgramIsReportedNotHidden)
{
    LogCapture log;
    QTemporaryDir dir;
    EXPECT_FALSE(TDMUpdater::HandOver(dir.path(), QStringLiteral("Brennic")));
    EXPECT_EQ(log.linesWith(QStringLiteral("Cannot start")).size(), 1);
}

TEST(TargetPaths, SubFoldersStayBelowTheFolder)
{
    EXPECT_EQ(TDMUpdater::TargetPath(QStringLiteral("/opt/k/"), QStringLiteral("Reports\\Rota.xml")),
              QStringLiteral("/opt/k/Reports/Rota.xml"));
    EXPECT_EQ(TDMUpdater::TargetPath(QStringLiteral("/opt/k"), QStringLiteral("a/b/c.txt")), QStringLiteral("/opt/k/a/b/c.txt"));
    EXPECT_THROW(TDMUpdater::TargetPath(QStringLiteral("/opt/k"), QStringLiteral("a/./c")), EUpdateError);
    EXPECT_THROW(TDMUpdater::TargetPath(QStringLiteral("/opt/k"), QStringLiteral("a/")), EUpdateError);
}

TEST(TargetPaths, ProgramsAreTheFilesWithoutExtension)
{
    EXPECT_TRUE(TDMUpdater::IsProgramFile(QStringLiteral("/opt/k/Brennic")));
    EXPECT_FALSE(TDMUpdater::IsProgramFile(QStringLiteral("/opt/k/libupdating.so")));
    EXPECT_FALSE(TDMUpdater::IsProgramFile(QStringLiteral("/opt/k.d/Settings.ini")));
    EXPECT_EQ(TDMUpdater::ParkedName(QStringLiteral("/opt/k/Update")), QStringLiteral("/opt/k/Update.new"));
}

} // namespace
