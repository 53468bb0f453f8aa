#include "foundation/uResourceHandler.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeModule(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("Quorva.lng"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

TEST(LanguageTexts, WithoutModuleEveryTextIsItsNumber)
{
    TVOResourceHandler handler;
    EXPECT_EQ(handler.GetString(100), QStringLiteral("100"));
    EXPECT_EQ(handler.GetString(100, true), QStringLiteral("100"));
}

TEST(LanguageTexts, MissingModuleRaisesWithItsPath)
{
    TVOResourceHandler handler;
    try {
        handler.LoadResourceFile(QStringLiteral("/nonexistent/Quorva.lng"));
        FAIL() << "no error raised";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Unable to locate resourcefile : /nonexistent/Quorva.lng");
    }
    EXPECT_EQ(handler.GetString(6300), QStringLiteral("6300"));
}

TEST(LanguageTexts, TextsEscapesHtmlAndPictures)
{
    QTemporaryDir dir;
    TVOResourceHandler handler;
    handler.LoadResourceFile(writeModule(dir, "\xEF\xBB\xBF# Quorva texts\r\n"
                                              "200=OK\r\n"
                                              "201=Two\\nlines\\tand a \\\\ backslash\r\n"
                                              "202=Gr\xC3\xBC\xC3\x9F Gott = hello\r\n"
                                              "html:23=<b>What's new</b>\r\n"
                                              "data:500=iVBORw0KGgo=\r\n"));
    ASSERT_TRUE(handler.IsOpen());
    EXPECT_EQ(handler.GetString(200), QStringLiteral("OK"));
    EXPECT_EQ(handler.GetString(201), QStringLiteral("Two\nlines\tand a \\ backslash"));
    EXPECT_EQ(handler.GetString(202), QString::fromUtf8("Grüß Gott = hello"));
    EXPECT_EQ(handler.GetHTML(23), QStringLiteral("<b>What's new</b>"));
    EXPECT_EQ(handler.GetData(500), QByteArray("\x89PNG\r\n\x1a\n"));
}

TEST(LanguageTexts, MissingTextGivesNumberOrEmptyByFlag)
{
    QTemporaryDir dir;
    TVOResourceHandler handler;
    handler.LoadResourceFile(writeModule(dir, "200=OK\n300=\n"));
    EXPECT_EQ(handler.GetString(999), QStringLiteral("999"));
    EXPECT_EQ(handler.GetString(999, true), QString());
    EXPECT_EQ(handler.GetString(300), QStringLiteral("300"));
    EXPECT_EQ(handler.GetString(300, true), QString());
}

TEST(LanguageTexts, LongTextIsCutToTheBufferWithoutSplittingACharacter)
{
    QTemporaryDir dir;
    QByteArray longText(TVOResourceHandler::MaxTextBytes + 100, 'a');
    longText[TVOResourceHandler::MaxTextBytes - 2] = '\xC3';  // a two-byte character across the limit
    longText[TVOResourceHandler::MaxTextBytes - 1] = '\xA9';
    TVOResourceHandler handler;
    handler.LoadResourceFile(writeModule(dir, "7=" + longText + "\n"));
    const QByteArray got = handler.GetString(7).toUtf8();
    EXPECT_EQ(got.size(), TVOResourceHandler::MaxTextBytes - 2);
    EXPECT_EQ(got, longText.left(TVOResourceHandler::MaxTextBytes - 2));
}

TEST(LanguageTexts, ABrokenModuleAnswersNumbers)
{
    QTemporaryDir dir;
    TVOResourceHandler handler;
    handler.LoadResourceFile(writeModule(dir, "200=OK\nthis is not an entry\n"));
    EXPECT_FALSE(handler.IsOpen());
    EXPECT_EQ(handler.GetString(200), QStringLiteral("200"));
    int line = 0;
    EXPECT_FALSE(handler.Parse("1=a\n\nx=b\n", &line));
    EXPECT_EQ(line, 3);
}

} // namespace
