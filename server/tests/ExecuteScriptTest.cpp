// ExecuteScript: batches separated by "GO" lines, run on the connection the caller passes.
#include "dataaccess/IDAConnection.h"
#include "server/database/uDMServerDatabase.h"
#include "testsupport/CurrentSchema.h"

#include <gtest/gtest.h>

namespace {

using kestrova::test::OpenConnection;
using kestrova::test::TestDatabase;

TEST(ExecuteScript, RunsEveryBatchIncludingTheLastAndAcceptsAFinalGo)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    auto connection = OpenConnection(db.connectionString());
    TDMServerDatabase::ExecuteScript({"CREATE TABLE t (n integer)", "GO", "", "INSERT INTO t VALUES (1);", "INSERT INTO t VALUES (2)",
                                      "GO", "INSERT INTO t VALUES (3)"},
                                     *connection);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(n::text, ',' ORDER BY n) FROM t")), QStringLiteral("1,2,3"));
    TDMServerDatabase::ExecuteScript({"INSERT INTO t VALUES (4)", "GO", "GO"}, *connection);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("4"));
}

TEST(ExecuteScript, AFailingBatchRaisesAndStopsTheScript)
{
    TestDatabase db;
    ASSERT_TRUE(db.available());
    auto connection = OpenConnection(db.connectionString());
    EXPECT_ANY_THROW(TDMServerDatabase::ExecuteScript({"CREATE TABLE t (n integer)", "GO", "INSERT INTO nosuch VALUES (1)", "GO",
                                                       "INSERT INTO t VALUES (1)"},
                                                      *connection));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM t")), QStringLiteral("0"));
}

} // namespace
