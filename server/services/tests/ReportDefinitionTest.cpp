// The definition reader: keys in line order, category matching, the quoting of a definition
// line and the CR LF list over a folder of "*.def" files.
#include "server/services/ReportDefinition.h"
#include "server/services/tests/CommaFields.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ReportFolder : public ::testing::Test
{
protected:
    void Write(const QString &name, const QByteArray &text)
    {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString Path(const QString &name) const { return folder.filePath(name); }
    QString List(const QString &category) const
    {
        return ReportDefinition::GenerateReportDefinition(folder.path(), category);
    }

    QTemporaryDir folder;
};

using kestrova::test::SplitLine;

} // namespace

TEST(ReportDefinitionKeys, AreTheNineteenFieldsInLineOrder)
{
    const QStringList &keys = ReportDefinition::Keys();
    ASSERT_EQ(keys.size(), 19);
    EXPECT_EQ(keys.first(), "Report ID");
    EXPECT_EQ(keys.at(6), "Data source");
    EXPECT_EQ(keys.at(8), "ORDER BY");
    EXPECT_EQ(keys.at(15), "Supports Word");
    EXPECT_EQ(keys.last(), "Supports Period");
}

TEST(ReportDefinitionCommaText, QuotesOnlyValuesWithBlanksCommasQuotesOrControlCharacters)
{
    EXPECT_EQ(ReportDefinition::CommaText({"plain", "", "two words", "a,b", "say \"hi\"", "tab\there", "x"}),
              "plain,,\"two words\",\"a,b\",\"say \"\"hi\"\"\",\"tab\there\",x");
}

TEST_F(ReportFolder, ALineHoldsEveryKeyInOrderWithBooleanDefaults)
{
    Write("r1.def", "[Report definition]\r\nReport ID=R1\r\nReport Title=Contact list\r\n");
    const QString line = ReportDefinition::ReadReportDefinition(Path("r1.def"), QString());
    EXPECT_EQ(line, "R1,,,,\"Contact list\",,,,,,,,,,,FALSE,,,FALSE");
    EXPECT_EQ(line.count(QLatin1Char(',')), 18);
}

TEST_F(ReportFolder, ValuesComeBackTrimmedAndInTheirFieldPositions)
{
    Write("full.def", "[Report definition]\n"
                      "Report ID = {AAA}\n"
                      "Category={00000000-0000-0000-0000-000000000001}\n"
                      "Data source=rptContacts\n"
                      "ORDER BY=LastName, FirstName\n"
                      "Description=Line one, with \"quotes\"\n"
                      "Supports Word=TRUE\n"
                      "WordDoc Portrait=Contacts.docx\n"
                      "Supports Period=FALSE\n"
                      "[Other]\nReport ID=ignored\n");
    const QStringList fields = SplitLine(ReportDefinition::ReadReportDefinition(Path("full.def"), QString()));
    ASSERT_EQ(fields.size(), 19);
    EXPECT_EQ(fields.at(0), "{AAA}");
    EXPECT_EQ(fields.at(1), "{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(fields.at(6), "rptContacts");
    EXPECT_EQ(fields.at(7), "Line one, with \"quotes\"");
    EXPECT_EQ(fields.at(8), "LastName, FirstName");
    EXPECT_EQ(fields.at(15), "TRUE");
    EXPECT_EQ(fields.at(16), "Contacts.docx");
    EXPECT_EQ(fields.at(18), "FALSE");
}

TEST_F(ReportFolder, ACategoryMatchesWhenItOccursAnywhereInTheFileValue)
{
    Write("two.def", "[Report definition]\nReport ID=R2\n"
                     "Category={00000000-0000-0000-0000-000000000002}{00000000-0000-0000-0000-000000000006}\n");
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("two.def"), "{00000000-0000-0000-0000-000000000002}")
                    .startsWith("R2,"));
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("two.def"), "{00000000-0000-0000-0000-000000000006}")
                    .startsWith("R2,"));
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("two.def"), "{00000000-0000-0000-0000-000000000001}").isEmpty());
}

TEST_F(ReportFolder, CategoryMatchingIsCaseSensitiveAndAnEmptyFileValueMatchesNothing)
{
    Write("lower.def", "[Report definition]\nReport ID=R\nCategory={0000000a-0000-0000-0000-000000000001}\n");
    Write("none.def", "[Report definition]\nReport ID=N\n");
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("lower.def"), "{0000000A-0000-0000-0000-000000000001}").isEmpty());
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("none.def"), "{0000000A-0000-0000-0000-000000000001}").isEmpty());
}

TEST_F(ReportFolder, AFileWithoutTheSectionGivesEmptyValuesAndBooleanDefaultsForAnEmptyRequest)
{
    Write("bare.def", "[Something else]\nReport ID=X\n");
    EXPECT_EQ(ReportDefinition::ReadReportDefinition(Path("bare.def"), QString()), ",,,,,,,,,,,,,,,FALSE,,,FALSE");
    EXPECT_TRUE(ReportDefinition::ReadReportDefinition(Path("bare.def"), "{00000000-0000-0000-0000-000000000001}").isEmpty());
}

TEST_F(ReportFolder, TheListHasOneCrLfEntryPerDefinitionFileInNameOrder)
{
    Write("b.def", "[Report definition]\nReport ID=B\nCategory={00000000-0000-0000-0000-000000000004}\n");
    Write("a.def", "[Report definition]\nReport ID=A\nCategory={00000000-0000-0000-0000-000000000001}\n");
    Write("notes.txt", "[Report definition]\nReport ID=T\n");
    const QStringList all = List(QString()).split("\r\n");
    ASSERT_EQ(all.size(), 3); // two lines and the empty text after the last CR LF
    EXPECT_TRUE(all.at(0).startsWith("A,"));
    EXPECT_TRUE(all.at(1).startsWith("B,"));
    EXPECT_TRUE(all.at(2).isEmpty());

    const QString families = List("{00000000-0000-0000-0000-000000000004}");
    EXPECT_TRUE(families.startsWith("\r\nB,"));
    EXPECT_TRUE(families.endsWith(",FALSE\r\n"));
}

TEST_F(ReportFolder, ARequestMatchingNothingGivesABareCrLfPerFile)
{
    Write("a.def", "[Report definition]\nCategory={00000000-0000-0000-0000-000000000001}\n");
    Write("b.DEF", "[Report definition]\nCategory={00000000-0000-0000-0000-000000000001}\n");
    EXPECT_EQ(List("{00000000-0000-0000-0000-000000000003}"), "\r\n\r\n");
}

TEST_F(ReportFolder, OnlyDefinitionFilesAreReadAndFoldersAreSkipped)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder.def"));
    Write("x.def.bak", "[Report definition]\nReport ID=Old\n");
    Write("r.def", "[Report definition]\nReport ID=R\n");
    EXPECT_EQ(List(QString()), "R,,,,,,,,,,,,,,,FALSE,,,FALSE\r\n");
}

TEST(ReportFolderMissing, GivesAnEmptyList)
{
    EXPECT_TRUE(ReportDefinition::GenerateReportDefinition("/nonexistent/kestrova/reports", QString()).isEmpty());
}
