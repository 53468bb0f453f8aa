// The ":Name" rewrite: which colons are parameters and which are left alone.
#include "dataaccess/DADataTypes.h"
#include "dataaccess/DASQLParams.h"

#include <gtest/gtest.h>

TEST(SQLParams, NamesBecomePositionalMarkersInOrderOfFirstUse)
{
    const auto r = DAParseSQLParams(QStringLiteral("SELECT * FROM t WHERE a = :b AND c = :a AND d = :B"));
    EXPECT_EQ(r.SQL, QStringLiteral("SELECT * FROM t WHERE a = $1 AND c = $2 AND d = $1"));
    EXPECT_EQ(r.Names, QStringList({QStringLiteral("b"), QStringLiteral("a")}));
}

TEST(SQLParams, LiteralsQuotedNamesAndCommentsAreSkipped)
{
    const QString sql = QStringLiteral("SELECT ':a', 'it''s :b', E'\\' :c', \"x:d\", 1 -- :e\n/* :f /* :g */ :h */ FROM t WHERE v = :real");
    const auto r = DAParseSQLParams(sql);
    EXPECT_EQ(r.Names, QStringList({QStringLiteral("real")}));
    EXPECT_TRUE(r.SQL.endsWith(QStringLiteral("v = $1")));
    EXPECT_TRUE(r.SQL.startsWith(QStringLiteral("SELECT ':a', 'it''s :b', E'\\' :c', \"x:d\"")));
}

TEST(SQLParams, CastsAssignmentsAndDollarQuotesAreSkipped)
{
    const auto r = DAParseSQLParams(QStringLiteral(
        "DO $body$ BEGIN x := :no; END $body$; SELECT :v::integer, $$ :no2 $$, a[1:2], $1x"));
    EXPECT_EQ(r.Names, QStringList({QStringLiteral("v")}));
    EXPECT_TRUE(r.SQL.contains(QStringLiteral("$1::integer")));
    EXPECT_TRUE(r.SQL.contains(QStringLiteral("x := :no;")));
}

TEST(SQLParams, UnterminatedLiteralDoesNotRunPastTheEnd)
{
    const auto r = DAParseSQLParams(QStringLiteral("SELECT ':a"));
    EXPECT_TRUE(r.Names.isEmpty());
    EXPECT_EQ(r.SQL, QStringLiteral("SELECT ':a"));
    EXPECT_TRUE(DAParseSQLParams(QStringLiteral("/* :x")).Names.isEmpty());
    EXPECT_TRUE(DAParseSQLParams(QStringLiteral("$q$ :x")).Names.isEmpty());
}

TEST(SQLParams, NonLatinParameterNamesAreNames)
{
    const auto r = DAParseSQLParams(QStringLiteral("SELECT :Größe, :名前"));
    EXPECT_EQ(r.Names.size(), 2);
    EXPECT_EQ(r.SQL, QStringLiteral("SELECT $1, $2"));
}

TEST(SQLParams, SeveralStatementsAreToldFromOne)
{
    const struct
    {
        const char *sql;
        bool single;
    } cases[] = {
        {"SELECT 1", true},
        {"SELECT 1;", true},
        {"SELECT 1; -- done\n /* really */ ", true},
        {"SELECT ';', \";\", $$;$$ -- ; SELECT 2", true},
        {"SELECT 1; SELECT 2", false},
        {"SET x = 1;SELECT :a", false},
        {"DO $b$ BEGIN PERFORM 1; END $b$", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DAParseSQLParams(QString::fromUtf8(c.sql)).SingleStatement, c.single) << c.sql;
}

TEST(SQLParams, AParameterIsFoundByNameWithoutRegardToCaseAndTheFirstOfANameWins)
{
    TDAParamCollection params;
    params.Add(QStringLiteral("Alpha"), 1);
    params.Add(QStringLiteral("ALPHA"), 2);
    params.Add(QStringLiteral("Ärger"), 3);
    for (int i = 0; i < 1000; ++i)
        params.Add(QStringLiteral("p%1").arg(i), i);
    EXPECT_EQ(params.FindParam(QStringLiteral("alpha"))->Value, 1);
    EXPECT_EQ(params.ParamByName(QStringLiteral("äRGER")).Value, 3);
    EXPECT_EQ(params.FindParam(QStringLiteral("P999"))->Value, 999);
    EXPECT_EQ(params.FindParam(QStringLiteral("p1000")), nullptr);

    TDAParamCollection copy = params;
    copy.ParamByName(QStringLiteral("alpha")).Value = 5;
    EXPECT_EQ(params.FindParam(QStringLiteral("alpha"))->Value, 1);
    EXPECT_EQ(&copy.ParamByName(QStringLiteral("alpha")), &copy[0]);
    params.Clear();
    EXPECT_EQ(params.FindParam(QStringLiteral("alpha")), nullptr);
    params.Add(QStringLiteral("beta"));
    EXPECT_EQ(params.FindParam(QStringLiteral("BETA")), &params[0]);
}
