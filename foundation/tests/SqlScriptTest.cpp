#include "foundation/SqlScript.h"

#include <gtest/gtest.h>

namespace {

using SqlScript::SplitBatches;
using SqlScript::SplitLines;
using SqlScript::Trailing;

TEST(SqlScript, LinesEndInCrLfLfOrCr)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), QStringList({"a", "", "b"}));
}

TEST(SqlScript, ByteOrderMarkIsNotPartOfTheFirstLine)
{
    EXPECT_EQ(SplitLines("\xEF\xBB\xBFSELECT 1\nGO\n"), QStringList({"SELECT 1", "GO"}));
}

TEST(SqlScript, GoLinesSeparateBatchesAndAreNotPartOfThem)
{
    const QStringList batches = SplitBatches(QByteArray("A\r\nGO\r\n\r\nB\r\nGO\r\n\r\n"));
    EXPECT_EQ(batches, QStringList({"A", "\nB"}));
}

TEST(SqlScript, TheLineAfterAGoLineIsTestedToo)
{
    EXPECT_EQ(SplitBatches(QStringList{"A", "GO", "GO", "B"}), QStringList({"A", "B"}));
}

TEST(SqlScript, TrailingTextRunsOrIsDroppedAsTheCallerAsks)
{
    const QStringList lines{"A", "GO", "B"};
    EXPECT_EQ(SplitBatches(lines, Trailing::Run), QStringList({"A", "B"}));
    EXPECT_EQ(SplitBatches(lines, Trailing::Drop), QStringList({"A"}));
}

TEST(SqlScript, AFinalGoEndsCleanly)
{
    EXPECT_EQ(SplitBatches(QStringList{"A", "GO"}), QStringList({"A"}));
    EXPECT_EQ(SplitBatches(QStringList{"A", "GO"}, Trailing::Drop), QStringList({"A"}));
}

TEST(SqlScript, OnlyAWholeUpperCaseGoLineSeparates)
{
    const QStringList batches = SplitBatches(QStringList{"SELECT 1", "go", " GO", "GO ", "GOTO", "GO", "x"});
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches[0], QStringLiteral("SELECT 1\ngo\n GO\nGO \nGOTO"));
}

TEST(SqlScript, BlankBatchesAreLeftOut)
{
    EXPECT_EQ(SplitBatches(QStringList{"", "GO", "  ", "GO", "A"}), QStringList({"A"}));
    EXPECT_TRUE(SplitBatches(QByteArray()).isEmpty());
}

} // namespace
