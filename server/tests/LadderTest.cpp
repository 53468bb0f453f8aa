// The patch ladder on real databases: the climb from what the setup program makes, a second
// start, failing steps and the clean-up of orphans.
#include "server/database/uDMServerDatabase.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/LogCapture.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::CurrentSchemaStage;
using kestrova::test::LogCapture;
using kestrova::test::RunLadder;
using kestrova::test::TestDatabase;

// A folder with the first year of the shipped calendar file, for climbs that test something
// other than the calendar (copying all sixty years takes a while in a sanitized build).
class SmallCalendar
{
public:
    SmallCalendar()
    {
        QFile shipped(QStringLiteral(KESTROVA_STAGE_DIR "/") + TDMServerDatabase::CalendarFileName());
        QFile small(m_dir.filePath(TDMServerDatabase::CalendarFileName()));
        if (!shipped.open(QIODevice::ReadOnly) || !small.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot copy the calendar file";
        for (int line = 0; line <= 366 && !shipped.atEnd(); ++line)
            small.write(shipped.readLine());
    }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

QString version(const TestDatabase &db)
{
    return db.scalar(QStringLiteral("SELECT Version FROM tblDBVersion"));
}

// Everything the ladder could touch: objects with their ids (a replaced object gets a new
// one), their texts, columns, constraints and the rows of the tables it writes.
QList<QStringList> snapshot(const TestDatabase &db)
{
    QList<QStringList> all;
    all << db.rows(QStringLiteral("SELECT p.oid::text, p.proname, pg_get_function_identity_arguments(p.oid), md5(p.prosrc) "
                                  "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'dbo' ORDER BY 1"));
    all << db.rows(QStringLiteral("SELECT c.oid::text, c.relname, c.relkind::text FROM pg_class c JOIN pg_namespace n "
                                  "ON n.oid = c.relnamespace WHERE n.nspname = 'dbo' ORDER BY 1"));
    all << db.rows(QStringLiteral("SELECT table_name, column_name, data_type FROM information_schema.columns "
                                  "WHERE table_schema = 'dbo' ORDER BY 1, 2"));
    all << db.rows(QStringLiteral("SELECT conname, pg_get_constraintdef(oid) FROM pg_constraint WHERE connamespace = 'dbo'::regnamespace ORDER BY 1"));
    all << db.rows(QStringLiteral("SELECT (SELECT Version FROM tblDBVersion)::text, (SELECT count(*) FROM tblDBVersion)::text, "
                                  "(SELECT md5(string_agg(t::text, '|' ORDER BY ID)) FROM tblCalenderData t), "
                                  "(SELECT count(*) FROM tblEvents)::text, (SELECT count(*) FROM tblLnkGroupmembers)::text"));
    return all;
}

TEST(PatchLadder, AFreshDatabaseClimbsToTheCurrentVersionInOneStartAndHoldsEveryObject)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    LogCapture log;
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion));

    const auto functions = db.rows(QStringLiteral(
        "SELECT p.proname || '(' || pg_get_function_identity_arguments(p.oid) || ')' FROM pg_proc p "
        "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE n.nspname = 'dbo' AND p.proname NOT LIKE '%citext%' "
        "AND p.proname NOT IN ('regexp_match','regexp_matches','regexp_replace','regexp_split_to_array',"
        "'regexp_split_to_table','replace','split_part','strpos','translate','texticlike','texticnlike',"
        "'texticregexeq','texticregexne','max','min') ORDER BY 1"));
    EXPECT_EQ(functions, QList<QStringList>({
        {"numassigned(contactid character varying, historystartdate timestamp without time zone, nowdate timestamp without time zone)"},
        {"reportdate(value timestamp without time zone)"},
        {"reportdatetime(value timestamp without time zone)"},
        {"reporttime(value timestamp without time zone)"},
        {"rotationratio(contactid character varying, functionid character varying, nowdate timestamp without time zone, historystartdate timestamp without time zone)"},
        {"sincelast(contactid character varying, checkagainst timestamp without time zone, historystartdate timestamp without time zone)"},
        {"sp_auto_step2(startdate timestamp without time zone, enddate timestamp without time zone)"},
        {"sp_autoschedule_rulemembers(ownerid character varying, memberid character varying)"},
        {"step3_ordered(liturgyid character varying)"},
        {"step4(weeknum integer, templateid character varying, liturgyid character varying, functionid character varying, historystartdate timestamp without time zone, rweight double precision, sweight double precision, hpweight double precision)"},
        {"step4_nw_ordered(templateid character varying, liturgyid character varying, functionid character varying, historystartdate timestamp without time zone)"},
        {"step4_weekend_ordered(weeknum integer, templateid character varying, liturgyid character varying, functionid character varying, historystartdate timestamp without time zone)"},
    }));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT viewname FROM pg_views WHERE schemaname = 'dbo' ORDER BY 1")),
              QList<QStringList>({{"groupdir"}, {"grouplabel"}}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM information_schema.columns "
                                       "WHERE table_schema = 'dbo' AND table_name = 'groupdir'")),
              QStringLiteral("pk_contactid,name,totadr,phone1,phone2,email1,email2,email3,memberof,theid,lastname"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT confdeltype FROM pg_constraint WHERE conname = lower('tblLnkMinistryTemplateToM_FK00')")),
              QStringLiteral("c"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("22281"));

    // The SortIndex columns a new database already has only cost an Information line each,
    // and nothing of a climb the ladder is made for reads as a failure.
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMServer"), QStringLiteral("AddDatabaseField")).size(), 4);
    const QStringList severe = log.lines().filter(QRegularExpression(QStringLiteral("^Severe ")));
    EXPECT_TRUE(severe.isEmpty()) << severe.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMServer"), QStringLiteral("Running on MSSQL databaseversion:")),
              QStringList({QString::number(kDatabaseVersion)}));
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("Server"), QStringLiteral("Imported calendardata")),
              QStringList({"OK", "OK"}));
}

TEST(PatchLadder, RunningTheLadderAgainAtTheCurrentVersionChangesNothing)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    const auto before = snapshot(db);
    LogCapture log;
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(snapshot(db), before);
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMServer"), QStringLiteral("Running on MSSQL databaseversion:")),
              QStringList({QString::number(kDatabaseVersion)}));
    EXPECT_TRUE(log.texts(QStringLiteral("Severe"), QStringLiteral("DMServer"), QStringLiteral("General cleanup")).isEmpty());
}

TEST(PatchLadder, AFailingStepLeavesTheVersionBeforeItAndTheNextStartRetriesIt)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    // Step 20 drops this constraint before making it again: without it, the step fails.
    db.exec(QStringLiteral("ALTER TABLE tblLnkMinistryTemplateToMinistryFunction DROP CONSTRAINT tblLnkMinistryTemplateToM_FK00"));
    const SmallCalendar calendar;
    {
        LogCapture log;
        // The first step (14) succeeded, so the start commits what the climb reached.
        EXPECT_TRUE(RunLadder(db.connectionString(), calendar.folder()));
    }
    EXPECT_EQ(version(db), QStringLiteral("20"));
    // Steps before it are kept, the failing step left nothing behind, the database works.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'step4' AND pronargs = 8")), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_views WHERE viewname = 'groupdir'")), QStringLiteral("0"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT * FROM step3_ordered('{none}')")), QList<QStringList>());

    db.exec(QStringLiteral("ALTER TABLE tblLnkMinistryTemplateToMinistryFunction ADD CONSTRAINT tblLnkMinistryTemplateToM_FK00 "
                           "FOREIGN KEY (F_MinistryTemplateID) REFERENCES tblMinistryTemplates (PK_MinistryTemplateID)"));
    EXPECT_TRUE(RunLadder(db.connectionString(), calendar.folder()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblCalenderData")), QStringLiteral("366"));
}

TEST(PatchLadder, AFailedCalendarStepKeepsTheRowsAndLogsTheVersionItStaysAt)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 22; UPDATE tblCalenderData SET FullName = 'kept' WHERE ID = 20240331"));
    LogCapture log;
    // No calendar file in this folder.
    EXPECT_FALSE(RunLadder(db.connectionString(), QStringLiteral("/nonexistent-folder")));
    EXPECT_EQ(version(db), QStringLiteral("22"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT FullName FROM tblCalenderData WHERE ID = 20240331")), QStringLiteral("kept"));
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMServer"), QStringLiteral("Unable to upgrade to")),
              QStringList({"22"}));
}

TEST(PatchLadder, AFailureAtStep28KeepsTheStepsBeforeItAndLogsWhatItCouldNotCreate)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    // Two functions of that name: the step's drop cannot tell which one is meant.
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 22;"
                           "CREATE FUNCTION sp_Auto_Step2(n integer) RETURNS integer LANGUAGE sql AS 'SELECT 1';"
                           "CREATE FUNCTION sp_Auto_Step2(t text) RETURNS integer LANGUAGE sql AS 'SELECT 2'"));
    const SmallCalendar calendar;
    LogCapture log;
    EXPECT_TRUE(RunLadder(db.connectionString(), calendar.folder()));
    EXPECT_EQ(version(db), QStringLiteral("28"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'sp_autoschedule_rulemembers'")), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_views WHERE viewname = 'grouplabel'")), QStringLiteral("1"));
    const QStringList failures = log.texts(QStringLiteral("Severe"), QStringLiteral("DMServer"), QStringLiteral("Unable to upgrade to"));
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0], QStringLiteral("28"));
    EXPECT_TRUE(failures[1].contains(QStringLiteral("sp_auto_step2"))) << failures[1].toStdString();
    bool creationLogged = false;
    for (const QString &line : log.lines())
        creationLogged = creationLogged || line.contains(QStringLiteral("CREATE FUNCTION sp_Auto_Step2(StartDate timestamp"));
    EXPECT_TRUE(creationLogged);
}

TEST(PatchLadder, ADatabaseWithoutAVersionRowEndsWithFalse)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral("DELETE FROM tblDBVersion"));
    LogCapture log;
    EXPECT_FALSE(RunLadder(db.connectionString()));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblDBVersion")), QStringLiteral("0"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname = 'numassigned'")), QStringLiteral("0"));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMServer"), QStringLiteral("PreformDatabaseUpdate")).size(), 1);
}

TEST(PatchLadder, VersionElevenStaysAndVersionsBeyondTheLadderHaveNoStep)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 11"));
    {
        LogCapture log;
        EXPECT_TRUE(RunLadder(db.connectionString()));
        EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMServer"), QStringLiteral("Running on databaseversion:")),
                  QStringList({"11"}));
    }
    EXPECT_EQ(version(db), QStringLiteral("11"));
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = %1").arg(kDatabaseVersion + 1));
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion + 1));
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = -1"));
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QStringLiteral("-1"));
}

TEST(PatchLadder, TheCleanupRemovesOrphansButKeepsFamiliesAndGroupsAsMembers)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral(
        "INSERT INTO tblContacts (PK_ContactID, LastName) VALUES ('{C1}', 'Adams');"
        "INSERT INTO tblFamilies (PK_FamilyID, FamilyName) VALUES ('{F1}', 'Adams family');"
        "INSERT INTO tblGroups (PK_GroupID, GroupName) VALUES ('{G1}', 'Choir'), ('{G2}', 'Youth');"
        "INSERT INTO tblLnkGroupmembers VALUES ('{L1}', '{G2}', '{C1}', '{00000000-0000-0000-0000-000000000000}'),"
        " ('{L2}', '{G2}', '{F1}', '{00000000-0000-0000-0000-000000000001}'),"
        " ('{L3}', '{G2}', '{G1}', '{00000000-0000-0000-0000-000000000002}'),"
        " ('{L4}', '{G2}', '{GONE}', '{00000000-0000-0000-0000-000000000000}');"
        "INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID) VALUES"
        " ('{R1}', '{C1}', '{F1}'), ('{R2}', '{G1}', '{C1}'), ('{R3}', '{C1}', '{GONE}'), ('{R4}', '{GONE}', '{C1}');"
        "INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID) VALUES ('{U1}', '{C1}'), ('{U2}', '{GONE}');"
        "INSERT INTO tblEvents (PK_EventID) VALUES ('{E1}'), ('{E2}');"
        "INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID) VALUES ('{S1}', '{E1}');"));
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_LinkID FROM tblLnkGroupmembers ORDER BY 1")),
              QList<QStringList>({{"{L1}"}, {"{L2}"}, {"{L3}"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_RuleLnkID FROM tblLnkServingRules ORDER BY 1")),
              QList<QStringList>({{"{R1}"}, {"{R2}"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_UnavailiableID FROM tblUnAvailiabillity")), QList<QStringList>({{"{U1}"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_EventID FROM tblEvents")), QList<QStringList>({{"{E1}"}}));
}

TEST(PatchLadder, TheLayoutBlobStepKeepsTheLatestOfDuplicateBlobsAndMakesTheirOwnerUnique)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    // A database as the step before found it: a plain index, duplicates from concurrent saves.
    db.exec(QStringLiteral("ALTER TABLE tblBlobSettings DROP CONSTRAINT tblBlobSettings_Owner_Key;"
                           "CREATE INDEX tblBlobSettings_Owner ON tblBlobSettings (AppID, F_UserID, BlobName);"
                           "UPDATE tblDBVersion SET Version = 30;"
                           "INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName, BlobData) VALUES"
                           " ('A01', '{U1}', 'Grid', 'old'), ('A01', '{U1}', 'GRID', 'new'), ('A01', '{U2}', 'Grid', 'other'),"
                           " ('A01', NULL, 'Grid', 'first'), ('A01', NULL, 'Grid', 'second')"));
    LogCapture log;
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT F_UserID, convert_from(BlobData, 'UTF8') FROM tblBlobSettings ORDER BY 2")),
              QList<QStringList>({{"{U1}", "new"}, {"{U2}", "other"}, {QString(), "second"}}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname = lower('tblBlobSettings_Owner')")),
              QStringLiteral("0"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_constraint WHERE conname = lower('tblBlobSettings_Owner_Key')")),
              QStringLiteral("1"));
}

TEST(PatchLadder, AFailureAtTheLayoutBlobStepLeavesVersion30AndIsLogged)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    // The constraint exists already, so adding it fails.
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 30;"
                           "INSERT INTO tblBlobSettings (AppID, F_UserID, BlobName) VALUES ('A01', '{U1}', 'Grid')"));
    LogCapture log;
    EXPECT_FALSE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QStringLiteral("30"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblBlobSettings")), QStringLiteral("1"));
    const QStringList failures = log.texts(QStringLiteral("Severe"), QStringLiteral("DMServer"), QStringLiteral("Unable to upgrade to"));
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0], QStringLiteral("30"));
}

TEST(PatchLadder, TheRankingStepGivesEveryRankingFunctionItsCheaperForm)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    // Each new form starts from the person's rows or removes duplicates first.
    EXPECT_EQ(db.rows(QStringLiteral("SELECT proname FROM pg_proc WHERE pronamespace = 'dbo'::regnamespace "
                                     "AND prosrc LIKE '%MATERIALIZED%' ORDER BY 1")),
              QList<QStringList>({{"numassigned"}, {"rotationratio"}, {"sincelast"}, {"step4"}, {"step4_nw_ordered"},
                                  {"step4_weekend_ordered"}}));
}

TEST(PatchLadder, AFailureAtTheRankingStepKeepsTheFunctionsItFoundAndIsLogged)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    // The step drops each function before making it again: without SinceLast it fails.
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 31; DROP FUNCTION SinceLast"));
    const QString before = db.scalar(QStringLiteral("SELECT md5(prosrc) FROM pg_proc WHERE proname = 'numassigned'"));
    LogCapture log;
    EXPECT_FALSE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QStringLiteral("31"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT md5(prosrc) FROM pg_proc WHERE proname = 'numassigned'")), before);
    const QStringList failures = log.texts(QStringLiteral("Severe"), QStringLiteral("DMServer"), QStringLiteral("Unable to upgrade to"));
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0], QStringLiteral("31"));
}

TEST(PatchLadder, TheLastStepAddsTheAutomaticLogOnHashAndToleratesItBeingThere)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    const QString column = QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE table_schema = 'dbo' "
                                          "AND table_name = 'tblusers' AND column_name = 'interactivelogonhash'");
    EXPECT_EQ(db.scalar(column), QStringLiteral("1"));
    db.exec(QStringLiteral("UPDATE tblDBVersion SET Version = 32"));
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion));
    db.exec(QStringLiteral("ALTER TABLE tblUsers DROP COLUMN InteractiveLogonHash; UPDATE tblDBVersion SET Version = 32"));
    EXPECT_TRUE(RunLadder(db.connectionString()));
    EXPECT_EQ(version(db), QString::number(kDatabaseVersion));
    EXPECT_EQ(db.scalar(column), QStringLiteral("1"));
}

TEST(PatchLadder, DeletingAMinistryTemplateRemovesItsFunctionLinks)
{
    TestDatabase db(CurrentSchemaStage());
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral("INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID) VALUES ('{T1}');"
                           "INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID) VALUES ('{L1}', '{T1}');"
                           "DELETE FROM tblMinistryTemplates"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblLnkMinistryTemplateToMinistryFunction")), QStringLiteral("0"));
}

} // namespace
