// How a typed full name falls apart into title, first, middle and last name and suffix, with
// the contact dialog's kind of title and suffix lists, and how five parts join again.
#include "plugins/contacts/uNameExtractor.h"

#include "testsupport/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase
{
    const char *Name;
    const char *FullName;
    const char *Title;
    const char *First;
    const char *Middle;
    const char *Last;
    const char *Suffix;
    bool Complete;
};

class NameSplit : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(NameSplit, GivesTheFiveParts)
{
    const SplitCase &c = GetParam();
    TNameExtractor names;
    names.SetTitleList(QStringLiteral("Mr., Mrs.,Dr.,\"Rev. Fr.\""));
    names.SetSuffixLixt(QStringLiteral("Jr.,Sr.,III"));
    names.SetFullName(QString::fromUtf8(c.FullName));
    EXPECT_EQ(names.Title(), QString::fromUtf8(c.Title));
    EXPECT_EQ(names.FirstName(), QString::fromUtf8(c.First));
    EXPECT_EQ(names.MiddleName(), QString::fromUtf8(c.Middle));
    EXPECT_EQ(names.LastName(), QString::fromUtf8(c.Last));
    EXPECT_EQ(names.Suffix(), QString::fromUtf8(c.Suffix));
    EXPECT_EQ(names.Complete(), c.Complete);
}

INSTANTIATE_TEST_SUITE_P(
    TNameExtractor, NameSplit,
    ::testing::Values(
        SplitCase{"TitleFirstMiddleLastSuffix", "Mr. John Paul Smith Jr.", "Mr.", "John", "Paul", "Smith", "Jr.", true},
        SplitCase{"FirstAndLast", "John Smith", "", "John", "", "Smith", "", true},
        SplitCase{"ACommaPutsTheLastNameFirst", "Smith, John", "", "John", "", "Smith", "", true},
        SplitCase{"LastNameFirstWithMiddleNameAndListedSuffix", "Smith, John Paul Jr.", "", "John", "Paul", "Smith", "Jr.", true},
        SplitCase{"TheWordsBeforeTheCommaAreTheLastName", "Van Buren, Martin", "", "Martin", "", "Van Buren", "", true},
        SplitCase{"AnUnlistedSuffixInCapitalsAfterTheComma", "John Smith, MD", "", "John", "", "Smith", "MD", true},
        SplitCase{"AnUnlistedSuffixWithAStopAfterTheComma", "John Smith, Esq.", "", "John", "", "Smith", "Esq.", true},
        SplitCase{"ASuffixRightAfterTheOneWordKeepsTheLastName", "Smith, Esq.", "", "", "", "Smith", "Esq.", false},
        SplitCase{"AShortGivenNameAfterTheCommaIsNoSuffix", "Lee, Ann", "", "Ann", "", "Lee", "", true},
        SplitCase{"AnInitialAfterTheCommaIsAskedAbout", "Lee, A.", "", "", "", "Lee", "A.", false},
        SplitCase{"LastNameFirstWithATitleOfTwoWords", "Smith, Rev. Fr. John", "Rev. Fr.", "John", "", "Smith", "", true},
        SplitCase{"AListedSuffixAfterTheCommaKeepsTheFirstNameFirst", "John Smith, Jr.", "", "John", "", "Smith", "Jr.", true},
        SplitCase{"ATitleOfTwoWordsIsMatched", "Rev. Fr. John Smith", "Rev. Fr.", "John", "", "Smith", "", true},
        SplitCase{"ATitleOfTwoWordsBeforeTheLastNameOnly", "Rev. Fr. Smith", "Rev. Fr.", "", "", "Smith", "", false},
        SplitCase{"OneWordIsTheLastName", "Smith", "", "", "", "Smith", "", false},
        SplitCase{"APeriodMakesASuffixThatIsNotListed", "John Smith Ph.D.", "", "John", "", "Smith", "Ph.D.", true},
        SplitCase{"TwoCommasWhatFollowsTheSecondIsTheSuffix", "Smith, John, Jr.", "", "John", "", "Smith", "Jr.", true},
        SplitCase{"ListedSuffixWordsAreTakenFromTheBack", "Ann Lee Sr. III", "", "Ann", "", "Lee", "Sr. III", true},
        SplitCase{"ASuffixWordInTheMiddleStaysAName", "Ann III Lee", "", "Ann", "III", "Lee", "", true},
        SplitCase{"SuffixListIsMatchedWithoutCase", "Ann Lee iii", "", "Ann", "", "Lee", "iii", true},
        SplitCase{"SeveralMiddleNames", "Johann Sebastian Ambrosius Bach", "", "Johann", "Sebastian Ambrosius", "Bach", "", true},
        SplitCase{"TitleOnlyWhenListed", "Sir John Smith", "", "Sir", "John", "Smith", "", true},
        SplitCase{"TitleListIsMatchedWithoutCase", "dr. Ann Lee", "dr.", "Ann", "", "Lee", "", true},
        SplitCase{"AQuotedTitleWithABlankIsOneItem", "Fr. Ann Lee", "", "Fr.", "Ann", "Lee", "", true},
        SplitCase{"TitleAndLastNameOnly", "Mrs. Lee", "Mrs.", "", "", "Lee", "", false},
        SplitCase{"NoTitleWhenTheLastNameIsTheFirstWord", "Dr., Lee", "", "Lee", "", "Dr.", "", true},
        SplitCase{"OneTrailingCommaIsDropped", "Ann Lee,", "", "Ann", "", "Lee", "", true},
        SplitCase{"OnlyOneTrailingCommaIsDropped", "Ann Lee,,", "", "Ann", "", "Lee,", "", true},
        SplitCase{"BlanksTabsAndLineBreaksSeparateWords", "  Ann\t\tMarie \r\n Lee  ", "", "Ann", "Marie", "Lee", "", true},
        SplitCase{"Utf8Names", "Zoë Ångström-Øberg Ü.", "", "Zoë", "", "Ångström-Øberg", "Ü.", true},
        SplitCase{"CharactersOutsideTheBasicPlaneStayWhole", "\xF0\x9D\x94\x84nna \xF0\x9F\x98\x80 Lee", "", "\xF0\x9D\x94\x84nna",
                  "\xF0\x9F\x98\x80", "Lee", "", true}),
    [](const ::testing::TestParamInfo<SplitCase> &test) { return std::string(test.param.Name); });

TEST(TNameExtractor, BlanksOnlyLeaveEveryPartEmptyAndCompleteAsItWas)
{
    TNameExtractor names;
    names.SetFullName(QStringLiteral("Ann Lee"));
    ASSERT_TRUE(names.Complete());
    names.SetFullName(QStringLiteral("   \t "));
    EXPECT_TRUE(names.Title().isEmpty() && names.FirstName().isEmpty() && names.MiddleName().isEmpty() &&
                names.LastName().isEmpty() && names.Suffix().isEmpty());
    EXPECT_TRUE(names.Words().isEmpty());
    EXPECT_TRUE(names.Complete());
}

TEST(TNameExtractor, TheSameFullNameIsSplitOnlyOnce)
{
    TNameExtractor names;
    names.JoinParts(QString(), QString(), QString(), QStringLiteral("Kept"), QString());
    ASSERT_EQ(names.FullName(), QStringLiteral(" Kept"));
    // A split of " Kept" would find no first name and so leave the name incomplete.
    names.SetFullName(QStringLiteral(" Kept"));
    EXPECT_TRUE(names.Complete());
    names.SetFullName(QStringLiteral("Kept"));
    EXPECT_FALSE(names.Complete());
    EXPECT_EQ(names.Words(), QStringList{QStringLiteral("Kept")});
}

TEST(TNameExtractor, JoiningWithoutTitleLeavesOneBlankInFront)
{
    TNameExtractor names;
    names.JoinParts(QString(), QStringLiteral("Ann"), QString(), QStringLiteral("Lee"), QString());
    EXPECT_EQ(names.FullName(), QStringLiteral(" Ann Lee"));
    EXPECT_TRUE(names.Complete());
    names.JoinParts(QStringLiteral("Dr."), QStringLiteral("Ann"), QStringLiteral("B."), QStringLiteral("Lee"), QStringLiteral("Jr."));
    EXPECT_EQ(names.FullName(), QStringLiteral("Dr. Ann B. Lee Jr."));
    EXPECT_EQ(names.MiddleName(), QStringLiteral("B."));
}

TEST(ReadCommaText, SplitsAtCommasAndBlanksAndKeepsQuotedItemsWhole)
{
    EXPECT_EQ(ReadCommaText(QStringLiteral("Mr., Mrs.,,Dr. \"Rev. Fr.\",\"say \"\"hi\"\"\"")),
              (QStringList{"Mr.", "Mrs.", "Dr.", "Rev. Fr.", "say \"hi\""}));
    EXPECT_TRUE(ReadCommaText(QStringLiteral(" , ")).isEmpty());
}

} // namespace
