// Laying a dataset out on pages: page breaks, page numbers, groups and their counts, groups
// on pages of their own, labels in columns, growing texts, and what the engine refuses.
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/tests/ReportTestData.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include <QDir>
#include <QFontMetricsF>

#include <gtest/gtest.h>

using kestrova::test::Table;
using kestrova::test::Template;

namespace {

TDATableData Rows(int count, const QString &groupEvery = {})
{
    QList<QVariantList> rows;
    for (int i = 1; i <= count; ++i) {
        const int group = groupEvery.isEmpty() ? 0 : (i - 1) / groupEvery.toInt();
        rows << QVariantList{QStringLiteral("Row %1").arg(i), QStringLiteral("Group %1").arg(group + 1), i};
    }
    return Table(QStringLiteral("rows"), {QStringLiteral("Name"), QStringLiteral("MemberOf"), QStringLiteral("Number")}, rows);
}

QStringList Texts(const ReportDocument &document, int page)
{
    QStringList texts;
    for (const ReportElement &element : document.Page(page).Elements)
        if (element.ElementKind == ReportElement::Kind::Text)
            texts << element.Text;
    return texts;
}

const ReportElement *Find(const ReportDocument &document, int page, const QString &text)
{
    for (const ReportElement &element : document.Page(page).Elements)
        if (element.Text == text)
            return &element;
    return nullptr;
}

// Body from 108 to 684 points: 576 points, 28 rows of 20.
const QString kList = QStringLiteral(
    "<pageHeader height=\"36\"><text width=\"300\" height=\"20\">Heading</text></pageHeader>"
    "<detail height=\"20\"><field name=\"Name\" width=\"200\" height=\"20\"/></detail>"
    "<pageFooter height=\"36\"><expression y=\"10\" height=\"20\">'Page ' + PageNo() + ' of ' + PageCount()</expression></pageFooter>");

} // namespace

TEST(ReportEngine, AListBreaksThePageWhereTheNextRowNoLongerFits)
{
    const ReportDocument document = ReportEngine::Render(Template(kList), Rows(60));
    ASSERT_EQ(document.PageCount(), 3);
    EXPECT_EQ(document.PageSize(), QSizeF(612, 792));
    const int perPage[] = {28, 28, 4};
    int row = 1;
    for (int page = 0; page < 3; ++page) {
        const QStringList texts = Texts(document, page);
        EXPECT_EQ(texts.first(), "Heading");
        EXPECT_EQ(texts.last(), QStringLiteral("Page %1 of 3").arg(page + 1));
        EXPECT_EQ(texts.size(), perPage[page] + 2);
        EXPECT_EQ(texts.at(1), QStringLiteral("Row %1").arg(row));
        row += perPage[page];
    }
    EXPECT_EQ(Find(document, 0, QStringLiteral("Row 1"))->Rect, QRectF(72, 108, 200, 20));
    EXPECT_EQ(Find(document, 0, QStringLiteral("Page 1 of 3"))->Rect.top(), 792 - 72 - 36 + 10);
}

TEST(ReportEngine, GroupsPrintTheirHeadersAndFootersWithTheirOwnCounts)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<title height=\"30\"><expression height=\"20\">Title() + ': ' + Count()</expression></title>"
        "<group on=\"MemberOf\">"
        "<header height=\"20\"><expression height=\"20\">MemberOf + ' (' + Count() + ')'</expression></header>"
        "<footer height=\"20\"><expression height=\"20\">'Total ' + Sum(Number)</expression></footer>"
        "</group>"
        "<detail height=\"20\"><field name=\"Name\" width=\"200\" height=\"20\"/></detail>"
        "<summary height=\"20\"><expression height=\"20\">'Rows: ' + Count()</expression></summary>"));
    const ReportDocument document = ReportEngine::Render(report, Rows(5, QStringLiteral("3")));
    ASSERT_EQ(document.PageCount(), 1);
    EXPECT_EQ(Texts(document, 0), (QStringList{"Test report: 5", "Group 1 (3)", "Row 1", "Row 2", "Row 3", "Total 6", "Group 2 (2)",
                                               "Row 4", "Row 5", "Total 9", "Rows: 5"}));
}

TEST(ReportEngine, AGroupOnNewPagesStartsEachGroupOnAPageOfItsOwn)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<title height=\"20\"><text height=\"20\">Sheets</text></title>"
        "<group on=\"MemberOf\" newPage=\"true\"><header height=\"20\"><field name=\"MemberOf\" height=\"20\"/></header></group>"
        "<detail height=\"20\"><field name=\"Name\" height=\"20\"/></detail>"));
    const ReportDocument document = ReportEngine::Render(report, Rows(5, QStringLiteral("2")));
    ASSERT_EQ(document.PageCount(), 3);
    EXPECT_EQ(Texts(document, 0), (QStringList{"Sheets", "Group 1", "Row 1", "Row 2"}));
    EXPECT_EQ(Texts(document, 1), (QStringList{"Group 2", "Row 3", "Row 4"}));
    EXPECT_EQ(Texts(document, 2), (QStringList{"Group 3", "Row 5"}));
}

TEST(ReportEngine, AGroupContinuedOnTheNextPageRepeatsItsHeader)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<group on=\"MemberOf\" repeatHeader=\"true\"><header height=\"48\"><field name=\"MemberOf\" height=\"20\"/></header></group>"
        "<detail height=\"50\"><field name=\"Name\" height=\"20\"/></detail>"));
    // 648 points: the header and 12 rows fit on the first page.
    const ReportDocument document = ReportEngine::Render(report, Rows(14, QStringLiteral("20")));
    ASSERT_EQ(document.PageCount(), 2);
    EXPECT_EQ(Texts(document, 0).size(), 13);
    EXPECT_EQ(Texts(document, 1), (QStringList{"Group 1", "Row 13", "Row 14"}));
}

TEST(ReportEngine, LabelsFillTheSheetAcrossThenDown)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<columns count=\"3\" width=\"144\" spacing=\"18\"/>"
        "<detail height=\"72\"><field name=\"Name\" width=\"100%\" height=\"20\"/></detail>"));
    const ReportDocument document = ReportEngine::Render(report, Rows(30));
    // Nine rows of 72 points fill the 648 points between the margins: 27 labels a sheet.
    ASSERT_EQ(document.PageCount(), 2);
    EXPECT_EQ(Texts(document, 0).size(), 27);
    EXPECT_EQ(Texts(document, 1), (QStringList{"Row 28", "Row 29", "Row 30"}));
    EXPECT_EQ(Find(document, 0, QStringLiteral("Row 2"))->Rect, QRectF(72 + 162, 72, 144, 20));
    EXPECT_EQ(Find(document, 0, QStringLiteral("Row 3"))->Rect.left(), 72 + 324);
    EXPECT_EQ(Find(document, 0, QStringLiteral("Row 4"))->Rect.topLeft(), QPointF(72, 144));
    EXPECT_EQ(Find(document, 0, QStringLiteral("Row 27"))->Rect.top(), 72 + 8 * 72);
}

TEST(ReportEngine, AGrowingTextPushesWhatIsBelowItDownButNotWhatIsBeside)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<detail height=\"40\">"
        "<field name=\"Name\" width=\"100\" height=\"12\" grow=\"true\"/>"
        "<text x=\"200\" width=\"100\" height=\"12\">Beside</text>"
        "<text y=\"20\" width=\"100\" height=\"12\">Below</text>"
        "</detail>"
        "<summary height=\"10\"><text height=\"10\">End</text></summary>"));
    const TDATableData data = Table(QStringLiteral("t"), {QStringLiteral("Name")},
                                    {{QStringLiteral("one\ntwo\r\nthree\rfour")}});
    const ReportDocument document = ReportEngine::Render(report, data);
    const ReportElement *grown = Find(document, 0, QStringLiteral("one\ntwo\nthree\nfour"));
    ASSERT_TRUE(grown);
    const double growth = grown->Rect.height() - 12;
    EXPECT_GT(growth, 20); // four lines of nine points
    EXPECT_EQ(Find(document, 0, QStringLiteral("Beside"))->Rect.top(), 72);
    EXPECT_DOUBLE_EQ(Find(document, 0, QStringLiteral("Below"))->Rect.top(), 72 + 20 + growth);
    // The band keeps the room it had under its lowest item.
    EXPECT_DOUBLE_EQ(Find(document, 0, QStringLiteral("End"))->Rect.top(), 72 + 40 + growth);
}

TEST(ReportEngine, PageBandsCanStayOffTheFirstPage)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<title height=\"50\"><text height=\"20\">Big title</text></title>"
        "<pageHeader height=\"36\" firstPage=\"false\"><text height=\"20\">Small heading</text></pageHeader>"
        "<detail height=\"100\"><field name=\"Name\" height=\"20\"/></detail>"));
    const ReportDocument document = ReportEngine::Render(report, Rows(8));
    ASSERT_EQ(document.PageCount(), 2);
    EXPECT_EQ(Texts(document, 0).first(), "Big title");
    EXPECT_EQ(Find(document, 0, QStringLiteral("Big title"))->Rect.top(), 72);
    EXPECT_EQ(Texts(document, 1).first(), "Small heading");
}

TEST(ReportEngine, AnEmptyDatasetGivesNoPages)
{
    EXPECT_TRUE(ReportEngine::Render(Template(kList), Rows(0)).IsEmpty());
}

TEST(ReportEngine, ATemplateThatReadsAFieldTheDatasetLacksIsRefusedNamingIt)
{
    const ReportTemplate report = Template(QStringLiteral(
        "<group on=\"Upper(Missing)\"/><detail height=\"20\"><field name=\"name\"/><image field=\"Picture\"/></detail>"));
    EXPECT_EQ(ReportEngine::MissingFields(report, Rows(1).Fields), (QStringList{"Missing", "Picture"}));
    try {
        ReportEngine::Render(report, Rows(1));
        ADD_FAILURE() << "rendered";
    } catch (const EReportError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("Missing, Picture"))) << e.Message().toStdString();
    }
}

TEST(ReportEngine, ThePaperCanBeChosenAtRenderingTime)
{
    ReportRenderOptions options;
    options.PageSize = QPageSize(QPageSize::A4);
    options.Orientation = QPageLayout::Landscape;
    const ReportDocument document = ReportEngine::Render(Template(kList), Rows(3), options);
    EXPECT_NEAR(document.PageSize().width(), 841.9, 0.1);
    EXPECT_NEAR(document.PageSize().height(), 595.3, 0.1);
    EXPECT_EQ(document.PageLayout().orientation(), QPageLayout::Landscape);
}

TEST(ReportEngine, PagesPaintAsPicturesWithTheirText)
{
    const ReportDocument document = ReportEngine::Render(Template(kList), Rows(2));
    const QImage page = document.PageImage(0, 72);
    EXPECT_EQ(page.size(), QSize(612, 792));
    // Something dark where the first row's text stands, nothing on the margin.
    const auto inked = [&page](const QRect &area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    EXPECT_TRUE(inked(QRect(72, 108, 60, 14)));
    EXPECT_FALSE(inked(QRect(0, 0, 60, 792)));
    EXPECT_THROW(document.PageImage(1, 72), EReportError);
}

namespace {

// A value of 291 characters, as a user once typed one, made of the word again and again.
QString LongValue(const QString &word)
{
    QString value;
    while (value.size() < 291)
        value += word;
    return value.left(291);
}

// What the painter lays out for a text element, in points.
QRectF LaidOut(const ReportElement &element)
{
    const double dots = ReportDocument::kLayoutDpi / 72;
    const QRectF laidOut = QFontMetricsF(ReportDocument::LayoutFont(element.Font))
                               .boundingRect(QRectF(0, 0, element.Rect.width() * dots, 1e9), element.WordWrap ? Qt::TextWordWrap : 0,
                                             element.Text);
    return {laidOut.topLeft() / dots, laidOut.size() / dots};
}

} // namespace

TEST(ReportEngine, ALongValueIsBrokenOrCutInsideItsItemNeverPastTheMargin)
{
    // In words, and as one long word.
    const QString words = LongValue(QStringLiteral("Bartholomew "));
    const QString word = QString(291, QLatin1Char('M'));
    ASSERT_EQ(words.size(), 291);
    struct Case
    {
        const char *What;
        QString Attributes;
        QString Value;
        bool Whole;  // every letter stays, on as many lines as it takes
    };
    const Case cases[] = {
        {"growing words", QStringLiteral("grow=\"true\""), words, true},
        {"a growing word", QStringLiteral("grow=\"true\""), word, true},
        {"wrapped words in a fixed height", QStringLiteral("wrap=\"true\""), words, false},
        {"one line of words", QString(), words, false},
        {"one line of one word", QString(), word, false},
    };
    const double margin = 612 - 72;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        const ReportDocument document = ReportEngine::Render(
            Template(QStringLiteral("<detail height=\"30\"><field name=\"Name\" x=\"300\" width=\"140\" height=\"24\" %1/>"
                                    "<field name=\"Number\" x=\"445\" width=\"23\" height=\"12\"/></detail>")
                         .arg(c.Attributes)),
            Table(QStringLiteral("rows"), {QStringLiteral("Name"), QStringLiteral("Number")}, {{c.Value, 7}}));
        const ReportElement &name = document.Page(0).Elements.at(0);
        EXPECT_LE(name.Rect.right(), margin);
        // What the painter lays out: no wider than the item, and no taller unless it grew.
        const QRectF laidOut = LaidOut(name);
        const double descent = QFontMetricsF(ReportDocument::LayoutFont(name.Font)).descent() * 72 / ReportDocument::kLayoutDpi;
        EXPECT_LE(laidOut.width(), name.Rect.width() + 0.01) << name.Text.toStdString();
        EXPECT_LE(laidOut.height() - descent, name.Rect.height() + 0.01) << name.Text.toStdString();
        QString shown = name.Text;
        shown.remove(QLatin1Char('\n')).remove(QLatin1Char(' '));
        QString value = c.Value;
        value.remove(QLatin1Char(' '));
        if (c.Whole)
            EXPECT_EQ(shown, value);
        else
            EXPECT_TRUE(value.startsWith(shown) && shown.size() < value.size());
        // The item beside it is not written over.
        EXPECT_EQ(document.Page(0).Elements.at(1).Text, QStringLiteral("7"));
    }
}

TEST(ReportEngine, AValueThatFitsItsItemIsShownAsItIs)
{
    const ReportDocument document = ReportEngine::Render(
        Template(QStringLiteral("<detail height=\"40\"><field name=\"Name\" width=\"300\" height=\"36\" wrap=\"true\"/></detail>")),
        Table(QStringLiteral("rows"), {QStringLiteral("Name")}, {{QStringLiteral("12 Church Street\nSpringfield, IL 62701")}}));
    EXPECT_EQ(document.Page(0).Elements.at(0).Text, QStringLiteral("12 Church Street\nSpringfield, IL 62701"));
}

TEST(ReportEngine, NoShippedTemplatePrintsALongValuePastItsItemOrTheMargin)
{
    const QString name = LongValue(QStringLiteral("Wolfeschlegelsteinhausen "));
    const QDir folder(QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports"));
    for (const QString &file : folder.entryList({QStringLiteral("*.rtm")})) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray xml = kestrova::test::ReadFile(folder.filePath(file));
        ASSERT_FALSE(xml.isEmpty());
        const ReportTemplate report = ReportTemplate::FromXml(xml);
        QVariantList row;
        for (int i = 0; i < report.FieldNames().size(); ++i)
            row << name;
        const ReportDocument document = ReportEngine::Render(report, Table(QStringLiteral("rows"), report.FieldNames(), {row, row}));
        const double right = document.PageSize().width() - report.Margins.right();
        for (int page = 0; page < document.PageCount(); ++page)
            for (const ReportElement &element : document.Page(page).Elements) {
                if (element.ElementKind != ReportElement::Kind::Text || element.Text.isEmpty())
                    continue;
                EXPECT_LE(element.Rect.right(), right + 0.01) << element.Text.toStdString();
                EXPECT_LE(LaidOut(element).width(), element.Rect.width() + 0.01) << element.Text.toStdString();
            }
    }
}
