#include "uDM.h"

#include "server/database/DatabaseMaintenance.h"

#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Hollem, TheFirstArgumentAsksForASilentBackupWhenItHoldsTheWord)
{
    const struct
    {
        QStringList arguments;
        bool silent;
    } cases[] = {
        {{QStringLiteral("Hollem"), QStringLiteral("backup")}, true},
        {{QStringLiteral("Hollem"), QStringLiteral("BACKUP")}, true},
        {{QStringLiteral("Hollem"), QStringLiteral("/Backup")}, true},
        {{QStringLiteral("Hollem"), QStringLiteral("--nightly-backup-now")}, true},
        {{QStringLiteral("Hollem"), QStringLiteral("restore"), QStringLiteral("backup")}, false},
        {{QStringLiteral("Hollem")}, false},
        {{QStringLiteral("Hollem"), QStringLiteral("back up")}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TDM::IsSilent(c.arguments), c.silent) << c.arguments.join(QLatin1Char(' ')).toStdString();
}

TEST(Hollem, BackupNamesCarryTheTimeAndACopyNumberWithinOneSecond)
{
    const QDateTime time(QDate(2024, 6, 9), QTime(7, 5, 3));
    EXPECT_EQ(TDM::BackupFileName(time), QStringLiteral("SQLBackup(2024-06-09 07.05.03).bak"));
    EXPECT_EQ(TDM::BackupFileName(time, 2), QStringLiteral("SQLBackup(2024-06-09 07.05.03)-2.bak"));
    EXPECT_EQ(TDM::BackupFileName(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59))), QStringLiteral("SQLBackup(2024-12-31 23.59.59).bak"));
}

void Touch(const QString &path, const QDateTime &changed)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.flush();
    ASSERT_TRUE(f.setFileTime(changed, QFileDevice::FileModificationTime));
}

TEST(Hollem, TheListHoldsEveryBackupNewestFirstByTheTimeInItsName)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QDateTime old(QDate(2020, 1, 1), QTime(0, 0));
    // Last changes that disagree with the names: the names decide.
    Touch(folder + QStringLiteral("/SQLBackup(2024-01-02 10.00.00).bak"), old);
    Touch(folder + QStringLiteral("/SQLBackup(2024-01-02 10.00.00)-2.bak"), old);
    Touch(folder + QStringLiteral("/SQLBackup(2024-01-02 10.00.00)-10.bak"), old);
    Touch(folder + QStringLiteral("/SQLBackup(2023-12-31 23.59.59).bak"), QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
    // The server's own start-up backup has no time in its name: its last change counts.
    Touch(folder + QStringLiteral("/mssqlbackup.BAK"), QDateTime(QDate(2024, 1, 1), QTime(12, 0)));
    Touch(folder + QStringLiteral("/notes.txt"), old);
    Touch(folder + QStringLiteral("/SQLBackup(2024-01-03 10.00.00).bak.partial"), old);
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("folder.bak")));

    QStringList names;
    for (const TBackupEntry &entry : TDM::ListBackups(folder))
        names << entry.FileName;
    EXPECT_EQ(names, (QStringList{QStringLiteral("SQLBackup(2024-01-02 10.00.00)-10.bak"), QStringLiteral("SQLBackup(2024-01-02 10.00.00)-2.bak"),
                                  QStringLiteral("SQLBackup(2024-01-02 10.00.00).bak"), QStringLiteral("mssqlbackup.BAK"),
                                  QStringLiteral("SQLBackup(2023-12-31 23.59.59).bak")}));
    const TBackupEntry first = TDM::ListBackups(folder).first();
    EXPECT_EQ(first.Path, folder + QStringLiteral("/SQLBackup(2024-01-02 10.00.00)-10.bak"));
    // "Date created" is the time in the name, not the file's last change.
    const QDateTime made(QDate(2024, 1, 2), QTime(10, 0));
    EXPECT_EQ(first.CreatedText, QLocale::system().toString(made.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                                     + QLocale::system().toString(made.time(), QLocale::LongFormat));
    EXPECT_TRUE(TDM::ListBackups(folder + QStringLiteral("/missing")).isEmpty());
}

QStringList LogFile(const QTemporaryDir &dir)
{
    QFile f(dir.filePath(QStringLiteral("backup.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList();
}

TEST(Hollem, TheLogKeepsTheLinesOfEveryRunEachWrittenAsItHappens)
{
    QTemporaryDir dir;
    const QDateTime now(QDate(2024, 6, 9), QTime(8, 30));
    const QString hashes(34, QLatin1Char('#'));
    const QString stamp = QLocale::system().toString(now, QLocale::ShortFormat);
    const QStringList firstRun = {hashes + QStringLiteral("- ") + QLocale::system().toString(now.date(), QLocale::ShortFormat)
                                      + QStringLiteral(" -") + hashes,
                                  QStringLiteral("#") + stamp + QStringLiteral("\tInitialize\tstart"),
                                  QStringLiteral("#") + stamp + QStringLiteral("\tBackupDatabase\t") + TDM::NoConnectionText};
    {
        TDM dm(dir.path(), [now] { return now; });
        dm.Initialize();
        EXPECT_FALSE(dm.Connected());
        EXPECT_THROW(dm.BackupDatabase(), std::runtime_error);
        // On disk already while the run goes on: a run that is killed keeps them.
        EXPECT_EQ(LogFile(dir), firstRun);
        EXPECT_EQ(dm.LogLines(), firstRun);
    }
    {
        TDM second(dir.path(), [now] { return now; });
        second.Initialize();
        EXPECT_EQ(second.LogLines(), firstRun.mid(0, 2));
    }
    EXPECT_EQ(LogFile(dir), firstRun + firstRun.mid(0, 2));
}

TEST(Hollem, TheFirstStartMakesTheBackupFolderThatTheServerHasNotMadeYet)
{
    QTemporaryDir dir;
    TDM dm(dir.path());
    ASSERT_FALSE(QFileInfo(dm.BackupFolder()).exists());
    dm.Initialize();
    EXPECT_TRUE(QFileInfo(dm.BackupFolder()).isDir());
    EXPECT_TRUE(TDM::ListBackups(dm.BackupFolder()).isEmpty());
}

TEST(Hollem, OnlyTheSideNamesOfARestoreOfThisDatabaseCountAsLeftovers)
{
    const QString longName(60, QLatin1Char('k'));
    const struct
    {
        QString candidate;
        QString database;
        bool expected;
    } cases[] = {
        {DatabaseMaintenance::SideName(QStringLiteral("kestrova"), QStringLiteral("restore")), QStringLiteral("kestrova"), true},
        {DatabaseMaintenance::SideName(longName, QStringLiteral("restore")), longName, true},
        {QStringLiteral("kestrova_restore_0a1b2c3d"), QStringLiteral("kestrova"), true},
        {QStringLiteral("kestrova"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova_restore_"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova_restore_1234567"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova_restore_123456789"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova_restore_1234567G"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova_replaced_12345678"), QStringLiteral("kestrova"), false},
        {QStringLiteral("kestrova2_restore_12345678"), QStringLiteral("kestrova"), false},
        {QStringLiteral("other_restore_12345678"), QStringLiteral("kestrova"), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DatabaseMaintenance::IsSideName(c.candidate, c.database, QStringLiteral("restore")), c.expected)
            << c.candidate.toStdString();
}

} // namespace
