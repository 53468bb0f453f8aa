// The designer's edits of a template without a window: every shipped template written back and
// read again renders the same; items moved and resized stay inside their band; bands and items
// come and go within the format's rules; refused edits change nothing; every edit is a step
// undone and redone; pictures keep their shape; and what is saved renders as it was edited.
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/ReportTemplateEditor.h"
#include "reporting/tests/ReportTestData.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <optional>

#include <gtest/gtest.h>

using kestrova::test::ReadFile;
using kestrova::test::Table;
using kestrova::test::Template;

namespace {

// Rows with a value for every field the template reads.
TDATableData RowsFor(const ReportTemplate &report, int count)
{
    QList<QVariantList> rows;
    for (int r = 0; r < count; ++r) {
        QVariantList row;
        for (const QString &field : report.FieldNames())
            row << QStringLiteral("%1 %2").arg(field).arg(r / 3);
        rows << row;
    }
    return Table(QStringLiteral("rows"), report.FieldNames(), rows);
}

const QString kBands = QStringLiteral(
    "<pageHeader height=\"30\"><text width=\"200\" height=\"14\">Heading</text></pageHeader>"
    "<detail height=\"20\"><field name=\"Name\" x=\"10\" y=\"2\" width=\"150\" height=\"14\"/>"
    "<field name=\"Town\" x=\"200\" y=\"2\" width=\"100\" height=\"14\"/></detail>");

TDATableData People()
{
    return Table(QStringLiteral("people"), {QStringLiteral("Name"), QStringLiteral("Town")},
                 {{QStringLiteral("Anna Adler"), QStringLiteral("Peoria")}, {QStringLiteral("Hugo Falk"), QStringLiteral("Joliet")}});
}

const ReportElement *Showing(const ReportDocument &document, const QString &text)
{
    for (const ReportElement &element : document.Page(0).Elements)
        if (element.Text == text)
            return &element;
    return nullptr;
}

constexpr ReportItemRef kName{{ReportBandKind::Detail}, 0};
constexpr ReportItemRef kTown{{ReportBandKind::Detail}, 1};

} // namespace

TEST(ReportTemplateWriter, EveryShippedTemplateWrittenBackRendersTheSame)
{
    const QDir folder(QStringLiteral(KESTROVA_SOURCE_DIR "/server/Reports"));
    const QStringList files = folder.entryList({QStringLiteral("*.rtm")});
    ASSERT_GE(files.size(), 20);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const ReportTemplate original = ReportTemplate::FromXml(ReadFile(folder.filePath(file)));
        const QByteArray written = original.ToXml();
        const ReportTemplate again = ReportTemplate::FromXml(written);
        EXPECT_EQ(again.ToXml(), written);
        const TDATableData rows = RowsFor(original, 40);
        const ReportDocument before = ReportEngine::Render(original, rows);
        const ReportDocument after = ReportEngine::Render(again, rows);
        ASSERT_EQ(after.PageCount(), before.PageCount());
        for (int page = 0; page < before.PageCount(); ++page) {
            const QList<ReportElement> &was = before.Page(page).Elements;
            const QList<ReportElement> &is = after.Page(page).Elements;
            ASSERT_EQ(is.size(), was.size()) << "page " << page + 1;
            for (int i = 0; i < was.size(); ++i) {
                EXPECT_EQ(is[i].Text, was[i].Text);
                EXPECT_EQ(is[i].Font, was[i].Font);
                EXPECT_EQ(is[i].Alignment, was[i].Alignment);
                EXPECT_NEAR(is[i].Rect.left(), was[i].Rect.left(), 0.001);
                EXPECT_NEAR(is[i].Rect.top(), was[i].Rect.top(), 0.001);
                EXPECT_NEAR(is[i].Rect.width(), was[i].Rect.width(), 0.001);
                EXPECT_NEAR(is[i].Rect.height(), was[i].Rect.height(), 0.001);
            }
        }
    }
}

TEST(ReportTemplateWriter, TextsThatXmlMustEscapeComeBackAsTheyWere)
{
    ReportTemplateEditor editor(Template(kBands));
    const ReportItemRef text{{ReportBandKind::PageHeader}, 0};
    editor.SetText(text, QStringLiteral("Tom & Jerry's <list>\n  \"second\" line"));
    const ReportItemRef expression = editor.AddItem({ReportBandKind::PageHeader}, ReportItemKind::Expression);
    editor.SetExpression(expression, QStringLiteral("'<' + Name + '> & ''more'''"));
    const ReportTemplate again = ReportTemplate::FromXml(editor.Save());
    EXPECT_EQ(again.PageHeader->Items.at(0).Text, QStringLiteral("Tom & Jerry's <list>\n  \"second\" line"));
    EXPECT_EQ(again.PageHeader->Items.at(1).Expression->Source(), QStringLiteral("'<' + Name + '> & ''more'''"));
}

TEST(ReportTemplateEditor, ItemsMovedOrResizedStayInsideTheirBand)
{
    // The detail band is 468 points wide (Letter, one-inch margins) and 20 high; Name starts
    // at 10, 2 and is 150 by 14.
    struct Case
    {
        const char *What;
        QPointF By;
        std::optional<QSizeF> Size;
        QRectF Expected;
    };
    const Case cases[] = {
        {"a move within the band", {20, 2}, std::nullopt, {30, 4, 150, 14}},
        {"past the left edge", {-500, 0}, std::nullopt, {0, 2, 150, 14}},
        {"past the right margin", {900, 0}, std::nullopt, {318, 2, 150, 14}},
        {"above the band", {0, -50}, std::nullopt, {10, 0, 150, 14}},
        {"below the band", {0, 50}, std::nullopt, {10, 6, 150, 14}},
        {"wider than the band", {}, QSizeF(2000, 14), {0, 2, 468, 14}},
        {"to nothing", {}, QSizeF(-5, 0), {10, 2, ReportTemplateEditor::kMinimumSize, ReportTemplateEditor::kMinimumSize}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        ReportTemplateEditor editor(Template(kBands));
        if (c.Size)
            editor.ResizeItem(kName, *c.Size);
        else
            editor.MoveItem(kName, c.By);
        EXPECT_EQ(editor.Item(kName).Rect, c.Expected);
        EXPECT_TRUE(editor.IsModified());
    }

    // Made taller than its band, an item makes the band grow with it.
    ReportTemplateEditor editor(Template(kBands));
    editor.ResizeItem(kName, {150, 40});
    EXPECT_DOUBLE_EQ(editor.Band({ReportBandKind::Detail}).Height, 42);
    editor.SetBandHeight({ReportBandKind::Detail}, 5);
    EXPECT_DOUBLE_EQ(editor.Band({ReportBandKind::Detail}).Height, 42);
}

TEST(ReportTemplateEditor, BandsAndItemsComeAndGoWithinTheFormatsRulesAndRefusedEditsChangeNothing)
{
    ReportTemplateEditor editor(Template(kBands));
    editor.SetFields({QStringLiteral("Name"), QStringLiteral("Town")});
    const auto kinds = [&editor] {
        QList<ReportBandKind> list;
        for (const ReportBandRef &band : editor.Bands())
            list << band.Kind;
        return list;
    };
    EXPECT_EQ(kinds(), (QList<ReportBandKind>{ReportBandKind::PageHeader, ReportBandKind::Detail}));

    editor.AddBand(ReportBandKind::PageFooter);
    editor.AddBand(ReportBandKind::Title);
    const ReportBandRef header = editor.AddBand(ReportBandKind::GroupHeader, QStringLiteral("Town"));
    EXPECT_EQ(kinds(), (QList<ReportBandKind>{ReportBandKind::PageHeader, ReportBandKind::Title, ReportBandKind::GroupHeader,
                                              ReportBandKind::Detail, ReportBandKind::GroupFooter, ReportBandKind::PageFooter}));
    EXPECT_EQ(editor.BandCaption(header), QStringLiteral("Group header: Town"));
    // The group's header shows what it groups on.
    EXPECT_EQ(editor.Band(header).Items.at(0).Expression->Source(), QStringLiteral("Town"));

    // Refused edits change nothing, bands and items as well as their properties.
    const ReportItemRef expression{header, 0};
    ReportFont tiny;
    tiny.PointSize = 1;
    const struct
    {
        const char *What;
        std::function<void()> Edit;
    } refused[] = {
        {"a second page footer", [&] { editor.AddBand(ReportBandKind::PageFooter); }},
        {"a group on nothing", [&] { editor.AddBand(ReportBandKind::GroupHeader, QStringLiteral(" ")); }},
        {"a group on a field the data source lacks", [&] { editor.AddBand(ReportBandKind::GroupHeader, QStringLiteral("Parish")); }},
        {"the detail band deleted", [&] { editor.DeleteBand({ReportBandKind::Detail}); }},
        {"a band the report lacks", [&] { editor.DeleteBand({ReportBandKind::Summary}); }},
        {"an item that is not there", [&] { editor.DeleteItem({{ReportBandKind::Detail}, 7}); }},
        {"a field the data source lacks", [&] { editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Field, {}, QStringLiteral("Parish")); }},
        {"a picture of no field", [&] { editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Image); }},
        {"a picture of a field the data source lacks", [&] { editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Image, {}, QStringLiteral("Photo")); }},
        {"a file that is no picture", [&] { editor.AddPicture({ReportBandKind::Detail}, QByteArray("GIF89a but not really")); }},
        {"a field of a field item the data source lacks", [&] { editor.SetField(kName, QStringLiteral("Parish")); }},
        {"an empty field", [&] { editor.SetField(kName, QStringLiteral("  ")); }},
        {"a text on a field item", [&] { editor.SetText(kName, QStringLiteral("Fixed")); }},
        {"an expression that does not parse", [&] { editor.SetExpression(expression, QStringLiteral("'Page ' +")); }},
        {"an expression on a missing field", [&] { editor.SetExpression(expression, QStringLiteral("Upper(Parish)")); }},
        {"a font of one point", [&] { editor.SetFont(kName, tiny); }},
        {"a pen of fifty points", [&] { editor.SetFrame(kName, true, 50); }},
    };
    const QByteArray before = editor.Save();
    for (const auto &r : refused) {
        SCOPED_TRACE(r.What);
        EXPECT_THROW(r.Edit(), EReportError);
        EXPECT_EQ(editor.Save(), before);
    }

    // A field item shows the first field unless told; deleting it leaves the others.
    const ReportItemRef added = editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Field, {400, 0});
    EXPECT_EQ(editor.Item(added).FieldName, QStringLiteral("Name"));
    EXPECT_EQ(editor.Item(added).Rect.right(), 468);
    editor.DeleteItem(kName);
    EXPECT_EQ(editor.Band({ReportBandKind::Detail}).Items.size(), 2);
    EXPECT_EQ(editor.Item(kName).FieldName, QStringLiteral("Town"));

    // A group goes with the last of its bands.
    editor.DeleteBand(header);
    EXPECT_EQ(editor.Template().Groups.size(), 1);
    editor.DeleteBand({ReportBandKind::GroupFooter, 0});
    EXPECT_TRUE(editor.Template().Groups.isEmpty());
}

TEST(ReportTemplateEditor, WhatIsSavedRendersAsItWasEdited)
{
    ReportTemplateEditor editor(Template(kBands));
    editor.SetFields({QStringLiteral("Name"), QStringLiteral("Town")});
    editor.MoveItem(kName, {40, 3});
    editor.SetField(kTown, QStringLiteral("Name"));
    editor.SetField(kName, QStringLiteral("Town"));
    ReportFont font = editor.Item(kName).Font;
    font.Bold = true;
    font.PointSize = 11;
    editor.SetFont(kName, font);
    editor.SetAlignment(kName, Qt::AlignRight | Qt::AlignVCenter);
    editor.SetFrame(kName, true, 1.5);
    const ReportItemRef total = editor.AddItem(editor.AddBand(ReportBandKind::Summary), ReportItemKind::Expression);
    editor.SetExpression(total, QStringLiteral("Count() + ' people'"));

    const ReportDocument document = ReportEngine::Render(ReportTemplate::FromXml(editor.Save()), People());
    const ReportElement *town = Showing(document, QStringLiteral("Peoria"));
    ASSERT_NE(town, nullptr);
    // The body starts at the margin, 72, below the 30 points of the page header.
    EXPECT_EQ(town->Rect, QRectF(72 + 50, 72 + 30 + 5, 150, 14));
    EXPECT_TRUE(town->Font.Bold);
    EXPECT_EQ(town->Font.PointSize, 11);
    EXPECT_EQ(town->Alignment, Qt::AlignRight | Qt::AlignVCenter);
    ASSERT_NE(Showing(document, QStringLiteral("Anna Adler")), nullptr);
    EXPECT_EQ(Showing(document, QStringLiteral("Anna Adler"))->Rect.left(), 72 + 200);
    EXPECT_NE(Showing(document, QStringLiteral("2 people")), nullptr);
    // The frame: a box round the item where it printed, with its pen.
    int frames = 0;
    for (const ReportElement &element : document.Page(0).Elements)
        if (element.ElementKind == ReportElement::Kind::Box) {
            ++frames;
            EXPECT_EQ(element.PenWidth, 1.5);
            EXPECT_EQ(element.Rect.size(), QSizeF(150, 14));
        }
    EXPECT_EQ(frames, 2);
}

TEST(ReportTemplateEditor, PointsSnapToTheGridAndHitsFindTheTopmostItem)
{
    EXPECT_DOUBLE_EQ(ReportTemplateEditor::Snap(7.4, 2.5), 7.5);
    EXPECT_DOUBLE_EQ(ReportTemplateEditor::Snap(7.4, 0), 7.4);
    ReportTemplateEditor editor(Template(kBands));
    editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Box, {0, 0});
    EXPECT_EQ(editor.ItemAt({ReportBandKind::Detail}, {20, 8}), 2);
    EXPECT_EQ(editor.ItemAt({ReportBandKind::Detail}, {250, 8}), 1);
    EXPECT_EQ(editor.ItemAt({ReportBandKind::Detail}, {400, 18}), -1);
}

TEST(ReportTemplateEditor, EveryEditIsOneStepThatUndoAndRedoTakeBackAndBringAgain)
{
    ReportTemplateEditor editor(Template(kBands));
    editor.SetFields({QStringLiteral("Name"), QStringLiteral("Town")});
    ReportFont large = editor.Item(kName).Font;
    large.PointSize = 14;
    const struct
    {
        const char *What;
        std::function<void()> Edit;
    } edits[] = {
        {"a move", [&] { editor.MoveItem(kName, {20, 1}); }},
        {"a resize", [&] { editor.ResizeItem(kTown, {60, 10}); }},
        {"a band's height", [&] { editor.SetBandHeight({ReportBandKind::Detail}, 50); }},
        {"an item added", [&] { editor.AddItem({ReportBandKind::PageHeader}, ReportItemKind::Box); }},
        {"an item deleted", [&] { editor.DeleteItem(kTown); }},
        {"a group added", [&] { editor.AddBand(ReportBandKind::GroupHeader, QStringLiteral("Town")); }},
        {"a band deleted", [&] { editor.DeleteBand({ReportBandKind::PageHeader}); }},
        {"a field", [&] { editor.SetField(kName, QStringLiteral("Town")); }},
        {"a font", [&] { editor.SetFont(kName, large); }},
        {"a frame", [&] { editor.SetFrame(kName, true, 1); }},
    };
    for (const auto &e : edits) {
        SCOPED_TRACE(e.What);
        const QByteArray before = editor.Save();
        e.Edit();
        const QByteArray after = editor.Save();
        ASSERT_NE(after, before);
        ASSERT_TRUE(editor.CanUndo());
        editor.Undo();
        EXPECT_EQ(editor.Save(), before);
        EXPECT_TRUE(editor.CanRedo());
        editor.Redo();
        EXPECT_EQ(editor.Save(), after);
        EXPECT_FALSE(editor.CanRedo());
    }

    // Back through all of them to the template as it was loaded.
    while (editor.CanUndo())
        editor.Undo();
    EXPECT_EQ(editor.Save(), ReportTemplateEditor(Template(kBands)).Save());

    // A new edit forgets what could have been redone; one that changes nothing is no step.
    editor.Redo();
    editor.MoveItem(kName, {5, 0});
    EXPECT_FALSE(editor.CanRedo());
    const QByteArray moved = editor.Save();
    editor.MoveItem(kName, {0, 0});
    editor.Undo();
    EXPECT_NE(editor.Save(), moved);
    editor.Redo();

    // Everything of one step (a drag of the mouse) goes back at once.
    editor.BeginStep();
    for (int i = 0; i < 5; ++i)
        editor.MoveItem(kName, {2, 0});
    editor.SetText({{ReportBandKind::PageHeader}, 0}, QStringLiteral("Moved"));
    editor.EndStep();
    editor.Undo();
    EXPECT_EQ(editor.Save(), moved);

    // Only the newest steps are kept, and a loaded template has none.
    for (int i = 0; i < ReportTemplateEditor::kMaxUndo + 20; ++i)
        editor.SetBandHeight({ReportBandKind::Detail}, 30 + i);
    int steps = 0;
    while (editor.CanUndo()) {
        editor.Undo();
        ++steps;
    }
    EXPECT_EQ(steps, ReportTemplateEditor::kMaxUndo);
    editor.Load(moved);
    EXPECT_FALSE(editor.CanUndo());
    EXPECT_FALSE(editor.CanRedo());

    // Letters typed one after another are one step; once typing ends, or another edit comes
    // between, the next letters are a step of their own.
    const ReportItemRef heading{{ReportBandKind::PageHeader}, 0};
    for (const char *typed : {"H", "He", "Hey"})
        editor.SetText(heading, QString::fromLatin1(typed));
    editor.Undo();
    EXPECT_EQ(editor.Item(heading).Text, QStringLiteral("Heading"));
    EXPECT_FALSE(editor.CanUndo());
    editor.Redo();
    EXPECT_EQ(editor.Item(heading).Text, QStringLiteral("Hey"));
    editor.EndMerge();
    editor.SetText(heading, QStringLiteral("Hey you"));
    editor.Undo();
    EXPECT_EQ(editor.Item(heading).Text, QStringLiteral("Hey"));
    editor.SetText(heading, QStringLiteral("Hey!"));
    editor.MoveItem(heading, {1, 0});
    editor.SetText(heading, QStringLiteral("Hey!!"));
    editor.Undo();
    EXPECT_EQ(editor.Item(heading).Text, QStringLiteral("Hey!"));
}

TEST(ReportTemplateEditor, APictureOfItsOwnKeepsItsShapeFitsItsBandAndIsPrinted)
{
    ReportTemplateEditor editor(Template(kBands));
    editor.SetFields({QStringLiteral("Name"), QStringLiteral("Town")});
    QImage wide(400, 100, QImage::Format_RGB32);
    wide.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(wide.save(&buffer, "PNG"));

    const ReportItemRef picture = editor.AddPicture({ReportBandKind::Detail}, png, {20, 0});
    const QRectF rect = editor.Item(picture).Rect;
    EXPECT_DOUBLE_EQ(rect.width() / rect.height(), 4.0);
    EXPECT_LE(rect.right(), editor.BandWidth({ReportBandKind::Detail}));
    EXPECT_GE(editor.Band({ReportBandKind::Detail}).Height, rect.bottom());
    // Near the right margin it is made smaller, never pushed past it.
    const double width = editor.BandWidth({ReportBandKind::Detail});
    const QRectF narrow = editor.Item(editor.AddPicture({ReportBandKind::Detail}, png, {width - 40, 0})).Rect;
    EXPECT_LE(narrow.right(), width + 1e-9);
    EXPECT_DOUBLE_EQ(narrow.width() / narrow.height(), 4.0);

    // A picture of a field takes the field's name.
    EXPECT_EQ(editor.Item(editor.AddItem({ReportBandKind::Detail}, ReportItemKind::Image, {}, QStringLiteral("Town"))).FieldName,
              QStringLiteral("Town"));
    editor.DeleteItem({{ReportBandKind::Detail}, 4});

    // Saved and rendered, the picture is on every detail line.
    const ReportDocument document = ReportEngine::Render(ReportTemplate::FromXml(editor.Save()), People());
    int pictures = 0;
    for (const ReportElement &element : document.Page(0).Elements)
        pictures += element.ElementKind == ReportElement::Kind::Image && !element.Image.isNull();
    EXPECT_EQ(pictures, 2 * 2);
}
