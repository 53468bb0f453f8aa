#include "testsupport/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

TEST(TestDatabase, EachTestGetsItsOwnDatabaseWithCitextAndDbo)
{
    kestrova::test::TestDatabase a;
    kestrova::test::TestDatabase b;
    ASSERT_TRUE(a.available());
    ASSERT_TRUE(b.available());
    EXPECT_NE(a.name(), b.name());
    a.exec(QStringLiteral("CREATE TABLE dbo.t (name citext)"));
    a.exec(QStringLiteral("INSERT INTO dbo.t VALUES ('Anna')"));
    EXPECT_EQ(a.scalar(QStringLiteral("SELECT count(*) FROM dbo.t WHERE name = 'ANNA'")), QStringLiteral("1"));
    EXPECT_EQ(b.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename = 't'")), QStringLiteral("0"));
}

} // namespace
