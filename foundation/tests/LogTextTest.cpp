// Client text in log lines: a short excerpt that cannot break or forge a line.
#include "foundation/LogText.h"

#include <gtest/gtest.h>

namespace {

TEST(LogExcerpt, ControlCharactersAndBackslashesBecomeEscapes)
{
    EXPECT_EQ(LogExcerpt(u"a\r\nb\tc\\d"), QStringLiteral("a\\r\\nb\\tc\\\\d"));
    EXPECT_EQ(LogExcerpt(QStringView(u"x\0y", 3)), QStringLiteral("x\\u0000y"));
    EXPECT_EQ(LogExcerpt(u"\u001b[2J\u0085\u2028\u007f"), QStringLiteral("\\u001b[2J\\u0085\\u2028\\u007f"));
    EXPECT_EQ(LogExcerpt(u"Grüß Gott"), QStringLiteral("Grüß Gott"));
}

TEST(LogExcerpt, ALongTextIsCutAndSaysHowMuchWasLeftOut)
{
    const QString huge(16 * 1024 * 1024, QLatin1Char('x'));
    const QString excerpt = LogExcerpt(huge);
    EXPECT_EQ(excerpt, QString(kLogExcerptLength, QLatin1Char('x')) + QStringLiteral("... (+16777016 characters)"));
    EXPECT_EQ(LogExcerpt(u"abcdef", 3), QStringLiteral("abc... (+3 characters)"));
    EXPECT_EQ(LogExcerpt(u"abc", 3), QStringLiteral("abc"));
}

TEST(LogExcerpt, AForgedLineStaysOnTheLineItWasLoggedIn)
{
    const QString forged = QStringLiteral("x\r\n2024-01-01 10:00:00 :\tSevere\tLogOnService\tVerifyUser fake");
    const QString excerpt = LogExcerpt(forged);
    EXPECT_FALSE(excerpt.contains(QLatin1Char('\r')));
    EXPECT_FALSE(excerpt.contains(QLatin1Char('\n')));
    EXPECT_FALSE(excerpt.contains(QLatin1Char('\t')));
}

TEST(LogExcerpt, ASurrogatePairIsNeverSplit)
{
    const QString text = QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("cd");
    EXPECT_EQ(LogExcerpt(text, 3), QStringLiteral("ab... (+4 characters)"));
    EXPECT_EQ(LogExcerpt(text, 4), QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("... (+2 characters)"));
}

} // namespace
