// A new database, as the three creation scripts and its creator's rows leave it.
#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

using kestrova::test::TestDatabase;

TEST(NewDatabase, IsAtVersion14WithOneHistoryRow)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    EXPECT_EQ(db.rows(QStringLiteral("SELECT Version FROM tblDBVersion")), QList<QStringList>({{"14"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ID, HistoryStartDate FROM tblHistoryStartDate")),
              QList<QStringList>({{"{B560F2F6-06F1-4233-9644-82857C983CAF}", "1900-01-01 00:00:00"}}));
}

TEST(NewDatabase, HoldsTheSchedulerObjectsThatTheLadderReplacesButNotThoseItAdds)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    const auto names = db.rows(QStringLiteral(
        "SELECT p.proname FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
        "WHERE n.nspname = 'dbo' AND p.prorettype <> 'citext'::regtype AND p.proname NOT LIKE 'citext%' "
        "AND p.proname IN ('sincelast','step4_nw_ordered','step4_weekend_ordered','step3_ordered','numassigned',"
        "'rotationratio','step4','reportdate','reporttime','reportdatetime') ORDER BY 1"));
    EXPECT_EQ(names, QList<QStringList>({{"reportdate"}, {"reportdatetime"}, {"reporttime"}, {"sincelast"},
                                         {"step3_ordered"}, {"step4_nw_ordered"}, {"step4_weekend_ordered"}}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pg_views WHERE schemaname = 'dbo'")), QStringLiteral("0"));
}

TEST(NewDatabase, HoldsOneCalendarRowPerDateFrom2000To2060)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    EXPECT_EQ(db.rows(QStringLiteral("SELECT count(*), count(DISTINCT Date), min(Date)::date, max(Date)::date FROM tblCalenderData")),
              QList<QStringList>({{"22281", "22281", "2000-01-01", "2060-12-31"}}));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT FullName, Year, YearDC, Day_Color FROM tblCalenderData WHERE Date = '2025-04-20'")),
              QList<QStringList>({{"Easter Day", "C", "1", "16777215"}}));
}

TEST(NewDatabase, HoldsTheFixedRowsThatCodeComparesAgainst)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblRuleTypes WHERE PK_RuleTypeID IN ("
                                       "'{AE7ADCC4-541B-497C-BB5B-B0005C51471E}','{D88258F0-95AF-4E8E-B82C-547C1B6235BB}',"
                                       "'{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}','{98A1AD29-3773-40BE-B344-5541FD636256}')")),
              QStringLiteral("4"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(PK_ColorID, ',' ORDER BY PK_ColorID) FROM tblEventColors")),
              QStringLiteral("{00000000-0000-0000-0000-000000000000},{00000000-0000-0000-0000-000000000001},"
                             "{00000000-0000-0000-0000-000000000002},{00000000-0000-0000-0000-000000000003}"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT UserlevelValue FROM tblUserLevels WHERE PK_UserLevelID = '{86A13150-8F61-47CC-9503-A5BFAE09F465}'")),
              QStringLiteral("2147483647"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(ServingFreqencyAsInteger::text, ',' ORDER BY 1) FROM tblServingFrequency")),
              QStringLiteral("1,2,3,4,5"));
}

TEST(NewDatabase, NamesAndTextsMatchWithoutRegardToCase)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    db.exec(QStringLiteral("INSERT INTO tblUnavailiabillity (PK_UnavailiableID, F_ContactID) VALUES ('{1}', '{2}');"
                           "INSERT INTO tblContacts (PK_ContactID, Lastname, city) VALUES ('{2}', 'Smith', 'Oslo')"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM TBLUNAVAILIABILLITY")), QStringLiteral("1"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT LASTNAME FROM tblContacts WHERE LastName = 'SMITH' AND City LIKE 'os%'")),
              QStringLiteral("Smith"));
}

TEST(NewDatabase, PasswordColumnHoldsAHashAndKeepsItsCase)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    const QString hash = QStringLiteral("$argon2id$v=19$m=19456,t=2,p=1$c29tZXNhbHRzb21lc2FsdA$") + QString(43, QLatin1Char('A'));
    db.exec(QStringLiteral("INSERT INTO tblUsers (PK_UserID, LogonPassword) VALUES ('{1}', '%1')").arg(hash));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT LogonPassword FROM tblUsers")), hash);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM tblUsers WHERE LogonPassword = lower('%1')").arg(hash)),
              QStringLiteral("0"));
}

} // namespace
