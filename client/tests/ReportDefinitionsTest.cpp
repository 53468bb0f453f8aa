// The report definition lines as the server writes them, read by the host: every shipped
// definition file field by field, the comma-text rules, and the lines that go wrong.
#include "client/uReportDefinitions.h"

#include "server/services/ReportDefinition.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include "foundation/IniFile.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kReports = QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports/");
const QString kSection = QStringLiteral("Report definition");

QString Line(const QStringList &fields)
{
    return ReportDefinition::CommaText(fields);
}

// Nineteen fields of a list report, with a few set.
QStringList Fields(const QList<std::pair<int, QString>> &set = {})
{
    QStringList fields(TBaseReportDef::kFieldCount);
    fields[2] = ReportType::List;
    fields[15] = QStringLiteral("FALSE");
    fields[18] = QStringLiteral("FALSE");
    for (const auto &[index, value] : set)
        fields[index] = value;
    return fields;
}

} // namespace

TEST(ReportDefinitions, EveryShippedDefinitionReadsBackFieldByField)
{
    // The server's own answer for every file, as it goes over the wire.
    const QString text = ReportDefinition::GenerateReportDefinition(kReports, QString());
    const TReportDefinitionList definitions = ReportDefinitions::ParseDefinitions(text);
    const QStringList files = QDir(kReports).entryList({QStringLiteral("*.def")}, QDir::Files, QDir::Name);
    ASSERT_EQ(int(definitions.size()), files.size());
    ASSERT_GE(files.size(), 21);
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        IniFile ini(kReports + files[i]);
        ASSERT_TRUE(ini.load());
        const auto value = [&ini](const char *key) { return ini.value(kSection, QLatin1String(key)); };
        const TBaseReportDef &d = *definitions[i];
        EXPECT_EQ(d.ReportID, value("Report ID"));
        EXPECT_EQ(d.Category, value("Category"));
        EXPECT_EQ(d.ReportType, value("Report Type"));
        EXPECT_EQ(d.ReportName, value("Report Name"));
        EXPECT_EQ(d.ReportTitle, value("Report Title"));
        EXPECT_EQ(d.ReportCaption, value("Report Caption"));
        EXPECT_EQ(d.DataSource, value("Data source"));
        EXPECT_EQ(d.Description, value("Description").replace(QStringLiteral("#13"), QStringLiteral("\r")));
        EXPECT_EQ(d.OrderBy, value("ORDER BY"));
        EXPECT_EQ(d.ReportFormat, value("Report Format"));
        EXPECT_EQ(d.ReportPaperFormat, value("Report Paper Format"));
        EXPECT_EQ(d.ReportNameLandscape, value("Report Name Landscape"));
        EXPECT_EQ(d.ReportNamePortrait, value("Report Name Portrait"));
        EXPECT_EQ(d.SupportsWord, value("Supports Word").compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
        EXPECT_EQ(d.WordDocPortrait, value("WordDoc Portrait"));
        EXPECT_EQ(d.WordDocLandscape, value("WordDoc Landscape"));
        EXPECT_EQ(d.SupportsPeriod, value("Supports Period").compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0);
        EXPECT_EQ(d.IsLabelReport(), value("Report Type") == ReportType::Label);
        if (d.IsLabelReport()) {
            EXPECT_EQ(static_cast<const TLabelReportDef &>(d).LabelWidth, value("Label width"));
            EXPECT_EQ(static_cast<const TLabelReportDef &>(d).LabelHeight, value("Label height"));
        }
    }
}

TEST(ReportDefinitions, ACategoryRequestListsOnlyItsDefinitions)
{
    const TReportDefinitionList schedule =
        ReportDefinitions::ParseDefinitions(ReportDefinition::GenerateReportDefinition(kReports, ReportCategory::Schedule));
    ASSERT_FALSE(schedule.empty());
    for (const auto &d : schedule)
        EXPECT_TRUE(ReportCategory::Holds(d->Category, ReportCategory::Schedule)) << d->ReportTitle.toStdString();
}

TEST(ReportDefinitions, CommaTextKeepsQuotedBlanksCommasAndQuotes)
{
    EXPECT_EQ(ReportDefinitions::SplitCommaText(QStringLiteral("R1,,\"Contact, list\",\"He said \"\"hi\"\"\",x")),
              (QStringList{QStringLiteral("R1"), QString(), QStringLiteral("Contact, list"), QStringLiteral("He said \"hi\""),
                           QStringLiteral("x")}));
    // An unquoted blank separates, as a comma does; a comma at the end leaves an empty field.
    EXPECT_EQ(ReportDefinitions::SplitCommaText(QStringLiteral(" a b ,c,")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QString()}));
    EXPECT_EQ(ReportDefinitions::SplitCommaText(QString()), QStringList());
}

TEST(ReportDefinitions, TheKindOfReportDecidesItsClass)
{
    auto label = ReportDefinitions::ParseDefinition(Fields({{2, ReportType::Label}, {10, QStringLiteral("2.625 in")}, {11, QStringLiteral("1 in")}}));
    ASSERT_TRUE(label && label->IsLabelReport());
    EXPECT_EQ(static_cast<TLabelReportDef &>(*label).LabelWidth, QStringLiteral("2.625 in"));
    EXPECT_EQ(static_cast<TLabelReportDef &>(*label).LabelHeight, QStringLiteral("1 in"));
    auto summary = ReportDefinitions::ParseDefinition(Fields({{2, ReportType::Summary}, {10, QStringLiteral("ignored")}}));
    ASSERT_TRUE(summary);
    EXPECT_FALSE(summary->IsLabelReport());
    EXPECT_FALSE(ReportDefinitions::ParseDefinition(Fields({{2, QStringLiteral("{00000000-0000-0000-0000-000000000009}")}})));
}

TEST(ReportDefinitions, DescriptionsTakeTheirLineBreaksAndTheOrientationPicksTheTemplate)
{
    const auto d = ReportDefinitions::ParseDefinition(Fields({{3, QStringLiteral("One.rtm")}, {7, QStringLiteral("First#13Second")}}));
    EXPECT_EQ(d->Description, QStringLiteral("First\rSecond"));
    EXPECT_FALSE(d->OffersOrientation());
    EXPECT_EQ(d->TemplateName(true), QStringLiteral("One.rtm"));
    EXPECT_EQ(d->TemplateName(false), QStringLiteral("One.rtm"));
    const auto pair = ReportDefinitions::ParseDefinition(Fields({{3, QStringLiteral("One.rtm")}, {13, QStringLiteral("L.rtm")},
                                                                 {14, QStringLiteral("P.rtm")}, {16, QStringLiteral("P.docx")},
                                                                 {17, QStringLiteral("L.docx")}}));
    EXPECT_TRUE(pair->OffersOrientation());
    EXPECT_EQ(pair->TemplateName(true), QStringLiteral("P.rtm"));
    EXPECT_EQ(pair->TemplateName(false), QStringLiteral("L.rtm"));
    EXPECT_EQ(pair->WordTemplateName(true), QStringLiteral("P.docx"));
    EXPECT_EQ(pair->WordTemplateName(false), QStringLiteral("L.docx"));
}

TEST(ReportDefinitions, AShortLineOrABadBooleanIsLoggedAndKeepsWhatWasRead)
{
    LogCapture log;
    QStringList shortLine = Fields({{0, QStringLiteral("R1")}, {4, QStringLiteral("Short")}});
    shortLine = shortLine.mid(0, 12);
    const auto cut = ReportDefinitions::ParseDefinition(shortLine);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->ReportID, QStringLiteral("R1"));
    EXPECT_EQ(cut->ReportTitle, QStringLiteral("Short"));

    const auto bad = ReportDefinitions::ParseDefinition(
        Fields({{0, QStringLiteral("R2")}, {14, QStringLiteral("P.rtm")}, {15, QStringLiteral("maybe")}, {16, QStringLiteral("P.docx")}}));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->ReportNamePortrait, QStringLiteral("P.rtm"));
    EXPECT_FALSE(bad->SupportsWord);
    EXPECT_TRUE(bad->WordDocPortrait.isEmpty());  // read no further

    const QStringList lines = log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("GetReportDefObject"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("12 of 19"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("maybe"))) << lines[1].toStdString();

    // Such a definition is still listed; numbers read as Booleans.
    const TReportDefinitionList listed =
        ReportDefinitions::ParseDefinitions(Line(shortLine) + QStringLiteral("\r\n") + Line(Fields({{15, QStringLiteral("-1")}})));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[1]->SupportsWord);
}

TEST(ReportDefinitions, EmptyLinesAndUnknownKindsAreLeftOut)
{
    const QString text = Line(Fields({{0, QStringLiteral("A")}})) + QStringLiteral("\r\n\r\n") +
                         Line(Fields({{0, QStringLiteral("B")}, {2, QStringLiteral("{00000000-0000-0000-0000-000000000004}")}})) +
                         QStringLiteral("\r\n") + Line(Fields({{0, QStringLiteral("C")}, {2, ReportType::Label}})) + QStringLiteral("\r\n");
    const TReportDefinitionList definitions = ReportDefinitions::ParseDefinitions(text);
    ASSERT_EQ(definitions.size(), 2u);
    EXPECT_EQ(definitions[0]->ReportID, QStringLiteral("A"));
    EXPECT_EQ(definitions[1]->ReportID, QStringLiteral("C"));
}
