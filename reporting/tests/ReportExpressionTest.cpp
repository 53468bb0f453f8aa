// The template expressions: what each kind of term gives, over which rows counts and sums
// run, and the faults a template author is told about.
#include "reporting/ReportError.h"
#include "reporting/ReportExpression.h"
#include "reporting/tests/ReportTestData.h"

#include <gtest/gtest.h>

using kestrova::test::Table;

namespace {

const TDATableData kPeople = Table(QStringLiteral("people"), {QStringLiteral("Name"), QStringLiteral("Line"), QStringLiteral("Count"), QStringLiteral("Born")},
                                   {{QStringLiteral("Adams"), QStringLiteral("2026-03-08 10:00"), 2, QDateTime(QDate(1970, 3, 4), QTime(0, 0))},
                                    {QStringLiteral("Baker"), QStringLiteral("Not scheduled within defined period"), 3,
                                     QDateTime(QDate(1981, 12, 24), QTime(18, 30))},
                                    {QStringLiteral("O'Neil"), QVariant(), QVariant(), QVariant()}});

ReportContext Context(int row)
{
    ReportContext context;
    context.Data = &kPeople;
    context.Row = row;
    context.ScopeFirst = 0;
    context.ScopeLast = 2;
    context.PageNumber = 2;
    context.PageCount = 5;
    context.Now = QDateTime(QDate(2026, 3, 1), QTime(9, 5));
    context.Title = QStringLiteral("Contact list");
    return context;
}

QString Shown(const QString &text, int row = 0)
{
    return ReportExpression::ToText(ReportExpression::Parse(text)->Evaluate(Context(row)));
}

} // namespace

TEST(ReportExpression, EachKindOfTermShowsWhatATemplateExpects)
{
    const struct { const char *Expression; int Row; const char *Shown; } cases[] = {
        {"Name", 0, "Adams"},
        {"name", 1, "Baker"},
        {"'Page ' + PageNo() + ' of ' + PageCount()", 0, "Page 2 of 5"},
        {"Count + 1", 1, "4"},
        {"'Count: ' + Count", 1, "Count: 3"},
        {"\"He said \"\"yes\"\"\"", 0, "He said \"yes\""},
        {"'O''Neil' = Name", 2, "True"},
        {"Name <> 'Adams'", 0, "False"},
        {"If(IsEmpty(Line), 'none', Line)", 2, "none"},
        {"If(Line = 'Not scheduled within defined period', 0, 1)", 1, "0"},
        {"Upper(Name) + Lower(' X') + Trim('  y  ')", 0, "ADAMS xy"},
        {"Born", 0, "3/4/1970"},
        {"Born", 1, "12/24/1981 6:30 PM"},
        {"Format(Born, 'dddd, MMMM d, yyyy')", 1, "Thursday, December 24, 1981"},
        {"Format(Date(), 'MMMM yyyy') + ' ' + Title()", 0, "March 2026 Contact list"},
        {"Format(Now(), 'h:mm')", 0, "9:05"},
        {"RecordNo()", 2, "3"},
        {"Born", 2, ""},
        {"Format(2.5 + 1, '0.00')", 0, "3.50"},
        {"-2 + 5", 0, "3"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Shown(QString::fromUtf8(c.Expression), c.Row), QString::fromUtf8(c.Shown)) << c.Expression;
}

TEST(ReportExpression, CountAndSumRunOverTheRowsOfTheScope)
{
    ReportContext context = Context(1);
    EXPECT_EQ(ReportExpression::Parse(QStringLiteral("Count()"))->Evaluate(context).toInt(), 3);
    EXPECT_EQ(ReportExpression::Parse(QStringLiteral("Sum(Count)"))->Evaluate(context).toInt(), 5); // the NULL adds nothing
    context.ScopeFirst = 1;
    context.ScopeLast = 1;
    EXPECT_EQ(ReportExpression::Parse(QStringLiteral("Count()"))->Evaluate(context).toInt(), 1);
    EXPECT_EQ(ReportExpression::Parse(QStringLiteral("Sum(If(Line = 'Not scheduled within defined period', 0, 1))"))->Evaluate(context).toInt(), 0);
}

TEST(ReportExpression, ListsTheFieldsItReadsAndWhetherItNeedsThePageCount)
{
    const auto expression = ReportExpression::Parse(QStringLiteral("If(IsEmpty(Line), Name, Line + name) + PageCount()"));
    EXPECT_EQ(expression->FieldNames(), (QStringList{"Line", "Name"}));
    EXPECT_TRUE(expression->UsesPageCount());
    EXPECT_FALSE(ReportExpression::Parse(QStringLiteral("'Page ' + PageNo()"))->UsesPageCount());
}

TEST(ReportExpression, AFaultyExpressionIsRefusedWithItsPlace)
{
    const struct { const char *Expression; const char *Says; } cases[] = {
        {"'open", "the text is not closed"},
        {"Name +", "a value is missing"},
        {"Name * 2", "unexpected \"*\" at character 6"},
        {"Nothing()", "there is no function \"Nothing\""},
        {"If(Name, 1)", "If takes 3 argument(s)"},
        {"(Name", "\")\" is missing"},
    };
    for (const auto &c : cases) {
        try {
            ReportExpression::Parse(QString::fromUtf8(c.Expression));
            ADD_FAILURE() << c.Expression << " was accepted";
        } catch (const EReportError &e) {
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.Says))) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.Expression))) << e.Message().toStdString();
        }
    }
    EXPECT_THROW(ReportExpression::Parse(QString(ReportExpression::kMaxDepth + 2, QLatin1Char('(')) + QStringLiteral("1")), EReportError);
    EXPECT_THROW(ReportExpression::Parse(QString(ReportExpression::kMaxLength + 1, QLatin1Char('1'))), EReportError);
}

TEST(ReportExpression, AFieldTheDatasetLacksIsAnError)
{
    EXPECT_THROW(ReportExpression::Parse(QStringLiteral("Missing"))->Evaluate(Context(0)), EReportError);
}
