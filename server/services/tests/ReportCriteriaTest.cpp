// Report criteria and orders as the client host composes them come out as our own SQL with the
// values bound; every other shape is refused.
#include "foundation/QorDateTime.h"
#include "server/services/ClientSqlCondition.h"
#include "server/services/ReportCriteria.h"
#include "server/services/uReportService.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

TDASchemaDataset Dataset(const QStringList &fields)
{
    TDASchemaDataset dataset;
    dataset.Name = QStringLiteral("rptTest");
    for (const QString &name : fields) {
        TDAField field;
        field.Name = name;
        dataset.Fields << field;
    }
    return dataset;
}

const TDASchemaDataset kContacts = Dataset({"Name", "LastName", "FirstName", "TotAdr"});

TReportFilter Build(const QString &criteria, const QString &order = {}, bool likeAsEquality = true)
{
    return ReportCriteria::Build(kContacts, criteria, order, likeAsEquality);
}

} // namespace

TEST(ReportCriteria, APeriodOfTheCalendarBecomesTwoBoundDates)
{
    const TReportFilter f = Build(" tblEvents.StartDateTime >= #03/01/2026# AND tblEvents.StartDateTime < #04/01/2026#");
    EXPECT_FALSE(f.Condition.contains('#'));
    EXPECT_FALSE(f.Condition.contains("2026"));
    EXPECT_TRUE(f.Condition.contains("tblEvents.StartDateTime >= :rpt_c1"));
    EXPECT_TRUE(f.Condition.contains("tblEvents.StartDateTime < :rpt_c2"));
    ASSERT_EQ(f.Values.Count(), 2);
    EXPECT_EQ(f.Values[0].DataType, TDADataType::datDateTime);
    EXPECT_EQ(f.Values[0].Value.toDateTime(), WallClock(QDate(2026, 3, 1), QTime(0, 0)));
    EXPECT_EQ(f.Values[1].Value.toDateTime(), WallClock(QDate(2026, 4, 1), QTime(0, 0)));
    EXPECT_EQ(f.Dates, (QList<QDate>{QDate(2026, 3, 1), QDate(2026, 4, 1)}));
}

TEST(ReportCriteria, TheNotAttendedFilterAndThePeriodPanelAreAccepted)
{
    const TReportFilter f = Build(" tblEvents.StartDateTime >= #3/1/2026# AND tblEvents.StartDateTime < #3/8/2026# AND MemberNotAttended = 1");
    EXPECT_TRUE(f.Condition.contains("tblScheduledMinistryFunctions.MemberNotAttended = :rpt_c3"));
    ASSERT_EQ(f.Values.Count(), 3);
    EXPECT_EQ(f.Values[2].Value.toLongLong(), 1);

    const TReportFilter p = Build("(PK_ContactID='{A}') or (PK_ContactID='{B}') AND  (tblEvents.StartDateTime >= #1/1/2026# AND "
                                  "tblEvents.StartDateTime < #2/1/2026#)");
    EXPECT_EQ(p.Values.Count(), 4);
    EXPECT_EQ(p.Dates.size(), 2);
}

TEST(ReportCriteria, SelectionsOfContactsFamiliesAndGroupsBindTheirKeys)
{
    const TReportFilter f = Build("(PK_FamilyID='{F1}') or (PK_FamilyID='{F''2}')");
    ASSERT_EQ(f.Values.Count(), 2);
    EXPECT_EQ(f.Values[0].Value.toString(), "{F1}");
    EXPECT_EQ(f.Values[1].Value.toString(), "{F'2}");
    EXPECT_FALSE(f.Condition.contains("{F"));

    const TReportFilter all = Build(" NOT PK_FamilyID IS NULL");
    EXPECT_TRUE(all.Condition.contains("NOT"));
    EXPECT_TRUE(all.Condition.contains("PK_FamilyID IS NULL"));
    EXPECT_EQ(all.Values.Count(), 0);
}

TEST(ReportCriteria, LikeBecomesEqualityOnlyWhenAsked)
{
    EXPECT_TRUE(Build("(PK_ContactID LIKE '{A}')", {}, true).Condition.contains("PK_ContactID = :rpt_c1"));
    EXPECT_TRUE(Build("(PK_ContactID LIKE '{A}')", {}, false).Condition.contains("LIKE"));
    EXPECT_TRUE(Build(" theID LIKE '{G}'").Condition.contains("theID = :rpt_c1"));
}

TEST(ReportCriteria, TheGroupsViewsWhereClausesAreAccepted)
{
    const TReportFilter liturgy = Build(" tblServingPrefrenceLiturgy.F_LiturgyTemplateID LIKE '{L}' OR ( tblServingPrefrenceLiturgy.F_LiturgyTemplateID LIKE NULL)");
    EXPECT_EQ(liturgy.Condition, "((tblServingPrefrenceLiturgy.F_LiturgyTemplateID = :rpt_c1) OR "
                                 "(tblServingPrefrenceLiturgy.F_LiturgyTemplateID IS NULL))");
    ASSERT_EQ(liturgy.Values.Count(), 1);
    EXPECT_EQ(liturgy.Values[0].Value.toString(), "{L}");

    const TReportFilter both = Build("( tblServingPrefrenceLiturgy.F_LiturgyTemplateID='{L}' OR ( tblServingPrefrenceLiturgy.F_LiturgyTemplateID LIKE NULL)) AND  "
                                     "tblLnkServingPrefrence.F_MinistryFunctionID = '{F}'");
    EXPECT_EQ(both.Condition, "(((tblServingPrefrenceLiturgy.F_LiturgyTemplateID = :rpt_c1) OR "
                              "(tblServingPrefrenceLiturgy.F_LiturgyTemplateID IS NULL)) AND "
                              "(tblLnkServingPrefrence.F_MinistryFunctionID = :rpt_c2))");
    ASSERT_EQ(both.Values.Count(), 2);
    EXPECT_EQ(both.Values[1].Value.toString(), "{F}");

    const TReportFilter anyLiturgy = Build("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy) AND  "
                                           "F_MinistryFunctionID = '{F}'");
    EXPECT_TRUE(anyLiturgy.Condition.contains("SELECT F_ContactID FROM tblServingPrefrenceLiturgy"));
    EXPECT_TRUE(anyLiturgy.Condition.contains("tblLnkServingPrefrence.F_MinistryFunctionID = :rpt_c1"));

    const TReportFilter fillIn = Build(" (tblLnkServingPrefrence.ContactCanFillIn=1)");
    EXPECT_EQ(fillIn.Condition, "(tblLnkServingPrefrence.ContactCanFillIn = :rpt_c1)");
    ASSERT_EQ(fillIn.Values.Count(), 1);
    EXPECT_EQ(fillIn.Values[0].Value.toInt(), 1);
}

TEST(ReportCriteria, EmptyCriteriaAndOrderGiveNothingToAppend)
{
    const TReportFilter f = Build("  ", "");
    EXPECT_TRUE(f.Condition.isEmpty());
    EXPECT_TRUE(f.OrderBy.isEmpty());
    EXPECT_EQ(f.Values.Count(), 0);
}

TEST(ReportCriteria, HostileCriteriaAreRefused)
{
    for (const char *text : {"1=1", "PK_ContactID = '{A}'; DROP TABLE tblContacts", "LogonPassword LIKE 'a%'",
                             "PK_ContactID = '{A}' UNION SELECT LogonPassword FROM tblUsers",
                             "where PK_ContactID = '{A}'", "PK_ContactID = (SELECT 1)", "PK_ContactID = '{A}' -- x",
                             "PK_ContactID = pg_sleep(10)", "tblEvents.StartDateTime >= #13/45/2026#"})
        EXPECT_THROW(Build(QString::fromUtf8(text)), EClientSqlCondition) << text;
}

TEST(ReportOrder, ColumnsOfTheDatasetAndKnownSortsAreAccepted)
{
    EXPECT_EQ(Build({}, "LastName, FirstName").OrderBy, "LastName, FirstName");
    EXPECT_EQ(Build({}, "Name DESC").OrderBy, "Name DESC");
    EXPECT_EQ(Build({}, "Name, CAST(tblEvents.StartDateTime AS DateTime), LastName").OrderBy,
              "Name, tblEvents.StartDateTime, LastName");
    const QString label = Build({}, "CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE Upper(FamilyName) END").OrderBy;
    EXPECT_TRUE(label.contains("||"));
    EXPECT_FALSE(label.contains('+'));
}

TEST(ReportOrder, AnythingElseIsRefused)
{
    for (const char *text : {"MiddleName", "Name; DROP TABLE tblContacts", "1", "(SELECT 1)", "Name, LogonPassword",
                             "UPPER(Name)"})
        EXPECT_THROW(Build({}, QString::fromUtf8(text)), EClientSqlCondition) << text;
}

TEST(OrdinalText, NamesTheFirstFiveWeekendsAndLeavesOtherTextsAlone)
{
    EXPECT_EQ(TReportService::OrdinalText("1"), "1st");
    EXPECT_EQ(TReportService::OrdinalText("2"), "2nd");
    EXPECT_EQ(TReportService::OrdinalText("3"), "3rd");
    EXPECT_EQ(TReportService::OrdinalText("4"), "4th");
    EXPECT_EQ(TReportService::OrdinalText("5"), "5th");
    EXPECT_EQ(TReportService::OrdinalText("6"), "6");
    EXPECT_EQ(TReportService::OrdinalText(""), "");
}
