// The wizard's rules without a window or a server: the enabling of Next, Previous and Finish,
// the node texts and new names, page 1's masks and the pictures of the language module.
#include "plugins/setup/uSetupRules.h"

#include "foundation/uResourceHandler.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace SetupRules;

namespace {

TWizardState Page(int step, const QString &user, const QString &p1, const QString &p2, int locations = 0, int liturgies = 0,
                  bool linked = false)
{
    TWizardState s;
    s.Step = step;
    s.UserName = user;
    s.Password1 = p1;
    s.Password2 = p2;
    s.LocationItems = locations;
    s.LiturgyNodes = liturgies;
    s.TemplateHoldsFunction = linked;
    return s;
}

} // namespace

TEST(SetupRules, NextPreviousAndFinishFollowThePageAndItsContent)
{
    struct Case
    {
        const char *Why;
        TWizardState State;
        bool Next, Previous, Finish;
    };
    const Case cases[] = {
        {"page 1, matching passwords", Page(1, "Pastor", "Credo1", "Credo1"), true, false, false},
        {"page 1, two empty passwords are accepted", Page(1, "Pastor", "", ""), true, false, false},
        {"page 1, passwords differ", Page(1, "Pastor", "Credo1", "Credo2"), false, false, false},
        {"page 1, no user name", Page(1, "", "Credo1", "Credo1"), false, false, false},
        {"page 2 with a location", Page(2, "Pastor", "", "", 1), true, true, false},
        {"page 2 without a location", Page(2, "Pastor", "", "", 0), false, true, false},
        {"page 3 with a liturgy", Page(3, "Pastor", "", "", 1, 1), true, true, false},
        {"page 3 without a liturgy", Page(3, "Pastor", "", "", 1, 0), false, true, false},
        {"page 4, no template holds a function", Page(4, "Pastor", "", "", 1, 1, false), false, true, false},
        {"page 4, a template holds a function", Page(4, "Pastor", "", "", 1, 1, true), false, true, true},
        {"page 3 with links is no Finish", Page(3, "Pastor", "", "", 1, 1, true), true, true, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(NextEnabled(c.State), c.Next) << c.Why;
        EXPECT_EQ(PreviousEnabled(c.State), c.Previous) << c.Why;
        EXPECT_EQ(FinishEnabled(c.State), c.Finish) << c.Why;
    }
}

TEST(SetupRules, TheUserNameTakesLettersOnlyAndThePasswordLettersAndDigits)
{
    const auto whole = [](const QRegularExpression &mask, const QString &text) {
        return QRegularExpression(QRegularExpression::anchoredPattern(mask.pattern())).match(text).hasMatch();
    };
    EXPECT_TRUE(whole(UserNameMask(), QStringLiteral("Pastor")));
    EXPECT_FALSE(whole(UserNameMask(), QStringLiteral("Pastor1")));
    EXPECT_FALSE(whole(UserNameMask(), QStringLiteral("anna maria")));
    EXPECT_TRUE(whole(PasswordMask(), QStringLiteral("Credo2024")));
    EXPECT_FALSE(whole(PasswordMask(), QStringLiteral("Credo-2024")));
}

TEST(SetupRules, NodeTextsAndTheNewLocationsName)
{
    EXPECT_EQ(LiturgyNodeText(QStringLiteral("Sunday Mass"), QStringLiteral("St Mary")), QStringLiteral("Sunday Mass (St Mary)"));
    EXPECT_EQ(LinkNodeText(QStringLiteral("Reader"), 2), QStringLiteral("Reader (2)"));
    EXPECT_EQ(NewLocationName(QStringLiteral("Location "), 0), QStringLiteral("Location 1"));
    EXPECT_EQ(NewLocationName(QStringLiteral("Location "), 3), QStringLiteral("Location 4"));
    EXPECT_EQ(PageImage(1), 105);
    EXPECT_EQ(PageImage(2), 106);
    EXPECT_EQ(PageImage(3), 107);
    EXPECT_EQ(PageImage(4), 104);
}

TEST(SetupRules, APictureIsADataItemOfTheLanguageModule)
{
    TVOResourceHandler texts;
    texts.LoadResourceFile(QCoreApplication::applicationFilePath() + QStringLiteral(".lng"));
    for (int number : {104, 105, 106, 107}) {
        const QImage image = GetImage(texts, number);
        ASSERT_FALSE(image.isNull()) << number;
        EXPECT_GE(image.width(), 600) << number;
    }
    // A number without a picture: no image and no error.
    EXPECT_TRUE(GetImage(texts, 108).isNull());

    TVOResourceHandler damaged;
    ASSERT_TRUE(damaged.Parse("data:104=bm90IGEgcGljdHVyZQ==\n"));
    try {
        (void)GetImage(damaged, 104);
        ADD_FAILURE() << "an undecodable picture was taken";
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "Unable to locate image : 104");
    }
}

TEST(SetupRules, TheFirstNameThatIsEmptyOrOnlyBlanksIsFound)
{
    struct Case
    {
        QStringList Names;
        int Unnamed;
    };
    const Case cases[] = {
        {{}, -1},
        {{QStringLiteral("St Anne"), QStringLiteral("Chapel")}, -1},
        {{QStringLiteral("St Anne"), QString()}, 1},
        {{QStringLiteral("  \t"), QString()}, 0},
        {{QStringLiteral(" x ")}, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FirstUnnamed(c.Names), c.Unnamed) << c.Names.join(QLatin1Char('|')).toStdString();
}
