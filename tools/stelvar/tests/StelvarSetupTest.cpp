#include "StelvarFixture.h"

#include "foundation/QuorvaLogFile.h"
#include "server/core/uDMServer.h"
#include "server/database/DatabaseBackup.h"
#include "server/database/uDMServerDatabase.h"
#include "testsupport/FreePorts.h"

#include <QMap>

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
                                      {{QStringLiteral("Server"), QStringLiteral("Port"), QString::number(kestrova::test::FreeTcpPort())},
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
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("An error occurred: "))) << messages[0].toStdString();
    EXPECT_EQ(messages[1], TStelvarSetup::NotFinishedText);
    EXPECT_TRUE(LogText().contains(QStringLiteral("An error occurred: ")));
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
        "INSERT INTO tblBlobSettings (PK_BlobSettingID, AppID, F_UserID, BlobName, BlobData) VALUES (7, 'A01', '{U1}', 'Grid', '\\x00ff');"
        "INSERT INTO tblEvents (PK_EventID, EventSubject) VALUES ('{E9}', 'No liturgy');"
        // A table the older installation never had.
        "DROP TABLE tblServingFrequency;"));
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
    // What the clean-up removed is said on screen, with the reason, before the final message.
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1], TStelvarSetup::ReadyText);
    for (const char *line : {"Deleted 1 invalid rows from tblLnkGroupMembers: ", "Deleted 1 invalid rows from tblEvents: events without a scheduled liturgy",
                             "Deleted 1 invalid rows from tblLnkMinistryTemplatesToMinistryFunctions: "})
        EXPECT_TRUE(messages[0].contains(QLatin1String(line))) << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains(QStringLiteral("tblScheduledLiturgies")));
    EXPECT_EQ(snapshot(), older);
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT count(*) FROM tblEvents")), QStringLiteral("0"));

    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(Version::text, ',') FROM tblDBVersion")), QStringLiteral("14"));
    // The history starts where the older database's did, not on the day of the migration.
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT HistoryStartDate::date::text FROM tblHistoryStartDate")), QStringLiteral("1900-01-01"));
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
    EXPECT_EQ(Setting(QStringLiteral("Old Data"), QStringLiteral("DataSource")), Source(cluster.name()));
    EXPECT_EQ(Setting(QStringLiteral("Data Access"), QStringLiteral("DataType")), QStringLiteral("MSSQL"));
    const QString log = LogText();
    EXPECT_TRUE(log.contains(QStringLiteral("Checked for migration\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Migrating: tblUsers\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Not in the older database: tblServingFrequency\n")));
    EXPECT_EQ(Scalar(made, QStringLiteral("SELECT count(*) FROM tblServingFrequency")), QStringLiteral("0"));
    EXPECT_TRUE(log.contains(QStringLiteral("Deleted 1 invalid rows from tblLnkGroupMembers\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Deleted 1 invalid rows from tblLnkMinistryTemplatesToMinistryFunctions\n")));
    EXPECT_TRUE(captions.contains(QStringLiteral("Migrating liturgies")));
    EXPECT_EQ(lastPosition, lastMaximum);
}

// The older database at the version the scripts build, and at the current one, whose later
// columns the new tables take on.
class StelvarMigrationTest : public StelvarTest, public ::testing::WithParamInterface<int>
{
};

INSTANTIATE_TEST_SUITE_P(Versions, StelvarMigrationTest, ::testing::Values(14, kDatabaseVersion));

TEST_P(StelvarMigrationTest, MigrationCarriesEveryTableOfTheOlderDatabaseRowForRow)
{
    const bool current = GetParam() == kDatabaseVersion;
    if (current)
        cluster.exec(QStringLiteral("SET search_path = dbo;"
                                    "UPDATE tblDBVersion SET Version = %1;"
                                    "ALTER TABLE tblUsers ADD COLUMN InteractiveLogonHash varchar(255) NULL;")
                         .arg(kDatabaseVersion));
    // Rows in every table, all consistent, so the clean-up has nothing to take.
    cluster.exec(QStringLiteral(
        "SET search_path = dbo;"
        "UPDATE tblHistoryStartDate SET HistoryStartDate = '2001-02-03';"
        "INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) VALUES ('{L1}', 'St. Mary''s', 1);"
        "INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyPicture) VALUES ('{F1}', 'Adams', '\\x0a0b');"
        "INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, ContactPicture, F_FamilyID, DateOfBirth, FlagContact) VALUES"
        " ('{C1}', 'Ann', 'Adams', '\\x89504e47', '{F1}', '1970-05-06', 1);"
        "INSERT INTO tblGroups (PK_GroupID, GroupName, F_GroupContact) VALUES ('{G1}', 'Choir', '{C1}');"
        "INSERT INTO tblLnkGroupmembers VALUES ('{K1}', '{G1}', '{C1}', '{00000000-0000-0000-0000-000000000000}');"
        "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, AllowDuplicate) VALUES ('{M1}', 'Reader', 1);"
        "INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName) VALUES ('{MT1}', 'Sunday');"
        "INSERT INTO tblLnkMinistryTemplateToMinistryFunction VALUES ('{T1}', '{MT1}', '{M1}', 2, 1);"
        "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID) VALUES ('{LT1}', 'High Mass', '{L1}');"
        "INSERT INTO tblServingFrequency (PK_ServingFrequencyID, ServingFreqencyAsInteger, ServingFrequencyDescription) VALUES"
        " ('{SF9}', 9, 'Every ninth week');"
        "INSERT INTO tblLnkServingPrefrence VALUES ('{P1}', '{C1}', '{M1}', 1, 0);"
        "INSERT INTO tblServingPrefrenceLiturgy VALUES ('{PL1}', '{P1}', '{C1}', '{LT1}');"
        "INSERT INTO tblServingPrefrenceFrequency VALUES ('{PF1}', '{P1}', '{C1}', '{SF9}');"
        "INSERT INTO tblLnkContactFunctionFrequency VALUES ('{CF1}', '{C1}', '{M1}', '{SF9}');"
        "INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate) VALUES ('{U1}', '{C1}', '2024-07-01');"
        "INSERT INTO tblRuleTypes VALUES ('{RT9}', 'Never with');"
        "INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID, RuleMemberCaption) VALUES"
        " ('{R1}', '{C1}', '{F1}', '{RT9}', 'Adams');"
        "INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, EndDateTime, EventLocationID, EventRecurrenceInfo) VALUES"
        " ('{E1}', 'Mass', '2024-07-07 10:00', '2024-07-07 11:00', '{L1}', '\\x0102');"
        "INSERT INTO tblEventSeries VALUES ('{S1}', 'Summer', '2024-06-01', '2024-08-31', 1, 2);"
        "INSERT INTO tblLnkEventSeries VALUES ('{SE1}', '{S1}', '{E1}');"
        "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID, FeastName) VALUES"
        " ('{SL1}', '{E1}', '{LT1}', 'Trinity 5');"
        "INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID,"
        " F_MinistryMemberID, MemberLocked) VALUES ('{SM1}', '{SL1}', '{M1}', '{C1}', 1);"
        "INSERT INTO tblEventColors (PK_ColorID, ColorDescription, ColorIntValue) VALUES ('{EC9}', 'Gold', 55295);"
        "INSERT INTO tblUserLevels (PK_UserLevelID, UserLevelName, UserlevelValue) VALUES ('{UL9}', 'Helper', 5);"
        "INSERT INTO tblUsers (PK_UserID, LogonUsername, LogonPassword, F_ContactID, F_Userlevel) VALUES"
        " ('{US1}', 'ann', 'hash', '{C1}', '{UL9}');"
        "INSERT INTO tblSettings VALUES ('A01', '{US1}', 'Theme', 'Dark', 0);"
        "INSERT INTO tblBlobSettings (PK_BlobSettingID, AppID, F_UserID, BlobName, BlobData) VALUES (7, 'A01', '{US1}', 'Grid', '\\x00ff');"
        "INSERT INTO tblContactTypes VALUES ('{CT9}', 'Guest', 9);"
        // A table the new schema does not know.
        "CREATE TABLE tblParishNotes (Note text); INSERT INTO tblParishNotes VALUES ('one'), ('two');"));
    if (current)
        cluster.exec(QStringLiteral("UPDATE dbo.tblUsers SET InteractiveLogonHash = '$argon2id$v=19$proof' WHERE PK_UserID = '{US1}'"));
    const QStringList tables = Tables(cluster.name());
    ASSERT_EQ(tables.size(), 32);
    QMap<QString, QString> older;
    for (const QString &table : tables) {
        older[table] = Digest(cluster.name(), table);
        EXPECT_FALSE(older[table].startsWith(QStringLiteral("0 "))) << table.toStdString() << " has no rows to carry";
    }
    WriteSettings(QStringLiteral("Access"), Source(made), Source(cluster.name()));

    TStelvarSetup setup(folder);
    setup.LoadSettings();
    ASSERT_TRUE(setup.RunSetup(true, Scripted(true)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], QStringLiteral("These tables of the older database were not migrated, the new database has no place "
                                          "for them:\r\ntblparishnotes (2 rows)"));
    EXPECT_EQ(messages[1], TStelvarSetup::ReadyText);

    // Every table arrives row for row, every column included; the version row is the run's own
    // (the server climbs from there), the history start the older database's.
    QStringList newer = Tables(made);
    EXPECT_EQ(newer.size(), 31);
    for (const QString &table : std::as_const(newer)) {
        SCOPED_TRACE(table.toStdString());
        if (table == QLatin1String("tbldbversion"))
            EXPECT_EQ(Scalar(made, QStringLiteral("SELECT string_agg(Version::text, ',') FROM tblDBVersion")), QStringLiteral("14"));
        else if (table == QLatin1String("tblhistorystartdate"))
            EXPECT_EQ(Scalar(made, QStringLiteral("SELECT HistoryStartDate::date::text FROM tblHistoryStartDate")), QStringLiteral("2001-02-03"));
        else
            EXPECT_EQ(Digest(made, table), older.value(table));
    }
    EXPECT_EQ(Digest(made, QStringLiteral("tblServingFrequency")).section(QLatin1Char(' '), 0, 0), QStringLiteral("6"));
    EXPECT_EQ(Setting(QStringLiteral("Old Data"), QStringLiteral("DataSource")), Source(cluster.name()));
    EXPECT_TRUE(LogText().contains(QStringLiteral("Not migrated: tblparishnotes (2 rows)\n")));
}

TEST(StelvarSummary, SaysOnlyWhatTheCleanUpChangedAndWhatWasLeftBehind)
{
    const QList<TStelvarSetup::Cleaning> &statements = TStelvarSetup::CleaningStatements();
    QList<int> none(statements.size(), 0);
    EXPECT_EQ(TStelvarSetup::MigrationSummary(none, {}), QString());
    QList<int> events = none;
    events[11] = 4;
    EXPECT_EQ(TStelvarSetup::MigrationSummary(events, {}),
              QStringLiteral("The older data was cleaned during the migration:\r\nDeleted 4 invalid rows from tblEvents: events without "
                             "a scheduled liturgy, which no calendar can show or schedule"));
    const QString both = TStelvarSetup::MigrationSummary(events, {QStringLiteral("tblold (3 rows)")});
    EXPECT_TRUE(both.endsWith(QStringLiteral("schedule\r\n\r\nThese tables of the older database were not migrated, the new "
                                             "database has no place for them:\r\ntblold (3 rows)")));
}

TEST_F(StelvarTest, AMigrationWithoutAnOlderDatabaseStopsBeforeCreatingAnything)
{
    WriteSettings(QStringLiteral("Access"), Source(made));
    TStelvarSetup setup(folder);
    setup.LoadSettings();
    const QByteArray before = SettingsBytes();
    EXPECT_FALSE(setup.RunSetup(true, Scripted(true)));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("A problem occurred while attempting to contact the old database: ")));
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
