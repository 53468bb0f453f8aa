#include "StelvarFixture.h"

#include "foundation/QuorvaLogFile.h"
#include "server/core/uDMServer.h"
#include "server/database/DatabaseBackup.h"
#include "server/database/uDMServerDatabase.h"

#include <QDate>

namespace {

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// The first lines of the shipped calendar file: enough for the ladder's imports, and quick.
QByteArray ShortCalendar()
{
    QFile f(QStringLiteral(KESTROVA_STAGE_DIR "/import.csv"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray lines;
    for (int i = 0; i < 40 && !f.atEnd(); ++i)
        lines += f.readLine();
    return lines;
}

TEST_F(StelvarTest, CreatesADatabaseTheServerStartsOnAndClimbsToTheCurrentVersion)
{
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    EXPECT_FALSE(setup.MigrationAllowed());
    ASSERT_TRUE(setup.TestServerConnection());
    EXPECT_TRUE(setup.MasterConnectionString().endsWith(QStringLiteral("Database=postgres;")));
    ASSERT_TRUE(setup.RunSetup(false, Scripted(true)));

    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(messages, QStringList{TStelvarSetup::ReadyText});
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(Version::text, ',') FROM tblDBVersion")), QStringLiteral("14"));
    EXPECT_EQ(Rows(made, QStringLiteral("SELECT PK_ID, HistoryStartDate::date::text FROM tblHistoryStartDate")),
              (QList<QStringList>{{QStringLiteral("{B560F2F6-06F1-4233-9644-82857C983CAF}"), QStringLiteral("1900-01-01")}}));
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT count(*) FROM tblContactTypes")), QStringLiteral("3"));
    EXPECT_GT(Scalar(made, QStringLiteral("SELECT count(*) FROM tblCalenderData")).toInt(), 10000);
    // Only the database itself is left, no side database of the run.
    EXPECT_EQ(Databases(made), QStringList{made});

    // The bar ends full, at a maximum counted from the scripts' batches.
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Creating database"), QStringLiteral("Creating tables"),
                                     QStringLiteral("Creating start data"), QStringLiteral("Updating calenderdata"),
                                     QStringLiteral("Finishing")}));
    EXPECT_EQ(lastPosition, lastMaximum);

    EXPECT_EQ(Setting(QStringLiteral("Data Access"), QStringLiteral("DataType")), QStringLiteral("MSSQL"));
    EXPECT_EQ(Setting(QStringLiteral("Data Access"), QStringLiteral("DataSource")), Source(made));
    EXPECT_EQ(Setting(QStringLiteral("Unknown"), QStringLiteral("Kept")), QStringLiteral("yes"));
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    EXPECT_EQ(QFile::permissions(folder + QStringLiteral("Settings.ini")) & others, QFileDevice::Permissions());

    const QString log = LogText();
    for (const char *line : {"Connecting ..", "Starting db creation", "Database does not exist.", "Create database",
                             "Starting table creation", "Loading default data"})
        EXPECT_TRUE(log.contains(QLatin1String(line) + QLatin1Char('\n'))) << line;
    EXPECT_TRUE(log.contains(QStringLiteral("Database=postgres;")));
    EXPECT_FALSE(log.contains(password));

    // The server starts on it, climbs the ladder and makes its start-up backup.
    WriteFile(folder + QStringLiteral("server.lng"), "100=Quorva Data Service\n");
    WriteFile(folder + QStringLiteral("import.csv"), ShortCalendar());
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("Reports")));
    ASSERT_TRUE(IniFile::writeStrings(folder + QStringLiteral("Settings.ini"),
                                      {{QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("0")},
                                       {QStringLiteral("Discovery Service"), QStringLiteral("Use discovery"), QStringLiteral("FALSE")},
                                       {QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("FALSE")},
                                       {QStringLiteral("Backup"), QStringLiteral("Use Autobackup"), QStringLiteral("TRUE")}}));
    TQorLog serverLog;
    serverLog.SetFileName(folder + QStringLiteral("server_session.txt"));
    SessionLog = &serverLog;
    {
        TDMServer server(folder);
        server.LoadConfiguration();
        EXPECT_FALSE(server.InitializeServer());
    }
    SessionLog = nullptr;
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(Version::text, ',') FROM tblDBVersion")), QString::number(kDatabaseVersion));
    const QString backup = folder + QStringLiteral("Backup/mssqlbackup.BAK");
    ASSERT_TRUE(QFileInfo(backup).isFile());
    EXPECT_NO_THROW(TDatabaseBackup(Source(made)).Check(backup));
}

class StelvarOverwriteTest : public StelvarTest
{
protected:
    void SetUp() override
    {
        StelvarTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The test's own database stands for the installation's current one.
        cluster.exec(QStringLiteral("INSERT INTO dbo.tblContacts (PK_ContactID, LastName) VALUES ('{C1}', 'Earlier')"));
        WriteSettings(QStringLiteral("MSSQL"), Source(cluster.name()));
        before = SettingsBytes();
    }

    QString Earlier() const { return cluster.scalar(QStringLiteral("SELECT LastName FROM dbo.tblContacts WHERE PK_ContactID = '{C1}'")); }
    QStringList SideDatabases() const
    {
        QStringList names = Databases(cluster.name());
        names.removeAll(cluster.name());
        return names;
    }

    QByteArray before;
};

TEST_F(StelvarOverwriteTest, DecliningTheQuestionLeavesTheDatabaseAndTheSettingsAsTheyAre)
{
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    ASSERT_TRUE(setup.RunSetup(false, Scripted(false)));
    EXPECT_EQ(questions, QStringList{TStelvarSetup::ExistsCaption + QLatin1Char('|') + TStelvarSetup::ExistsText});
    EXPECT_EQ(messages, QStringList{TStelvarSetup::ReadyText});
    EXPECT_EQ(Earlier(), QStringLiteral("Earlier"));
    EXPECT_EQ(SettingsBytes(), before);
    EXPECT_TRUE(SideDatabases().isEmpty());
}

TEST_F(StelvarOverwriteTest, AScriptFailingHalfWayKeepsTheOldDataAndDropsOnlyWhatTheRunMade)
{
    WriteFile(folder + QStringLiteral("mssqlScripts/CalenderData.sql"),
              "SET search_path = dbo;\r\nGO\r\nINSERT INTO tblCalenderData (ID) VALUES (1);\r\nGO\r\nTHIS IS NOT SQL;\r\nGO\r\n");
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    EXPECT_FALSE(setup.RunSetup(false, Scripted(true)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("An error occured: "))) << messages[0].toStdString();
    EXPECT_EQ(messages[1], TStelvarSetup::NotFinishedText);
    EXPECT_TRUE(LogText().contains(QStringLiteral("An error occured: ")));
    EXPECT_EQ(Earlier(), QStringLiteral("Earlier"));
    EXPECT_EQ(SettingsBytes(), before);
    EXPECT_TRUE(SideDatabases().isEmpty());
}

TEST_F(StelvarOverwriteTest, AcceptingTheQuestionReplacesTheDatabaseOnceTheNewOneIsComplete)
{
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    ASSERT_TRUE(setup.RunSetup(false, Scripted(true)));
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(Earlier(), QString());
    EXPECT_EQ(cluster.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblDBVersion")), QStringLiteral("1"));
    EXPECT_TRUE(SideDatabases().isEmpty());
}

TEST_F(StelvarTest, MigrationCopiesAnOlderDatabaseAndLeavesItUnchanged)
{
    // An older installation: version 11, no SortIndex on its locations yet, a few orphans.
    cluster.exec(QStringLiteral(
        "SET search_path = dbo;"
        "UPDATE tblDBVersion SET Version = 11;"
        "ALTER TABLE tblLocations DROP COLUMN SortIndex;"
        "DELETE FROM tblCalenderData WHERE ID > 20000110;"
        "INSERT INTO tblLocations (PK_LocationID, LocationName) VALUES ('{L1}', 'St. Mary''s');"
        "INSERT INTO tblContacts (PK_ContactID, FirstName, LastName) VALUES ('{C1}', 'Ann', 'Adams');"
        "INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('{F1}', 'Adams');"
        "INSERT INTO tblGroups (PK_GroupID, GroupName) VALUES ('{G1}', 'Choir');"
        "INSERT INTO tblLnkGroupmembers (PK_LinkID, F_GroupID, F_MemberID, F_MemberTypeID) VALUES"
        " ('{K1}', '{G1}', '{C1}', '{00000000-0000-0000-0000-000000000000}'),"
        " ('{K2}', '{G1}', '{F1}', '{00000000-0000-0000-0000-000000000001}'),"
        " ('{K3}', '{G1}', '{GONE}', '{00000000-0000-0000-0000-000000000000}');"
        "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName) VALUES ('{M1}', 'Reader');"
        "ALTER TABLE tblLnkMinistryTemplateToMinistryFunction DROP CONSTRAINT tblLnkMinistryTemplateToM_FK00;"
        "INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID)"
        " VALUES ('{T1}', '{NO TEMPLATE}', '{M1}');"
        "INSERT INTO tblBlobSettings (PK_BlobSettingID, AppID, F_UserID, BlobName, BlobData) VALUES (7, 'A01', '{U1}', 'Grid', '\\x00ff');"));
    // Every table's rows and every column of the older database, as one text.
    const auto snapshot = [this] {
        QStringList parts;
        for (const QStringList &table : cluster.rows(QStringLiteral(
                 "SELECT table_name FROM information_schema.tables WHERE table_schema = 'dbo' ORDER BY 1")))
            parts << table.first() + QLatin1Char(':')
                         + cluster.scalar(QStringLiteral("SELECT count(*) || ' ' || coalesce(md5(string_agg(x::text, '|' ORDER BY "
                                                         "x::text)), '') FROM dbo.%1 x").arg(table.first()));
        parts << cluster.scalar(QStringLiteral("SELECT string_agg(table_name || '.' || column_name, ',' ORDER BY table_name, "
                                               "ordinal_position) FROM information_schema.columns WHERE table_schema = 'dbo'"));
        return parts.join(QLatin1Char(' '));
    };
    const QString older = snapshot();
    WriteSettings(QStringLiteral("Access"), Source(made), Source(cluster.name()));

    TStelvarSetup setup(folder);
    setup.LoadSettings();
    ASSERT_TRUE(setup.MigrationAllowed());
    ASSERT_TRUE(setup.RunSetup(true, Scripted(true)));
    EXPECT_EQ(messages, QStringList{TStelvarSetup::ReadyText});
    EXPECT_EQ(snapshot(), older);

    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(Version::text, ',') FROM tblDBVersion")), QStringLiteral("14"));
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT HistoryStartDate::date::text FROM tblHistoryStartDate")),
              QDate::currentDate().toString(Qt::ISODate));
    EXPECT_EQ(Rows(made, QStringLiteral("SELECT LocationName, coalesce(SortIndex::text, 'null') FROM tblLocations")),
              (QList<QStringList>{{QStringLiteral("St. Mary's"), QStringLiteral("null")}}));
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(PK_LinkID, ',' ORDER BY PK_LinkID) FROM tblLnkGroupmembers")),
              QStringLiteral("{K1},{K2}"));
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT count(*) FROM tblLnkMinistryTemplateToMinistryFunction")), QStringLiteral("0"));
    // The calendar is the script's, and new layout blobs count on after the copied ones.
    EXPECT_GT(Scalar(made, QStringLiteral("SELECT count(*) FROM tblCalenderData")).toInt(), 10000);
    EXPECT_EQ(Scalar(made, QStringLiteral("INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName) VALUES ('A01', '{U1}', 'New') "
                                          "RETURNING PK_BlobSettingID")),
              QStringLiteral("8"));
    EXPECT_EQ(Databases(made), QStringList{made});

    EXPECT_EQ(Setting(QStringLiteral("Old Data"), QStringLiteral("DataType")), QStringLiteral("Access"));
    EXPECT_EQ(Setting(QStringLiteral("Old Data"), QStringLiteral("DataSource")), Source(made));
    EXPECT_EQ(Setting(QStringLiteral("Data Access"), QStringLiteral("DataType")), QStringLiteral("MSSQL"));
    const QString log = LogText();
    EXPECT_TRUE(log.contains(QStringLiteral("Checked for migration\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Migrating: tblUsers\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Deleted 1 invalid rows from tblLnkGroupMembers\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Deleted 1 invalid rows from tblLnkMinistryTemplatesToMinistryFunctions\n")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Migrating liturgies")));
    EXPECT_EQ(lastPosition, lastMaximum);
}

TEST_F(StelvarTest, AMigrationWithoutAnOlderDatabaseStopsBeforeCreatingAnything)
{
    WriteSettings(QStringLiteral("Access"), Source(made));
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    const QByteArray before = SettingsBytes();
    EXPECT_FALSE(setup.RunSetup(true, Scripted(true)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("A problem occured while attempting to contact the old database: ")));
    EXPECT_TRUE(LogText().contains(QStringLiteral("Access.Open => ")));
    EXPECT_TRUE(Databases(made).isEmpty());
    EXPECT_EQ(SettingsBytes(), before);
}

TEST_F(StelvarTest, ABadDatabaseNameIsRefusedBeforeItReachesTheServer)
{
    for (const QString &name : {QStringLiteral("bad-name"), QStringLiteral("x\"y"), QStringLiteral("1st"), QString(64, QLatin1Char('k'))}) {
        SCOPED_TRACE(name.toStdString());
        WriteSettings(QStringLiteral("MSSQL"), Source(name));
        const QByteArray before = SettingsBytes();
        messages.clear();
        TStelvarSetup setup(folder);
        setup.LoadSettings();
        QString reason;
        EXPECT_FALSE(setup.TestServerConnection(&reason));
        EXPECT_TRUE(reason.contains(QStringLiteral("is not a valid database name"))) << reason.toStdString();
        EXPECT_FALSE(setup.RunSetup(false, Scripted(true)));
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[0].contains(QStringLiteral("is not a valid database name")));
        // Neither the database nor a side database of the run was made.
        EXPECT_EQ(Scalar(QStringLiteral("postgres"), QStringLiteral("SELECT count(*) FROM pg_database WHERE position('%1' in datname) = 1")
                                                         .arg(QString(name.left(20)).replace(QLatin1Char('\''), QLatin1String("''")))),
                  QStringLiteral("0"));
        EXPECT_EQ(SettingsBytes(), before);
    }
}

} // namespace
