// Backups and restores of a database of the test's own on the private cluster, through the data
// module, the window and the staged program.
#include "fMain.h"

#include "foundation/IniFile.h"
#include "server/database/DatabaseBackup.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/Wait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class HollemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("Backup")));
        ASSERT_TRUE(IniFile::writeString(folder + QStringLiteral("settings.ini"), QStringLiteral("Data Access"),
                                         QStringLiteral("DataSource"), db.connectionString()));
        db.exec(QStringLiteral("INSERT INTO dbo.tblContacts (PK_ContactID, FirstName, LastName) VALUES "
                               "('{C1}', 'Ann', 'Adams'), ('{C2}', 'Ben', 'Brown');"
                               "INSERT INTO dbo.tblFamilies (PK_FamilyID, FamilyName) VALUES ('{F1}', 'Adams')"));
        fixture = Contents();
    }

    QString Contents() const
    {
        return db.scalar(QStringLiteral("SELECT (SELECT string_agg(PK_ContactID || FirstName || LastName, ',' ORDER BY PK_ContactID) "
                                        "FROM dbo.tblContacts) || '|' || (SELECT string_agg(FamilyName, ',') FROM dbo.tblFamilies)"));
    }

    void Change() const
    {
        db.exec(QStringLiteral("UPDATE dbo.tblContacts SET LastName = 'Changed' WHERE PK_ContactID = '{C1}';"
                               "DELETE FROM dbo.tblContacts WHERE PK_ContactID = '{C2}';"
                               "INSERT INTO dbo.tblContacts (PK_ContactID, LastName) VALUES ('{C3}', 'New');"
                               "DELETE FROM dbo.tblFamilies"));
        ASSERT_NE(Contents(), fixture);
    }

    // Databases beside the test's own: what a restore left behind.
    QStringList Leftovers() const
    {
        QStringList names;
        for (const QStringList &row : db.rows(QStringLiteral("SELECT datname FROM pg_database WHERE datname LIKE '%1\\_%'").arg(db.name())))
            names << row.first();
        return names;
    }

    static QDateTime Fixed() { return QDateTime(QDate(2024, 6, 9), QTime(10, 15, 0)); }

    // A statement on the cluster's maintenance database, beside the test's own.
    void Maintenance(const QString &sql) const
    {
        TDAEADOConnection connection;
        connection.SetConnectionString(
            kestrova::test::TestDatabase::connectionString(db.socketDir(), db.port(), TDatabaseBackup::MaintenanceDatabase));
        connection.Open();
        connection.NewCommand(sql)->Execute();
    }

    static bool Private(const QString &path)
    {
        return QFile::permissions(path)
               == (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    }

    kestrova::test::TestDatabase db;
    QTemporaryDir dir;
    QString folder;
    QString fixture;
};

TEST_F(HollemTest, ARestoreGivesBackTheRowsOfTheBackupAfterLaterChanges)
{
    TDM dm(folder);
    dm.Connect();
    const QString backup = dm.BackupDatabase();
    EXPECT_EQ(QFileInfo(backup).fileName().left(10), QStringLiteral("SQLBackup("));
    // The parish's data, for its owner's eyes only.
    EXPECT_TRUE(Private(backup)) << QString::number(QFile::permissions(backup), 8).toStdString();
    Change();
    dm.RestoreDatabase(backup);
    EXPECT_EQ(Contents(), fixture);
    EXPECT_TRUE(Leftovers().isEmpty());
    // The module is connected again, to the restored database.
    EXPECT_TRUE(dm.Connected());
    EXPECT_NO_THROW(dm.BackupDatabase());
}

TEST_F(HollemTest, ARestoreMakesTheDatabaseWhenItIsGoneAndNeedsNoConnectionAtStart)
{
    QString backup;
    {
        TDM dm(folder);
        dm.Connect();
        backup = dm.BackupDatabase();
    }
    Maintenance(QStringLiteral("DROP DATABASE \"%1\" WITH (FORCE)").arg(db.name()));

    TDM dm(folder);
    dm.Initialize();
    EXPECT_FALSE(dm.Connected());
    TfMain form(dm);
    QStringList said;
    form.SetPrompts({[](const QString &, const QString &, bool) { return true; },
                     [&said](const QString &caption, const QString &text) { said << caption + QStringLiteral(": ") + text; },
                     [&said](const QString &text) { said << QStringLiteral("error: ") + text; }});
    ASSERT_EQ(form.List()->topLevelItemCount(), 1);
    form.List()->setCurrentItem(form.List()->topLevelItem(0));
    form.RestoreClick();
    EXPECT_EQ(said, QStringList{QStringLiteral("Restore: Database was successfully restored")});
    EXPECT_EQ(Contents(), fixture);
    EXPECT_TRUE(dm.Connected());
    EXPECT_TRUE(Leftovers().isEmpty());
}

TEST_F(HollemTest, TheNextStartRemovesWhatARestoreCutShortLeftBehind)
{
    const QString side = db.name() + QStringLiteral("_restore_0a1b2c3d");
    const QString replaced = db.name() + QStringLiteral("_replaced_0a1b2c3d");
    Maintenance(QStringLiteral("CREATE DATABASE \"%1\"").arg(side));
    Maintenance(QStringLiteral("CREATE DATABASE \"%1\"").arg(replaced));
    {
        TDM dm(folder);
        dm.Initialize();
        EXPECT_TRUE(dm.Connected());
        EXPECT_TRUE(dm.LogLines().last().endsWith(QStringLiteral("\tRemoveLeftovers\t") + side)) << dm.LogLines().last().toStdString();
    }
    // A database a swap put aside may be the only copy of the data: it stays for the administrator.
    EXPECT_EQ(Leftovers(), QStringList{replaced});
    Maintenance(QStringLiteral("DROP DATABASE \"%1\"").arg(replaced));
    EXPECT_EQ(Contents(), fixture);
}

// A restore at work holds its claim on the side database; a session alone in it (an autovacuum
// worker, a killed restore's backend) keeps nothing there.
TEST_F(HollemTest, ASideDatabaseIsLeftOnlyToARestoreThatClaimsIt)
{
    const QString side = db.name() + QStringLiteral("_restore_0a1b2c3d");
    for (const bool claimed : {true, false}) {
        SCOPED_TRACE(claimed ? "claimed" : "not claimed");
        Maintenance(QStringLiteral("CREATE DATABASE \"%1\"").arg(side));
        TDAEADOConnection claim;
        claim.SetConnectionString(
            kestrova::test::TestDatabase::connectionString(db.socketDir(), db.port(), TDatabaseBackup::MaintenanceDatabase));
        claim.Open();
        if (claimed) {
            ASSERT_TRUE(TDatabaseBackup::ClaimSide(claim, side));
        }
        TDAEADOConnection session;
        session.SetConnectionString(kestrova::test::TestDatabase::connectionString(db.socketDir(), db.port(), side));
        session.Open();
        TDM dm(folder);
        dm.Initialize();
        EXPECT_TRUE(dm.Connected());
        const QString said = claimed ? side + QStringLiteral(" kept: a restore is at work in it") : side;
        EXPECT_TRUE(dm.LogLines().filter(QStringLiteral("\tRemoveLeftovers\t")).last().endsWith(QStringLiteral("\tRemoveLeftovers\t") + said))
            << dm.LogLines().join(QLatin1Char('\n')).toStdString();
        if (claimed) {
            EXPECT_EQ(Leftovers(), QStringList{side});
            EXPECT_NO_THROW(session.NewCommand(QStringLiteral("SELECT 1"))->Execute()) << "its session was ended";
            Maintenance(QStringLiteral("DROP DATABASE \"%1\" WITH (FORCE)").arg(side));
        }
        EXPECT_TRUE(Leftovers().isEmpty());
    }
}

// The processes whose parent is parent and whose program is name.
QList<pid_t> ChildrenNamed(pid_t parent, const QByteArray &name)
{
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": the name may hold blanks, the last ")" ends it.
        const QByteArray line = stat.readAll();
        const qsizetype nameFrom = line.indexOf('(');
        const qsizetype nameTo = line.lastIndexOf(')');
        if (nameFrom < 0 || nameTo < nameFrom)
            continue;
        const QList<QByteArray> rest = line.mid(nameTo + 2).split(' ');
        if (line.mid(nameFrom + 1, nameTo - nameFrom - 1) == name && rest.size() > 1 && rest[0] != "Z" && rest[1].toInt() == parent)
            found << pid_t(entry.toInt());
    }
    return found;
}

bool Running(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return !line.mid(line.lastIndexOf(')') + 2).startsWith('Z');
}

TEST_F(HollemTest, AKilledRestoreTakesItsPgRestoreAlongAndTheNextStartRemovesItsSideDatabase)
{
    // A row whose check sleeps when it is restored, so the restore is still at work when killed.
    db.exec(QStringLiteral("CREATE FUNCTION dbo.slow_check(n int) RETURNS boolean LANGUAGE sql AS 'SELECT true';"
                           "CREATE TABLE dbo.tblslow (n int CHECK (dbo.slow_check(n)));"
                           "INSERT INTO dbo.tblslow VALUES (1);"
                           "CREATE OR REPLACE FUNCTION dbo.slow_check(n int) RETURNS boolean LANGUAGE sql "
                           "AS 'SELECT pg_sleep(120) IS NOT NULL'"));
    QString backup;
    {
        TDM dm(folder);
        dm.Connect();
        backup = dm.BackupDatabase();
    }
    QProcess hollem;
    hollem.start(QStringLiteral(HOLLEM_RESTORE_CHILD), {folder, backup});
    ASSERT_TRUE(hollem.waitForStarted());
    const pid_t parent = pid_t(hollem.processId());
    QList<pid_t> restores;
    ASSERT_TRUE(kestrova::test::WaitFor([&] {
        restores = ChildrenNamed(parent, "pg_restore");
        return restores.size() == 1
               && db.scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND datname LIKE '%1\\_restore\\_%'")
                                .arg(db.name())) == QStringLiteral("1");
    }, std::chrono::seconds(60))) << hollem.readAllStandardError().toStdString();

    ::kill(parent, SIGKILL);
    ASSERT_TRUE(hollem.waitForFinished());
    EXPECT_TRUE(kestrova::test::WaitFor([&] { return !Running(restores.first()); }, std::chrono::seconds(5)))
        << "pg_restore outlived Hollem";
    const QStringList left = Leftovers();
    ASSERT_EQ(left.size(), 1);

    TDM next(folder);
    next.Initialize();
    EXPECT_TRUE(Leftovers().isEmpty());
    EXPECT_TRUE(next.LogLines().filter(QStringLiteral("\tRemoveLeftovers\t")).value(0).endsWith(QStringLiteral("\tRemoveLeftovers\t") + left.first()))
        << next.LogLines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Contents(), fixture);
}

TEST_F(HollemTest, ACorruptOrCutBackupIsRefusedAndTheLiveDatabaseStaysAsItIs)
{
    TDM dm(folder);
    dm.Connect();
    const QString good = dm.BackupDatabase();
    Change();
    const QString changed = Contents();

    // Garbage shows no table of contents; a file cut short or scrambled in its middle still does
    // and fails part way. Each refusal names the file.
    QFile whole(good);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QByteArray scrambled = bytes;
    for (qsizetype i = scrambled.size() / 3; i < scrambled.size() * 2 / 3; ++i)
        scrambled[i] = char(i * 7919 % 251);
    const struct
    {
        const char *name;
        QByteArray content;
        const char *said;
    } cases[] = {
        {"garbage.bak", QByteArray(4096, 'x'), "is not a readable backup"},
        {"cut.bak", bytes.left(bytes.size() / 2), "is damaged and cannot be restored"},
        {"scrambled.bak", scrambled, "is damaged and cannot be restored"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder + QStringLiteral("Backup/") + QLatin1String(c.name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        try {
            dm.RestoreDatabase(path);
            ADD_FAILURE() << "restored";
        } catch (const std::runtime_error &e) {
            const QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.contains(path + QLatin1Char(' ') + QLatin1String(c.said))) << message.toStdString();
        }
        EXPECT_EQ(Contents(), changed);
    }
    EXPECT_TRUE(Leftovers().isEmpty());
    EXPECT_TRUE(dm.Connected());
    EXPECT_TRUE(dm.LogLines().last().contains(QStringLiteral("\tRestoreDatabase\t")));
}

TEST_F(HollemTest, TwoBackupsInOneSecondAreTwoFiles)
{
    TDM dm(folder, &HollemTest::Fixed);
    dm.Connect();
    const QString first = dm.BackupDatabase();
    const QString second = dm.BackupDatabase();
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("SQLBackup(2024-06-09 10.15.00).bak"));
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("SQLBackup(2024-06-09 10.15.00)-2.bak"));
    const TDatabaseBackup check(db.connectionString());
    EXPECT_NO_THROW(check.Check(first));
    EXPECT_NO_THROW(check.Check(second));
    const QList<TBackupEntry> listed = TDM::ListBackups(dm.BackupFolder());
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0].Path, second);
}

// The staged program in a folder of its own (hard links keep the copy instant).
class HollemProgramTest : public HollemTest
{
protected:
    void SetUp() override
    {
        HollemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(work.isValid());
        stage = work.filePath(QStringLiteral("stage")) + QLatin1Char('/');
        ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), stage}), 0);
        QFile::remove(stage + QStringLiteral("Settings.ini"));
        QFile::remove(stage + QStringLiteral("backup.txt"));
        QDir(stage + QStringLiteral("Backup")).removeRecursively();
    }

    int RunSilently(const QString &argument)
    {
        QProcess process;
        process.start(stage + QStringLiteral(HOLLEM_PROGRAM), {argument});
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString BackupLog() const
    {
        QFile f(stage + QStringLiteral("backup.txt"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir work{QStringLiteral(KESTROVA_STAGE_DIR "/../hollem-test-XXXXXX")};
    QString stage;
};

TEST_F(HollemProgramTest, ASilentBackupThatFailsEndsWithANonZeroStatusAndALogLine)
{
    EXPECT_NE(RunSilently(QStringLiteral("backup")), 0);
    EXPECT_TRUE(BackupLog().contains(QStringLiteral("\tConnect\t") + TDM::NoConnectionText)) << BackupLog().toStdString();

    ASSERT_TRUE(IniFile::writeString(stage + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("DataSource"),
                                     kestrova::test::TestDatabase::connectionString(db.socketDir(), db.port(), db.name() + QStringLiteral("_none"))));
    EXPECT_NE(RunSilently(QStringLiteral("-BACKUP")), 0);
    EXPECT_TRUE(BackupLog().contains(QStringLiteral("\tConnect\t"))) << BackupLog().toStdString();
    EXPECT_TRUE(TDM::ListBackups(stage + QStringLiteral("Backup")).isEmpty());

    ASSERT_TRUE(IniFile::writeString(stage + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("DataSource"),
                                     db.connectionString()));
    EXPECT_EQ(RunSilently(QStringLiteral("/backup")), 0);
    const QList<TBackupEntry> made = TDM::ListBackups(stage + QStringLiteral("Backup"));
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(Private(made.first().Path));
    // Every run's lines stay, the failed ones' too.
    EXPECT_EQ(BackupLog().count(QStringLiteral("\tConnect\t")), 2) << BackupLog().toStdString();
    EXPECT_TRUE(BackupLog().contains(QStringLiteral("\tBackupDatabase\t") + made.first().Path));
}

TEST_F(HollemProgramTest, HelpIsPrintedWithoutAWindowEvenWithoutAScreen)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.start(stage + QStringLiteral(HOLLEM_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith("Usage: Hollem [backup]\n"));
}

// The window, with its questions answered by the test.
class HollemWindowTest : public HollemTest
{
protected:
    THollemPrompts Scripted(bool ok)
    {
        THollemPrompts prompts;
        prompts.Confirm = [this, ok](const QString &caption, const QString &, bool warning) {
            said << (warning ? QStringLiteral("warning ") : QStringLiteral("confirm ")) + caption;
            return ok;
        };
        prompts.Inform = [this](const QString &caption, const QString &text) { said << caption + QStringLiteral(": ") + text; };
        prompts.ShowError = [this](const QString &text) { said << QStringLiteral("error: ") + text; };
        return prompts;
    }

    QStringList said;
};

TEST_F(HollemWindowTest, CreateNewAddsABackupToTheListAndRestoreNeedsAChosenOne)
{
    TDM dm(folder);
    dm.Initialize();
    TfMain form(dm);
    form.SetPrompts(Scripted(true));
    EXPECT_EQ(form.List()->topLevelItemCount(), 0);
    EXPECT_TRUE(form.List()->isColumnHidden(0));

    form.RestoreClick();
    EXPECT_EQ(said, QStringList{QStringLiteral("No backup selected: Please select a backup to restore")});

    said.clear();
    form.CreateNewClick();
    EXPECT_EQ(said, (QStringList{QStringLiteral("confirm Create backup"), QStringLiteral("Backup: Backup is done")}));
    ASSERT_EQ(form.List()->topLevelItemCount(), 1);

    Change();
    said.clear();
    form.List()->setCurrentItem(form.List()->topLevelItem(0));
    form.RestoreClick();
    EXPECT_EQ(said, (QStringList{QStringLiteral("warning Restore database"), QStringLiteral("Restore: Database was successfully restored")}));
    EXPECT_EQ(Contents(), fixture);
}

TEST_F(HollemWindowTest, CancellingChangesNothingAndAFailedRestoreIsShownAsAnError)
{
    TDM dm(folder);
    dm.Initialize();
    TfMain form(dm);
    form.SetPrompts(Scripted(false));
    form.CreateNewClick();
    EXPECT_EQ(said, QStringList{QStringLiteral("confirm Create backup")});
    EXPECT_EQ(form.List()->topLevelItemCount(), 0);

    QFile bad(folder + QStringLiteral("Backup/SQLBackup(2024-01-01 00.00.00).bak"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a backup");
    bad.close();
    form.RefreshBackupList();
    form.SetPrompts(Scripted(true));
    said.clear();
    form.List()->setCurrentItem(form.List()->topLevelItem(0));
    form.RestoreClick();
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("error: "))) << said[1].toStdString();
    EXPECT_EQ(Contents(), fixture);
}

} // namespace
