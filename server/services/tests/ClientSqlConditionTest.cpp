// The reader of client-composed SQL fragments: which shapes it accepts, the terms and bound
// values it makes of them, and what it refuses.
#include "server/services/ClientSqlCondition.h"

#include "testsupport/QtPrinters.h"

#include <QDate>

#include <gtest/gtest.h>

namespace {

const QString kG1 = QStringLiteral("{6A1B0C2D-0000-4000-8000-000000000001}");
const QString kG2 = QStringLiteral("{6A1B0C2D-0000-4000-8000-000000000002}");
const QString kC1 = QStringLiteral("{C0000000-0000-4000-8000-000000000001}");
const QString kSubSelect = QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblServingPrefrenceLiturgy)");

QString Q(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

TClientSqlVocabulary GroupsVocabulary()
{
    TClientSqlVocabulary vocabulary;
    vocabulary.AddColumn(QStringLiteral("tblLnkServingPrefrence.F_MinistryFunctionID"), QStringLiteral("p.F_MinistryFunctionID"))
        .AddColumn(QStringLiteral("F_MinistryFunctionID"), QStringLiteral("p.F_MinistryFunctionID"))
        .AddColumn(QStringLiteral("tblServingPrefrenceLiturgy.F_LiturgyTemplateID"), QStringLiteral("l.F_LiturgyTemplateID"))
        .AddColumn(QStringLiteral("tblGroups.PK_GroupID"), QStringLiteral("g.PK_GroupID"))
        .AddColumn(QStringLiteral("F_GroupID"), QStringLiteral("F_GroupID"))
        .AddColumn(QStringLiteral("F_MemberID"), QStringLiteral("F_MemberID"))
        .AddFixedText(kSubSelect, QStringLiteral("p.F_ContactID NOT IN (SELECT F_ContactID FROM tblServingPrefrenceLiturgy WHERE F_ContactID IS NOT NULL)"));
    return vocabulary;
}

TClientSqlVocabulary ReportVocabulary()
{
    TClientSqlVocabulary vocabulary;
    vocabulary.AddColumn(QStringLiteral("theID"), QStringLiteral("r.theID"))
        .AddColumn(QStringLiteral("PK_ContactID"), QStringLiteral("r.PK_ContactID"))
        .AddColumn(QStringLiteral("PK_FamilyID"), QStringLiteral("r.PK_FamilyID"))
        .AddColumn(QStringLiteral("tblEvents.StartDateTime"), QStringLiteral("r.StartDateTime"))
        .AddColumn(QStringLiteral("MemberNotAttended"), QStringLiteral("r.MemberNotAttended"))
        .AddColumn(QStringLiteral("tblLnkServingPrefrence.ContactCanFillIn"), QStringLiteral("r.ContactCanFillIn"))
        .AddColumn(QStringLiteral("F_MinistryFunctionID"), QStringLiteral("r.F_MinistryFunctionID"))
        .AddFixedText(kSubSelect, QStringLiteral("r.NoLiturgy = 1"));
    return vocabulary;
}

TClientSqlText Build(const QString &text, const TClientSqlVocabulary &vocabulary, bool likeAsEquality = false)
{
    TClientSqlBuildOptions options;
    options.LikeAsEquality = likeAsEquality;
    return TClientSqlCondition::Parse(text, vocabulary).BuildSQL(options);
}

QVariantList Values(const TClientSqlText &text)
{
    QVariantList values;
    for (const TClientSqlParam &param : text.Params)
        values << param.Value;
    return values;
}

void ExpectRefused(const QString &text, const TClientSqlVocabulary &vocabulary, const char *reason)
{
    try {
        TClientSqlCondition::Parse(text, vocabulary);
        ADD_FAILURE() << "accepted: " << text.toStdString();
    } catch (const EClientSqlCondition &e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String(reason), Qt::CaseInsensitive))
            << e.Message().toStdString() << " lacks " << reason;
    }
}

} // namespace

// ---- the groups view's where-clauses -------------------------------------------------------

TEST(ClientSqlGroupsShapes, AFunctionNodeWithItsChildrenBecomesAnOrOfBoundEqualities)
{
    const QString col = QStringLiteral(" tblLnkServingPrefrence.F_MinistryFunctionID");
    const TClientSqlText sql = Build(col + "=" + Q(kG1) + " OR (" + col + "=" + Q(kG2) + ")", GroupsVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("(p.F_MinistryFunctionID IN (:cc1, :cc2))"));
    EXPECT_EQ(Values(sql), (QVariantList{kG1, kG2}));
}

TEST(ClientSqlGroupsShapes, ALiturgyNodeKeepsItsNullPreferencesThroughLikeNull)
{
    const QString col = QStringLiteral(" tblServingPrefrenceLiturgy.F_LiturgyTemplateID");
    const QString text = col + " LIKE " + Q(kG1) + " OR (" + col + "=" + Q(kG2) + ") OR (" + col + " LIKE NULL)";
    const TClientSqlCondition condition = TClientSqlCondition::Parse(text, GroupsVocabulary());
    const QList<TClientSqlTerm> terms = condition.Terms();
    ASSERT_EQ(terms.size(), 3);
    EXPECT_EQ(terms[0].Operator, TClientSqlOperator::Like);
    EXPECT_EQ(terms[1].Operator, TClientSqlOperator::Equal);
    EXPECT_EQ(terms[2].Operator, TClientSqlOperator::IsNull);
    EXPECT_TRUE(terms[2].Value.isNull());
    TClientSqlBuildOptions equality;
    equality.LikeAsEquality = true;
    EXPECT_EQ(condition.BuildSQL(equality).SQL,
              QStringLiteral("((l.F_LiturgyTemplateID IN (:cc1, :cc2)) OR (l.F_LiturgyTemplateID IS NULL))"));
    EXPECT_EQ(condition.BuildSQL().SQL,
              QStringLiteral("((l.F_LiturgyTemplateID LIKE :cc1) OR (l.F_LiturgyTemplateID = :cc2) OR (l.F_LiturgyTemplateID IS NULL))"));
}

TEST(ClientSqlGroupsShapes, AFunctionUnderALiturgyNestsTheOrInsideTheAnd)
{
    const QString col = QStringLiteral(" tblServingPrefrenceLiturgy.F_LiturgyTemplateID");
    const QString text = "(" + col + "=" + Q(kG1) + " OR (" + col + " LIKE NULL)) AND  tblLnkServingPrefrence.F_MinistryFunctionID = " + Q(kG2);
    const TClientSqlCondition condition = TClientSqlCondition::Parse(text, GroupsVocabulary());
    ASSERT_FALSE(condition.IsEmpty());
    EXPECT_EQ(condition.Root().NodeKind, TClientSqlNode::Kind::And);
    ASSERT_EQ(condition.Root().Children.size(), 2);
    EXPECT_EQ(condition.Root().Children[0].NodeKind, TClientSqlNode::Kind::Or);
    const TClientSqlText sql = condition.BuildSQL();
    EXPECT_EQ(sql.SQL, QStringLiteral("(((l.F_LiturgyTemplateID = :cc1) OR (l.F_LiturgyTemplateID IS NULL)) AND (p.F_MinistryFunctionID = :cc2))"));
    EXPECT_EQ(Values(sql), (QVariantList{kG1, kG2}));
}

TEST(ClientSqlGroupsShapes, TheAnyLiturgyNodesSubSelectIsTakenAsTheCallersFixedText)
{
    const TClientSqlText sql = Build(kSubSelect + " AND  F_MinistryFunctionID = " + Q(kG1), GroupsVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((p.F_ContactID NOT IN (SELECT F_ContactID FROM tblServingPrefrenceLiturgy WHERE F_ContactID IS NOT NULL)) AND (p.F_MinistryFunctionID = :cc1))"));
    EXPECT_EQ(Values(sql), QVariantList{kG1});
}

TEST(ClientSqlGroupsShapes, TheFixedTextMatchesWithOtherCaseAndBlanks)
{
    const QString respelled = QStringLiteral("TBLLNKSERVINGPREFRENCE.F_CONTACTID not in (SELECT f_contactid   FROM tblservingprefrenceliturgy )");
    EXPECT_EQ(TClientSqlCondition::Parse(respelled, GroupsVocabulary()).Root().NodeKind, TClientSqlNode::Kind::Fixed);
}

TEST(ClientSqlGroupsShapes, RemovingMembersParsesTheGroupListAndTheMember)
{
    const QString text = "(( F_GroupID=" + Q(kG1) + ") OR ( F_GroupID=" + Q(kG2) + ")) AND (F_MemberID=" + Q(kC1) + ")";
    const TClientSqlText sql = Build(text, GroupsVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((F_GroupID IN (:cc1, :cc2)) AND (F_MemberID = :cc3))"));
    EXPECT_EQ(Values(sql), (QVariantList{kG1, kG2, kC1}));
}

TEST(ClientSqlGroupsShapes, ColumnsMatchWithoutRegardToCase)
{
    const QList<TClientSqlTerm> terms = TClientSqlCondition::Parse(QStringLiteral("TBLGROUPS.pk_groupid='x'"), GroupsVocabulary()).Terms();
    ASSERT_EQ(terms.size(), 1);
    EXPECT_EQ(terms[0].Column, QStringLiteral("TBLGROUPS.pk_groupid"));
    EXPECT_EQ(terms[0].Expression, QStringLiteral("g.PK_GroupID"));
}

TEST(ClientSqlGroupsShapes, AnEmptyOrBlankClauseIsAnEmptyCondition)
{
    EXPECT_TRUE(TClientSqlCondition::Parse(QString(), GroupsVocabulary()).IsEmpty());
    EXPECT_TRUE(TClientSqlCondition::Parse(QStringLiteral("  \r\n\t "), GroupsVocabulary()).IsEmpty());
    EXPECT_TRUE(TClientSqlCondition::Parse(QStringLiteral(" "), GroupsVocabulary()).BuildSQL().SQL.isEmpty());
}

TEST(ClientSqlGroupsShapes, QuotesInsideALiteralAreOneBoundCharacter)
{
    const TClientSqlText sql = Build(QStringLiteral("F_GroupID='O''Brien; DROP TABLE x --'"), GroupsVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("(F_GroupID = :cc1)"));
    EXPECT_EQ(Values(sql), QVariantList{QStringLiteral("O'Brien; DROP TABLE x --")});
}

// ---- the report criteria ---------------------------------------------------------------------

TEST(ClientSqlReportShapes, GroupCriteriaRewrittenToTheIDKeepLikeAndLikeNull)
{
    const QString text = "( theID LIKE " + Q(kG1) + " OR ( theID LIKE NULL)) AND  theID  LIKE  " + Q(kG2);
    const TClientSqlText sql = Build(text, ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("(((r.theID LIKE :cc1) OR (r.theID IS NULL)) AND (r.theID LIKE :cc2))"));
    EXPECT_EQ(Values(sql), (QVariantList{kG1, kG2}));
}

TEST(ClientSqlReportShapes, TheSelectionListJoinsTermsWithLowerCaseOr)
{
    const TClientSqlText sql = Build("(PK_ContactID LIKE " + Q(kC1) + ") or (PK_ContactID LIKE " + Q(kG1) + ")", ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((r.PK_ContactID LIKE :cc1) OR (r.PK_ContactID LIKE :cc2))"));
}

TEST(ClientSqlReportShapes, CalendarPeriodDatesBecomeBoundDates)
{
    const QString text = QStringLiteral(" tblEvents.StartDateTime >= #03/05/2007# AND tblEvents.StartDateTime < #4/6/2007# AND MemberNotAttended = 1");
    const TClientSqlText sql = Build(text, ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((r.StartDateTime >= :cc1) AND (r.StartDateTime < :cc2) AND (r.MemberNotAttended = :cc3))"));
    EXPECT_EQ(Values(sql), (QVariantList{QDate(2007, 3, 5), QDate(2007, 4, 6), qlonglong(1)}));
}

TEST(ClientSqlReportShapes, AllFamiliesIsANegatedNullTest)
{
    const TClientSqlCondition condition = TClientSqlCondition::Parse(QStringLiteral(" NOT PK_FamilyID IS NULL"), ReportVocabulary());
    EXPECT_EQ(condition.Root().NodeKind, TClientSqlNode::Kind::Not);
    EXPECT_EQ(condition.BuildSQL().SQL, QStringLiteral("(NOT (r.PK_FamilyID IS NULL))"));
    EXPECT_TRUE(condition.BuildSQL().Params.isEmpty());
    EXPECT_EQ(Build(QStringLiteral("PK_FamilyID IS NOT NULL"), ReportVocabulary()).SQL, QStringLiteral("(r.PK_FamilyID IS NOT NULL)"));
}

TEST(ClientSqlReportShapes, ASelectionWithAnExtraPeriod)
{
    const QString text = "(PK_FamilyID LIKE " + Q(kG1) + ") AND  (tblEvents.StartDateTime >= #1/5/2007# AND tblEvents.StartDateTime < #2/1/2007#)";
    const TClientSqlText sql = Build(text, ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((r.PK_FamilyID LIKE :cc1) AND ((r.StartDateTime >= :cc2) AND (r.StartDateTime < :cc3)))"));
}

TEST(ClientSqlReportShapes, TheCanFillInEntryComparesWithAWholeNumber)
{
    const TClientSqlText sql = Build(QStringLiteral(" (tblLnkServingPrefrence.ContactCanFillIn=1)"), ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("(r.ContactCanFillIn = :cc1)"));
    EXPECT_EQ(Values(sql), QVariantList{qlonglong(1)});
}

TEST(ClientSqlReportShapes, TheAnyLiturgyCriteriaRewrittenForReports)
{
    const TClientSqlText sql = Build(kSubSelect + " AND  F_MinistryFunctionID  LIKE  " + Q(kG1), ReportVocabulary());
    EXPECT_EQ(sql.SQL, QStringLiteral("((r.NoLiturgy = 1) AND (r.F_MinistryFunctionID LIKE :cc1))"));
}

TEST(ClientSqlReportShapes, TheParameterPrefixIsTheCallers)
{
    TClientSqlBuildOptions options;
    options.ParamPrefix = QStringLiteral("crit");
    const TClientSqlText sql = TClientSqlCondition::Parse(QStringLiteral("theID LIKE 'a' OR theID LIKE 'b'"), ReportVocabulary()).BuildSQL(options);
    EXPECT_EQ(sql.SQL, QStringLiteral("((r.theID LIKE :crit1) OR (r.theID LIKE :crit2))"));
    ASSERT_EQ(sql.Params.size(), 2);
    EXPECT_EQ(sql.Params[1].Name, QStringLiteral("crit2"));
}

// Equalities on one column joined by OR are written as one IN list of bound values, which the
// database plans at a fraction of the cost of as many ORs.
TEST(ClientSqlReportShapes, EqualitiesOnOneColumnJoinedByOrBecomeOneBoundInList)
{
    QString many;
    QVariantList manyValues;
    QStringList manyMarkers;
    for (int i = 1; i <= ClientSqlLimits::kMaxTerms; ++i) {
        many += (i > 1 ? QStringLiteral(" OR theID = ") : QStringLiteral("theID = ")) + Q(QString::number(i));
        manyValues << QString::number(i);
        manyMarkers << QStringLiteral(":cc%1").arg(i);
    }
    const struct
    {
        QString text;
        bool likeAsEquality;
        QString sql;
        QVariantList values;
    } cases[] = {
        {"theID = 'a' OR theID = 'b' OR theID = 'c'", false, "(r.theID IN (:cc1, :cc2, :cc3))", {"a", "b", "c"}},
        {many, false, "(r.theID IN (" + manyMarkers.join(", ") + "))", manyValues},
        // Each list in the place of its first term; other terms keep theirs.
        {"theID = 'a' OR PK_ContactID = 'x' OR theID = 'b' OR theID IS NULL", false,
         "((r.theID IN (:cc1, :cc2)) OR (r.PK_ContactID = :cc3) OR (r.theID IS NULL))", {"a", "b", "x"}},
        {"(theID = 'a' OR theID = 'b') OR (theID = 'c')", false, "(r.theID IN (:cc1, :cc2, :cc3))", {"a", "b", "c"}},
        // A number and a text do not share a list.
        {"theID = 'a' OR theID = 5 OR theID = 'b'", false, "((r.theID IN (:cc1, :cc2)) OR (r.theID = :cc3))", {"a", "b", qlonglong(5)}},
        {"PK_ContactID LIKE 'a' OR PK_ContactID LIKE 'b'", true, "(r.PK_ContactID IN (:cc1, :cc2))", {"a", "b"}},
        {"PK_ContactID LIKE 'a' OR PK_ContactID LIKE 'b'", false, "((r.PK_ContactID LIKE :cc1) OR (r.PK_ContactID LIKE :cc2))", {"a", "b"}},
        {"theID = 'a' AND theID = 'b'", false, "((r.theID = :cc1) AND (r.theID = :cc2))", {"a", "b"}},
        {"theID <> 'a' OR theID <> 'b'", false, "((r.theID <> :cc1) OR (r.theID <> :cc2))", {"a", "b"}},
        {"NOT (theID = 'a' OR theID = 'b') AND MemberNotAttended = 1", false, "((NOT (r.theID IN (:cc1, :cc2))) AND (r.MemberNotAttended = :cc3))",
         {"a", "b", qlonglong(1)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.left(80).toStdString());
        const TClientSqlText sql = Build(c.text, ReportVocabulary(), c.likeAsEquality);
        EXPECT_EQ(sql.SQL, c.sql);
        EXPECT_EQ(Values(sql), c.values);
    }
}

// ---- sort orders -------------------------------------------------------------------------------

TEST(ClientSqlOrderBy, AListOfKnownColumnsWithDirections)
{
    TClientSqlVocabulary vocabulary;
    vocabulary.AddColumn(QStringLiteral("LastName"), QStringLiteral("c.LastName")).AddColumn(QStringLiteral("FirstName"), QStringLiteral("c.FirstName"));
    const TClientSqlOrderBy order = TClientSqlOrderBy::Parse(QStringLiteral("lastname DESC, FirstName asc"), vocabulary);
    ASSERT_EQ(order.Items().size(), 2);
    EXPECT_TRUE(order.Items()[0].Descending);
    EXPECT_FALSE(order.Items()[1].Descending);
    EXPECT_EQ(order.BuildSQL(), QStringLiteral("c.LastName DESC, c.FirstName"));
    EXPECT_TRUE(TClientSqlOrderBy::Parse(QStringLiteral("  "), vocabulary).IsEmpty());
}

TEST(ClientSqlOrderBy, AKnownSortExpressionIsAFixedText)
{
    TClientSqlVocabulary vocabulary;
    vocabulary.AddFixedText(QStringLiteral("CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE Upper(FamilyName) END"),
                            QStringLiteral("upper(coalesce(FamilyName, LastName || ' ' || FirstName))"));
    const TClientSqlOrderBy order = TClientSqlOrderBy::Parse(
        QStringLiteral("CASE WHEN FamilyName IS NULL THEN UPPER(LastName) + ' ' + Upper(FirstName) ELSE Upper(FamilyName) END"), vocabulary);
    EXPECT_EQ(order.BuildSQL(), QStringLiteral("upper(coalesce(FamilyName, LastName || ' ' || FirstName))"));
}

TEST(ClientSqlOrderBy, UnknownColumnsFunctionsAndTrailingTextAreRefused)
{
    TClientSqlVocabulary vocabulary;
    vocabulary.AddColumn(QStringLiteral("LastName"), QStringLiteral("LastName"));
    for (const char *text : {"FirstName", "lower(LastName)", "LastName; DELETE FROM tblContacts", "LastName,", "LastName DESC DESC",
                             "1", "LastName, (SELECT 1)", "LastName -- x"}) {
        EXPECT_THROW(TClientSqlOrderBy::Parse(QString::fromLatin1(text), vocabulary), EClientSqlCondition) << text;
    }
}

// ---- the search dialog's queries --------------------------------------------------------------

class ClientSqlSearchQuery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TClientSqlQueryShape contacts;
        contacts.Select = QStringLiteral(
            "SELECT DISTINCT tblContacts.PK_ContactID, Firstname +' '+Lastname AS Name, tblContacts.FirstName, tblContacts.LastName, "
            "FlagContact  FROM tblLnkServingPrefrence RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = tblContacts.PK_ContactID WHERE ");
        contacts.Condition.AddColumn(QStringLiteral("Lastname"), QStringLiteral("c.LastName"))
            .AddColumn(QStringLiteral("Firstname"), QStringLiteral("c.FirstName"))
            .AddColumn(QStringLiteral("F_MinistryFunctionID"), QStringLiteral("p.F_MinistryFunctionID"));
        TClientSqlQueryShape families;
        families.Select = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE ");
        families.Condition.AddColumn(QStringLiteral("Familyname"), QStringLiteral("FamilyName"));
        families.Order.AddColumn(QStringLiteral("FamilyName"), QStringLiteral("FamilyName"));
        shapes << contacts << families;
    }

    QString select(int shape) const { return shapes[shape].Select; }

    QList<TClientSqlQueryShape> shapes;
};

TEST_F(ClientSqlSearchQuery, AContactSearchWithTwoFunctions)
{
    const QString text = select(0) + "Lastname LIKE 'Ab%' AND ((F_MinistryFunctionID='f1') OR (F_MinistryFunctionID='f2'))";
    const TClientSqlQuery query = TClientSqlQuery::Parse(text, shapes);
    EXPECT_EQ(query.ShapeIndex, 0);
    EXPECT_TRUE(query.OrderBy.IsEmpty());
    const TClientSqlText sql = query.Where.BuildSQL();
    EXPECT_EQ(sql.SQL, QStringLiteral("((c.LastName LIKE :cc1) AND (p.F_MinistryFunctionID IN (:cc2, :cc3)))"));
    EXPECT_EQ(Values(sql), (QVariantList{QStringLiteral("Ab%"), QStringLiteral("f1"), QStringLiteral("f2")}));
}

TEST_F(ClientSqlSearchQuery, AFamilySearchKeepsItsSortOrder)
{
    const TClientSqlQuery query = TClientSqlQuery::Parse(select(1) + "Familyname LIKE 'Sm%' ORDER BY FamilyName", shapes);
    EXPECT_EQ(query.ShapeIndex, 1);
    EXPECT_EQ(query.OrderBy.BuildSQL(), QStringLiteral("FamilyName"));
    EXPECT_EQ(query.Where.BuildSQL().SQL, QStringLiteral("(FamilyName LIKE :cc1)"));
}

TEST_F(ClientSqlSearchQuery, TheKnownTextMatchesWithOtherCaseAndBlankRuns)
{
    const QString text = QStringLiteral("select distinct   PK_FamilyID,  FamilyName\r\nFROM tblFamilies where Familyname LIKE 'x%'");
    EXPECT_EQ(TClientSqlQuery::Parse(text, shapes).ShapeIndex, 1);
}

TEST_F(ClientSqlSearchQuery, EachQueryNamesOnlyItsOwnColumns)
{
    EXPECT_THROW(TClientSqlQuery::Parse(select(1) + "Lastname LIKE 'a%'", shapes), EClientSqlCondition);
    EXPECT_THROW(TClientSqlQuery::Parse(select(0) + "Lastname LIKE 'a%' ORDER BY FamilyName", shapes), EClientSqlCondition);
}

TEST_F(ClientSqlSearchQuery, OtherQueriesAreRefused)
{
    for (const QString &text : {
             QStringLiteral("SELECT * FROM tblUsers WHERE Familyname LIKE 'a%'"),
             QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamiliesX WHERE Familyname LIKE 'a%'"),
             QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHEREFamilyname LIKE 'a%'"),
             select(1),
             select(1) + "Familyname LIKE 'a%' UNION SELECT LogonPassword, LogonUsername FROM tblUsers",
             select(1) + "Familyname LIKE 'a%'; DELETE FROM tblContacts",
             select(1) + "Familyname LIKE 'a%' ORDER BY",
             select(1) + "Familyname LIKE 'a%' ORDER BY LogonPassword",
             select(1) + "1=1",
         }) {
        EXPECT_THROW(TClientSqlQuery::Parse(text, shapes), EClientSqlCondition) << text.toStdString();
    }
}

// ---- refusals ----------------------------------------------------------------------------------

TEST(ClientSqlRefusals, ATautologyIsRefusedForWantOfAColumn)
{
    ExpectRefused(QStringLiteral("1=1"), GroupsVocabulary(), "a column");
    ExpectRefused(QStringLiteral("F_GroupID='a' OR 1=1"), GroupsVocabulary(), "a column");
    ExpectRefused(QStringLiteral("'a'='a'"), GroupsVocabulary(), "a column");
}

TEST(ClientSqlRefusals, AStrayQuoteIsRefused)
{
    ExpectRefused(QStringLiteral("F_GroupID='a"), GroupsVocabulary(), "quote is not closed");
    ExpectRefused(QStringLiteral("F_GroupID='a'' OR F_MemberID=''b"), GroupsVocabulary(), "quote is not closed");
    ExpectRefused(QStringLiteral("F_GroupID=\"a\""), GroupsVocabulary(), "character");
}

TEST(ClientSqlRefusals, ASecondStatementIsRefused)
{
    ExpectRefused(QStringLiteral("F_GroupID='a'; DELETE FROM tblContacts"), GroupsVocabulary(), "second statement");
}

TEST(ClientSqlRefusals, CommentsAreRefused)
{
    ExpectRefused(QStringLiteral("F_GroupID='a' -- rest"), GroupsVocabulary(), "comments");
    ExpectRefused(QStringLiteral("F_GroupID='a' /* x */"), GroupsVocabulary(), "comments");
}

TEST(ClientSqlRefusals, SubSelectsOtherThanTheCallersFixedTextAreRefused)
{
    ExpectRefused(QStringLiteral("F_GroupID = (SELECT PK_GroupID FROM tblGroups)"), GroupsVocabulary(), "sub-selects");
    ExpectRefused(QStringLiteral("F_GroupID IN (SELECT PK_GroupID FROM tblGroups)"), GroupsVocabulary(), "comparison");
    ExpectRefused(QStringLiteral("tblLnkServingPrefrence.F_ContactID NOT IN ( select F_ContactID from tblContacts)"), GroupsVocabulary(), "not known");
    ExpectRefused(QStringLiteral("EXISTS (SELECT 1)"), GroupsVocabulary(), "a column");
}

TEST(ClientSqlRefusals, FunctionsAndUnknownColumnsAreRefused)
{
    ExpectRefused(QStringLiteral("upper(F_GroupID)='A'"), GroupsVocabulary(), "functions");
    ExpectRefused(QStringLiteral("LogonPassword='x'"), GroupsVocabulary(), "LogonPassword");
    ExpectRefused(QStringLiteral("F_GroupID=F_MemberID"), GroupsVocabulary(), "expected");
}

TEST(ClientSqlRefusals, ComparingWithNullNeedsIsNull)
{
    ExpectRefused(QStringLiteral("F_GroupID = NULL"), GroupsVocabulary(), "IS NULL");
    ExpectRefused(QStringLiteral("F_GroupID LIKE 5"), GroupsVocabulary(), "pattern");
}

TEST(ClientSqlRefusals, IncompleteOrUnbalancedTextIsRefused)
{
    for (const char *text : {"F_GroupID='a' OR", "(F_GroupID='a'", "F_GroupID='a')", "()", "F_GroupID", "F_GroupID IS", "F_GroupID IS NOT 'a'",
                             "NOT", "F_GroupID='a' F_MemberID='b'", "F_GroupID='a' AND AND F_MemberID='b'", "F_GroupID = 1.5",
                             "F_GroupID = -1", "F_GroupID + 1 = 2", "F_GroupID = 'a' || 'b'"}) {
        EXPECT_THROW(TClientSqlCondition::Parse(QString::fromLatin1(text), GroupsVocabulary()), EClientSqlCondition) << text;
    }
}

TEST(ClientSqlRefusals, BadDatesAreRefused)
{
    for (const char *text : {"tblEvents.StartDateTime >= #13/40/2007#", "tblEvents.StartDateTime >= #2/30/2007#",
                             "tblEvents.StartDateTime >= #2007-01-01#", "tblEvents.StartDateTime >= #1/1/07#",
                             "tblEvents.StartDateTime >= #1/1/2007"}) {
        EXPECT_THROW(TClientSqlCondition::Parse(QString::fromLatin1(text), ReportVocabulary()), EClientSqlCondition) << text;
    }
}

TEST(ClientSqlRefusals, ControlCharactersAreRefusedEvenInsideLiterals)
{
    ExpectRefused(QStringLiteral("F_GroupID='a") + QChar(0) + QStringLiteral("b'"), GroupsVocabulary(), "control character");
    ExpectRefused(QStringLiteral("F_GroupID='a'") + QChar(0x1b), GroupsVocabulary(), "\\x1b");
}

TEST(ClientSqlRefusals, TheLimitsHoldAgainstHugeOrDeepTexts)
{
    const QString deep = QString(ClientSqlLimits::kMaxNesting + 1, QLatin1Char('(')) + QStringLiteral("F_GroupID='a'") +
                         QString(ClientSqlLimits::kMaxNesting + 1, QLatin1Char(')'));
    ExpectRefused(deep, GroupsVocabulary(), "nested");
    const QString nots = QStringLiteral("NOT ").repeated(ClientSqlLimits::kMaxNesting + 1) + QStringLiteral("F_GroupID='a'");
    ExpectRefused(nots, GroupsVocabulary(), "nested");
    ExpectRefused(QString(ClientSqlLimits::kMaxTextLength + 1, QLatin1Char(' ')), GroupsVocabulary(), "longer");
    QStringList many;
    for (int i = 0; i <= ClientSqlLimits::kMaxTerms; ++i)
        many << QStringLiteral("F_GroupID='a'");
    ExpectRefused(many.join(QStringLiteral(" OR ")), GroupsVocabulary(), "terms");
    ExpectRefused(QStringLiteral("F_GroupID=") + QString(ClientSqlLimits::kMaxIntegerDigits + 1, QLatin1Char('9')), GroupsVocabulary(), "too long");
}

TEST(ClientSqlRefusals, TheMessageNamesThePlaceAndShortensLongNames)
{
    try {
        TClientSqlCondition::Parse(QStringLiteral("F_GroupID='a' OR ") + QString(500, QLatin1Char('x')) + QStringLiteral("='b'"), GroupsVocabulary());
        FAIL() << "accepted";
    } catch (const EClientSqlCondition &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("at character 18"))) << e.Message().toStdString();
        EXPECT_LT(e.Message().size(), 200);
    }
}

TEST(ClientSqlRefusals, AFixedTextTheCallerCannotReadIsRefusedAtOnce)
{
    TClientSqlVocabulary vocabulary;
    EXPECT_THROW(vocabulary.AddFixedText(QStringLiteral("a; b"), QStringLiteral("x")), EClientSqlCondition);
    EXPECT_THROW(vocabulary.AddFixedText(QStringLiteral("  "), QStringLiteral("x")), EClientSqlCondition);
}
