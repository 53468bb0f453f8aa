#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

QStringList readLines(const QString &path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.isEmpty() || text.endsWith(QStringLiteral("\r\n")));
    text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

class SessionLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        log = std::make_unique<TQorLog>();
        log->SetFileName(dir.filePath(QStringLiteral("session.txt")));
        SessionLog = log.get();
    }
    void TearDown() override { SessionLog = nullptr; }

    QTemporaryDir dir;
    std::unique_ptr<TQorLog> log;
};

TEST_F(SessionLogTest, EachLevelWordHasItsExactWidth)
{
    AddToLog(llInformation, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    AddToLog(llWarning, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    AddToLog(llSevere, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    AddToLog(llDebug, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    AddToLog(7, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    const QStringList lines = readLines(log->FileName());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Information\tS\tC T"));
    EXPECT_EQ(lines[1], QStringLiteral("Warning    \tS\tC T"));
    EXPECT_EQ(lines[2], QStringLiteral("Severe     \tS\tC T"));
    EXPECT_EQ(lines[3], QStringLiteral("Debug      \tS\tC T"));
    EXPECT_EQ(lines[4], QStringLiteral("Unknown    :\tS\tC T"));
}

TEST_F(SessionLogTest, EmptyContextAndTextKeepTabsAndTrailingBlank)
{
    AddToLog(llInformation, QStringLiteral("Brennic"), QString(), QString());
    EXPECT_EQ(readLines(log->FileName()), QStringList{QStringLiteral("Information\tBrennic\t ")});
    EXPECT_EQ(log->LogText(), QStringLiteral("Information\tBrennic\t "));
}

TEST_F(SessionLogTest, AddToLogOnAnyInstanceWritesThroughTheSessionLog)
{
    TQorLog other;
    other.SetFileName(dir.filePath(QStringLiteral("other.txt")));
    other.AddToLog(llInformation, QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.txt"))));
    EXPECT_EQ(readLines(log->FileName()).size(), 1);
}

TEST_F(SessionLogTest, AddToLogWithoutSessionLogDoesNothing)
{
    SessionLog = nullptr;
    AddToLog(llSevere, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    EXPECT_FALSE(QFile::exists(log->FileName()));
}

TEST_F(SessionLogTest, PrefixCombinations)
{
    log->SetLogText(QStringLiteral("plain"));
    log->SetUserName(true);
    log->SetLogText(QStringLiteral("user"));
    log->SetUserName(false);
    log->SetTimeFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    log->SetTimeStamp(true);
    log->SetPrefixText(QStringLiteral("PFX"));
    log->SetLogText(QStringLiteral("both"));
    log->SetTimeStamp(false);
    log->SetLogText(QStringLiteral("prefix only"));
    log->SetTimeStamp(true);
    log->SetPrefixText(QString());
    log->SetUserName(true);
    log->SetLogText(QStringLiteral("all"));

    const QString user = TvoSysInfo::GetUserName();
    const QStringList lines = readLines(log->FileName());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("plain"));
    EXPECT_EQ(lines[1], QStringLiteral("(%1) user").arg(user));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d : PFX - both$"))
                    .match(lines[2]).hasMatch()) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("PFX - prefix only"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\S+ \\S+ : \\(%1\\) all$").arg(QRegularExpression::escape(user)))
                    .match(lines[4]).hasMatch()) << lines[4].toStdString();
}

TEST_F(SessionLogTest, EmptyTimeFormatRestoresTheDefault)
{
    const QString def = log->TimeFormat();
    log->SetTimeFormat(QStringLiteral("hh"));
    log->SetTimeFormat(QString());
    EXPECT_EQ(log->TimeFormat(), def);
    EXPECT_FALSE(def.isEmpty());
}

TEST_F(SessionLogTest, HeaderAndFooterFrames)
{
    log->CreateHeader(QStringLiteral("Brennic"), QStringLiteral("/opt/kestrova"));
    log->CreateFooter();
    const QStringList lines = readLines(log->FileName());
    ASSERT_EQ(lines.size(), 7);
    const QString frame(82, QLatin1Char('*'));
    EXPECT_EQ(lines[0], frame);
    EXPECT_EQ(lines[1], QStringLiteral("* Application   :Brennic "));
    EXPECT_EQ(lines[2], QStringLiteral("* Path          : /opt/kestrova "));
    EXPECT_EQ(lines[3], QStringLiteral("* Computer name : %1 (%2) ")
                            .arg(TvoSysInfo::GetComputerName(), TvoSysInfo::GetLocalIP()));
    EXPECT_EQ(lines[4], QStringLiteral("* ") + TvoSysInfo::GetOSName());
    EXPECT_EQ(lines[5], frame);
    EXPECT_EQ(lines[6], frame);
}

TEST_F(SessionLogTest, NewFileNameDeletesTheOldFileAndCreatesItsFolder)
{
    const QString nested = dir.filePath(QStringLiteral("logs/run.txt"));
    {
        QDir().mkpath(dir.filePath(QStringLiteral("logs")));
        QFile old(nested);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous run\r\n");
    }
    log->SetFileName(nested);
    EXPECT_FALSE(QFile::exists(nested));

    const QString fresh = dir.filePath(QStringLiteral("newfolder/run.txt"));
    log->SetFileName(fresh);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("newfolder"))).isDir());
    log->SetLogText(QStringLiteral("first"));
    EXPECT_EQ(readLines(fresh), QStringList{QStringLiteral("first")});

    log->SetDeleteOnChangeName(false);
    log->SetFileName(fresh);
    EXPECT_TRUE(QFile::exists(fresh));
}

TEST_F(SessionLogTest, DefaultFileNameIsTheProgramWithTxt)
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    EXPECT_EQ(TQorLog::DefaultFileName(), program.absolutePath() + QLatin1Char('/') + program.completeBaseName()
                                              + QStringLiteral(".txt"));
    log->SetFileName(QString());
    EXPECT_EQ(log->FileName(), TQorLog::DefaultFileName());
}

TEST_F(SessionLogTest, DisabledLogWritesNothingAndKeepsLogText)
{
    log->SetLogText(QStringLiteral("kept"));
    QFile::remove(log->FileName());
    log->SetEnabled(false);
    log->SetLogText(QStringLiteral("dropped"));
    EXPECT_EQ(log->LogText(), QStringLiteral("kept"));
    EXPECT_FALSE(QFile::exists(log->FileName()));

    const QString other = dir.filePath(QStringLiteral("nofolder/x.txt"));
    log->SetFileName(other);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nofolder"))));
}

TEST_F(SessionLogTest, SixteenThreadsLeaveWholeLines)
{
    constexpr int kThreads = 16;
    constexpr int kLines = 1000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                AddToLog(llInformation, QStringLiteral("T%1").arg(t), QStringLiteral("line"), QString::number(i));
        });
    for (auto &th : threads)
        th.join();
    const QStringList lines = readLines(log->FileName());
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression whole(QStringLiteral("^Information\\tT(\\d+)\\tline (\\d+)$"));
    std::vector<int> perThread(kThreads, 0);
    for (const QString &line : lines) {
        const auto m = whole.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        ++perThread[m.captured(1).toInt()];
    }
    for (int count : perThread)
        EXPECT_EQ(count, kLines);
}

TEST_F(SessionLogTest, UnwritableFileRaisesToTheWriter)
{
    log->SetFileName(dir.filePath(QStringLiteral("missing/deeper/x.txt")));
    EXPECT_THROW(log->SetLogText(QStringLiteral("x")), std::runtime_error);
}

TEST_F(SessionLogTest, ALineThatCannotReachTheDiskRaisesToTheWriter)
{
    // The device takes the open and the buffered write; only the flush finds the disk full.
    log->SetDeleteOnChangeName(false);
    log->SetFileName(QStringLiteral("/dev/full"));
    EXPECT_THROW(log->SetLogText(QStringLiteral("lost")), std::runtime_error);
    EXPECT_NE(log->LogText(), QStringLiteral("lost"));
}

TEST_F(SessionLogTest, TheDefaultTimeStampCarriesNoZoneName)
{
    log->SetTimeStamp(true);
    log->SetLogText(QStringLiteral("line"));
    const QString line = readLines(log->FileName()).value(0);
    const QString stamp = line.left(line.indexOf(QStringLiteral(" : ")));
    ASSERT_FALSE(stamp.isEmpty()) << line.toStdString();
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());
    EXPECT_FALSE(stamp.contains(zone)) << stamp.toStdString();
    EXPECT_EQ(line, stamp + QStringLiteral(" : line"));
}

TEST_F(SessionLogTest, EchoedLinesAlsoReachStandardError)
{
    const QString captured = dir.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int into = ::open(QFile::encodeName(captured).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(into, 0);
    ::dup2(into, 2);
    ::close(into);
    log->SetLogText(QStringLiteral("file only"));
    log->SetEchoToStandardError(true);
    AddToLog(llSevere, QStringLiteral("Brennic"), QStringLiteral("Start"), QStringLiteral("both"));
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);

    QFile echoed(captured);
    ASSERT_TRUE(echoed.open(QIODevice::ReadOnly));
    EXPECT_EQ(echoed.readAll(), QByteArray("Severe     \tBrennic\tStart both\n"));
    EXPECT_EQ(readLines(log->FileName()), (QStringList{QStringLiteral("file only"), QStringLiteral("Severe     \tBrennic\tStart both")}));
}

} // namespace

TEST_F(SessionLogTest, QtMessagesBecomeLogLinesAndThoseFromBeforeTheLogFollowItsNextLine)
{
    RouteQtMessagesToSessionLog();
    SessionLog = nullptr;
    qWarning("before the log");
    SessionLog = log.get();
    AddToLog(llInformation, QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("T"));
    qWarning("while the log is open");
    qInstallMessageHandler(nullptr);

    const QStringList lines = readLines(log->FileName());
    EXPECT_EQ(lines, QStringList({QStringLiteral("Information\tS\tC T"), QStringLiteral("Warning    \tQt\t before the log"),
                                  QStringLiteral("Warning    \tQt\t while the log is open")}));
}
