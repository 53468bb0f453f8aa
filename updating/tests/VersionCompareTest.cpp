#include "testsupport/QtPrinters.h"

#include "updating/uSystemPathsAndFolders.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

QString normalized(const QString &text)
{
    QString result = QStringLiteral("unset");
    return TQorVerCompare::NormalizeVersion(text, result) ? result : QStringLiteral("<none:%1>").arg(result);
}

TEST(VersionNormalizing, ShortVersionsArePaddedToFourParts)
{
    EXPECT_EQ(normalized(QStringLiteral("1.2")), QStringLiteral("1.2.0.0"));
    EXPECT_EQ(normalized(QStringLiteral("7")), QStringLiteral("7.0.0.0"));
    EXPECT_EQ(normalized(QString()), QStringLiteral("0.0.0.0"));
}

TEST(VersionNormalizing, PartsAfterTheFourthAreIgnored)
{
    EXPECT_EQ(normalized(QStringLiteral("1.2.3.4.5")), QStringLiteral("1.2.3.4"));
    EXPECT_EQ(normalized(QStringLiteral("1.2.3.4.x")), QStringLiteral("1.2.3.4"));
}

TEST(VersionNormalizing, OneFinalDotAndSurroundingBlanksAreDropped)
{
    EXPECT_EQ(normalized(QStringLiteral("  3.0. \t")), QStringLiteral("3.0.0.0"));
    EXPECT_EQ(normalized(QStringLiteral("\r\n2.1.\n")), QStringLiteral("2.1.0.0"));
    // Only one dot goes: two leave an empty part.
    EXPECT_EQ(normalized(QStringLiteral("3.0..")), QStringLiteral("<none:>"));
}

TEST(VersionNormalizing, LeadingZerosStayAsWritten)
{
    EXPECT_EQ(normalized(QStringLiteral("01.002")), QStringLiteral("01.002.0.0"));
}

TEST(VersionNormalizing, NonNumericOrEmptyPartsAreNoVersion)
{
    EXPECT_EQ(normalized(QStringLiteral("1.a")), QStringLiteral("<none:>"));
    EXPECT_EQ(normalized(QStringLiteral("1..2")), QStringLiteral("<none:>"));
    EXPECT_EQ(normalized(QStringLiteral("1.2b")), QStringLiteral("<none:>"));
    EXPECT_EQ(normalized(QStringLiteral("1. 2")), QStringLiteral("<none:>"));
    EXPECT_EQ(normalized(QStringLiteral("-")), QStringLiteral("<none:>"));
}

TEST(VersionNormalizing, PartsMustFitThirtyTwoBits)
{
    EXPECT_EQ(normalized(QStringLiteral("2147483647")), QStringLiteral("2147483647.0.0.0"));
    EXPECT_EQ(normalized(QStringLiteral("2147483648")), QStringLiteral("<none:>"));
    EXPECT_EQ(normalized(QStringLiteral("-2147483648.1")), QStringLiteral("-2147483648.1.0.0"));
    EXPECT_EQ(normalized(QStringLiteral("99999999999999999999")), QStringLiteral("<none:>"));
}

TEST(VersionComparing, SecondHigherGivesOneFirstHigherGivesMinusOne)
{
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("1.2"), QStringLiteral("1.10")), 1);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("2.0.0.1"), QStringLiteral("2.0.0.0")), -1);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("1.9.9.9"), QStringLiteral("2")), 1);
}

TEST(VersionComparing, DifferencesAreClampedToOne)
{
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("1"), QStringLiteral("2147483647")), 1);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("2147483647"), QStringLiteral("-2147483648")), -1);
}

TEST(VersionComparing, PaddingFinalDotAndLeadingZerosCompareEqual)
{
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("1.0"), QStringLiteral("1.0.0.0")), 0);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("01.2"), QStringLiteral("1.2")), 0);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("3.0."), QStringLiteral(" 3 ")), 0);
    EXPECT_EQ(TQorVerCompare::Compare(QStringLiteral("0"), QString()), 0);
}

TEST(VersionComparing, NoVersionRaises)
{
    EXPECT_THROW(TQorVerCompare::Compare(QStringLiteral("1.0"), QStringLiteral("x")), EVersionError);
    EXPECT_THROW(TQorVerCompare::Compare(QStringLiteral("1..0"), QStringLiteral("1.0")), EVersionError);
}

class SizeText : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(SizeText, BelowOneKilobyteStaysInBytesWithGrouping)
{
    EXPECT_EQ(TQorFolders::FormatSize(0), QStringLiteral("0.00 Bytes"));
    EXPECT_EQ(TQorFolders::FormatSize(500), QStringLiteral("500.00 Bytes"));
    EXPECT_EQ(TQorFolders::FormatSize(1000), QStringLiteral("1,000.00 Bytes"));
    EXPECT_EQ(TQorFolders::FormatSize(1023), QStringLiteral("1,023.00 Bytes"));
    EXPECT_EQ(TQorFolders::FormatSize(-5), QStringLiteral("-5.00 Bytes"));
}

TEST_F(SizeText, LargerCountsTakeTheLargestUnitWithAnIntegerPart)
{
    EXPECT_EQ(TQorFolders::FormatSize(1024), QStringLiteral("1.00 KB"));
    EXPECT_EQ(TQorFolders::FormatSize(1536), QStringLiteral("1.50 KB"));
    EXPECT_EQ(TQorFolders::FormatSize(1048575), QStringLiteral("1,024.00 KB"));
    EXPECT_EQ(TQorFolders::FormatSize(-2048), QStringLiteral("-2.00 KB"));
}

TEST_F(SizeText, MegabytesHaveNoBlankBeforeTheUnit)
{
    EXPECT_EQ(TQorFolders::FormatSize(1048576), QStringLiteral("1.00MB"));
    EXPECT_EQ(TQorFolders::FormatSize(5 * 1048576 + 524288), QStringLiteral("5.50MB"));
}

TEST_F(SizeText, TheLargestCountEndsInGigabytes)
{
    EXPECT_EQ(TQorFolders::FormatSize(std::numeric_limits<qint32>::max()), QStringLiteral("2.00 GB"));
    EXPECT_EQ(TQorFolders::FormatSize(std::numeric_limits<qint32>::min()), QStringLiteral("-2.00 GB"));
}

TEST_F(SizeText, SeparatorsFollowTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TQorFolders::FormatSize(1000), QStringLiteral("1.000,00 Bytes"));
    EXPECT_EQ(TQorFolders::FormatSize(1536), QStringLiteral("1,50 KB"));
}

TEST(SubFolders, EntriesMatchingTheMaskAreListedFoldersAndFilesAlike)
{
    QTemporaryDir dir;
    QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("Updates/1.0.0.5")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("Updates/1.0.0.7")));
    QFile file(root.filePath(QStringLiteral("Updates/1.0.0.9")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(root.mkpath(QStringLiteral("Updates/other")));

    const auto found = TQorFolders::GetSubFolders(root.filePath(QStringLiteral("Updates/1.*")));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, (QStringList{QStringLiteral("1.0.0.5"), QStringLiteral("1.0.0.7"), QStringLiteral("1.0.0.9")}));
    const auto all = TQorFolders::GetSubFolders(root.filePath(QStringLiteral("Updates/*")));
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->size(), 4);
}

TEST(SubFolders, MissingFolderGivesAnEmptyList)
{
    QTemporaryDir dir;
    const auto found = TQorFolders::GetSubFolders(dir.filePath(QStringLiteral("nowhere/*")));
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->isEmpty());
}

} // namespace
