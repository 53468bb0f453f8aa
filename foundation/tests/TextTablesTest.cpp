#include "foundation/TextTables.h"

#include "testsupport/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeTable(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(kestrova::test::WriteFile(path, content));
    return path;
}

class TextTablesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tables.AddTable(QLocale::English, writeTable(dir, "en.lng", "1=Updater title\n2=Please wait\n")));
        ASSERT_TRUE(tables.AddTable(QLocale::NorwegianBokmal, writeTable(dir, "nb.lng", "1=Oppdatering\n2=\n")));
    }
    QTemporaryDir dir;
    TTextTables tables;
};

TEST_F(TextTablesTest, ALanguageWithItsOwnTableGetsItsTexts)
{
    tables.SetLanguage(QLocale::NorwegianBokmal);
    EXPECT_EQ(tables.Text(1), QStringLiteral("Oppdatering"));
}

TEST_F(TextTablesTest, EnglishStandsInForAMissingTableOrAnEmptyText)
{
    tables.SetLanguage(QLocale::NorwegianBokmal);
    EXPECT_EQ(tables.Text(2), QStringLiteral("Please wait"));
    tables.SetLanguage(QLocale::German);
    EXPECT_EQ(tables.Text(1), QStringLiteral("Updater title"));
    EXPECT_EQ(tables.Text(3), QString());
}

TEST_F(TextTablesTest, AModuleThatCannotBeReadLeavesNoTable)
{
    EXPECT_FALSE(tables.AddTable(QLocale::NorwegianBokmal, writeTable(dir, "bad.lng", "not a module line\n")));
    tables.SetLanguage(QLocale::NorwegianBokmal);
    EXPECT_EQ(tables.Text(1), QStringLiteral("Updater title"));
    EXPECT_FALSE(tables.AddTable(QLocale::French, dir.filePath("missing.lng")));
}

} // namespace
