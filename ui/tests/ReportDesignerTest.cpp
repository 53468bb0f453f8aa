// The report designer offscreen: items selected, moved and resized with the mouse and the
// keyboard, edited in the property panel (refused values shown, the item kept), items and
// bands added and deleted, the preview tab rendering the edits with the report's rows, the
// template saved and read back, a broken file refused, the question before unsaved changes go,
// the designer's own settings kept between two openings, and steps undone and redone.
#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/ufReportDesigner.h"

#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportError.h"
#include "testsupport/TestFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using kestrova::test::ReadFile;
using kestrova::test::WriteFile;

namespace {

const QByteArray kTemplate =
    "<report name=\"People\" title=\"People\" unit=\"pt\" margins=\"72\">"
    "<pageHeader height=\"30\"><text width=\"200\" height=\"14\">Heading</text></pageHeader>"
    "<detail height=\"30\"><field name=\"Name\" x=\"10\" y=\"2\" width=\"150\" height=\"14\"/>"
    "<field name=\"Town\" x=\"200\" y=\"2\" width=\"100\" height=\"14\"/></detail>"
    "</report>";

TDATableData People()
{
    TDATableData table;
    table.Name = QStringLiteral("people");
    for (const char *name : {"Name", "Town", "Phone"}) {
        TDAField field;
        field.Name = QLatin1String(name);
        table.Fields << field;
    }
    table.Rows << QVariantList{QStringLiteral("Anna Adler"), QStringLiteral("Peoria"), QStringLiteral("555-1200")}
               << QVariantList{QStringLiteral("Hugo Falk"), QStringLiteral("Joliet"), QStringLiteral("555-4300")};
    return table;
}

constexpr ReportItemRef kName{{ReportBandKind::Detail}, 0};
constexpr ReportItemRef kTown{{ReportBandKind::Detail}, 1};
constexpr ReportItemRef kHeading{{ReportBandKind::PageHeader}, 0};

class ReportDesigner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Open(designer);
        designer.show();
    }

    void Open(TfReportDesigner &window)
    {
        window.Open({kTemplate, QStringLiteral("People.rtm"), People(), folder.filePath(QStringLiteral("config/ReportDesigner.ini")),
                     folder.path()});
    }

    QPoint Center(const ReportItemRef &item) const { return designer.ItemArea(item).center(); }

    void Drag(const QPoint &from, const QPoint &to)
    {
        QTest::mousePress(designer.Canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(designer.Canvas(), (from + to) / 2);
        QTest::mouseMove(designer.Canvas(), to);
        QTest::mouseRelease(designer.Canvas(), Qt::LeftButton, {}, to);
    }

    QTemporaryDir folder;
    TScriptedPrompt prompt;
    TScriptedDialogs dialogs;
    TfReportDesigner designer;
};

} // namespace

TEST_F(ReportDesigner, TheMouseSelectsMovesAndResizesItemsOnTheGrid)
{
    EXPECT_EQ(designer.windowTitle(), QStringLiteral("Report Designer - Powered by Quorva"));
    const double grid = designer.GridSize();
    const double scale = TfReportDesigner::kScale;

    QTest::mouseClick(designer.Canvas(), Qt::LeftButton, {}, Center(kTown));
    EXPECT_EQ(designer.Selected(), kTown);
    Drag(Center(kName), Center(kName) + QPoint(70, 10));
    EXPECT_EQ(designer.Selected(), kName);
    const QRectF moved = designer.Editor().Item(kName).Rect;
    // Snapped to the grid, as near the pointer as the grid allows.
    EXPECT_NEAR(moved.left(), ReportTemplateEditor::Snap(10 + 70 / scale, grid), 1e-9);
    EXPECT_NEAR(moved.top(), ReportTemplateEditor::Snap(2 + 10 / scale, grid), 1e-9);
    EXPECT_EQ(moved.size(), QSizeF(150, 14));

    // The handle at the bottom right corner resizes.
    const QRect area = designer.ItemArea(kName);
    Drag(area.bottomRight() - QPoint(2, 2), area.bottomRight() + QPoint(40, 6));
    const QRectF resized = designer.Editor().Item(kName).Rect;
    EXPECT_EQ(resized.topLeft(), moved.topLeft());
    EXPECT_NEAR(resized.width(), ReportTemplateEditor::Snap(150 + 42 / scale, grid), 1e-9);
    EXPECT_GT(resized.height(), 14);

    // Dragged far off to the right, the item stops at the margin.
    Drag(Center(kName), Center(kName) + QPoint(2000, 0));
    EXPECT_NEAR(designer.Editor().Item(kName).Rect.right(), 468, 1e-9);

    // Empty room of a band selects the band.
    const QRect town = designer.ItemArea(kTown);
    QTest::mouseClick(designer.Canvas(), Qt::LeftButton, {}, QPoint(town.left() - 30, town.top() + 2));
    EXPECT_FALSE(designer.Selected().IsValid());
    EXPECT_EQ(designer.SelectedBand(), ReportBandRef{ReportBandKind::Detail});
    EXPECT_FALSE(designer.acDelete()->isEnabled());
    EXPECT_FALSE(designer.acDeleteBand()->isEnabled());
}

TEST_F(ReportDesigner, TheKeyboardMovesByTheGridOrAPointResizesWithShiftAndDeletes)
{
    designer.Select(kTown);
    const double grid = designer.GridSize();
    const QRectF start = designer.Editor().Item(kTown).Rect;
    QTest::keyClick(designer.Canvas(), Qt::Key_Right);
    QTest::keyClick(designer.Canvas(), Qt::Key_Down);
    EXPECT_EQ(designer.Editor().Item(kTown).Rect.topLeft(), start.topLeft() + QPointF(grid, grid));
    QTest::keyClick(designer.Canvas(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(designer.Editor().Item(kTown).Rect.left(), start.left() + grid - 1);
    QTest::keyClick(designer.Canvas(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(designer.Editor().Item(kTown).Rect.width(), start.width() + grid);
    // The property panel follows.
    EXPECT_NEAR(designer.findChild<QDoubleSpinBox *>(QStringLiteral("edWidth"))->value(), (start.width() + grid) * 25.4 / 72, 0.05);

    QTest::keyClick(designer.Canvas(), Qt::Key_Delete);
    EXPECT_EQ(designer.Editor().Band({ReportBandKind::Detail}).Items.size(), 1);
    EXPECT_FALSE(designer.Selected().IsValid());
}

TEST_F(ReportDesigner, ThePropertyPanelEditsTheItemAndShowsWhatItRefuses)
{
    designer.Select(kHeading);
    designer.edText()->setText(QStringLiteral("Our people"));
    emit designer.edText()->textEdited(QStringLiteral("Our people"));
    designer.chkBold()->setChecked(true);
    designer.edFontSize()->setValue(14);
    designer.cbAlign()->setCurrentIndex(1);
    designer.chkFrame()->setChecked(true);
    const ReportItem &heading = designer.Editor().Item(kHeading);
    EXPECT_EQ(heading.Text, QStringLiteral("Our people"));
    EXPECT_TRUE(heading.Font.Bold);
    EXPECT_EQ(heading.Font.PointSize, 14);
    EXPECT_TRUE(heading.Alignment & Qt::AlignHCenter);
    EXPECT_TRUE(heading.Frame);
    EXPECT_FALSE(designer.cbField()->isEnabled());

    // The fields offered are the data source's.
    designer.Select(kTown);
    QStringList offered;
    for (int i = 0; i < designer.cbField()->count(); ++i)
        offered << designer.cbField()->itemText(i);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Name"), QStringLiteral("Town"), QStringLiteral("Phone")}));
    designer.cbField()->setCurrentText(QStringLiteral("Phone"));
    EXPECT_EQ(designer.Editor().Item(kTown).FieldName, QStringLiteral("Phone"));

    // An expression that does not parse is shown as refused; the item keeps the one it had.
    designer.AddItemAction(ReportItemKind::Expression)->trigger();
    const ReportItemRef added = designer.Selected();
    ASSERT_EQ(designer.Editor().Item(added).Kind, ReportItemKind::Expression);
    designer.edExpression()->setText(QStringLiteral("'Page ' +"));
    emit designer.edExpression()->editingFinished();
    EXPECT_FALSE(designer.lbProblem()->text().isEmpty());
    EXPECT_EQ(designer.Editor().Item(added).Expression->Source(), QStringLiteral("PageNo()"));
    EXPECT_EQ(designer.edExpression()->text(), QStringLiteral("PageNo()"));
    designer.edExpression()->setText(QStringLiteral("Count() + ' people'"));
    emit designer.edExpression()->editingFinished();
    EXPECT_TRUE(designer.lbProblem()->text().isEmpty());
    EXPECT_EQ(designer.Editor().Item(added).Expression->Source(), QStringLiteral("Count() + ' people'"));

    // A field double-clicked in the list goes into the selected band.
    designer.Select(kHeading);
    QListWidgetItem *phone = designer.lwFields()->findItems(QStringLiteral("Phone"), Qt::MatchExactly).value(0);
    ASSERT_NE(phone, nullptr);
    emit designer.lwFields()->itemDoubleClicked(phone);
    EXPECT_EQ(designer.Editor().Band({ReportBandKind::PageHeader}).Items.last().FieldName, QStringLiteral("Phone"));
}

TEST_F(ReportDesigner, BandsAreAddedAndDeletedAndThePreviewTabRendersTheEditsWithTheRows)
{
    designer.AddBandAction(ReportBandKind::Summary)->trigger();
    EXPECT_EQ(designer.SelectedBand(), ReportBandRef{ReportBandKind::Summary});
    designer.AddItemAction(ReportItemKind::Text)->trigger();
    designer.edText()->setText(QStringLiteral("End of list"));
    emit designer.edText()->textEdited(QStringLiteral("End of list"));
    designer.Select(kName);
    designer.cbField()->setCurrentText(QStringLiteral("Phone"));

    designer.Tabs()->setCurrentIndex(1);
    ASSERT_NE(designer.PreviewDocument(), nullptr);
    QStringList texts;
    for (const ReportElement &element : designer.PreviewDocument()->Page(0).Elements)
        texts << element.Text;
    EXPECT_TRUE(texts.contains(QStringLiteral("555-1200")));
    EXPECT_TRUE(texts.contains(QStringLiteral("End of list")));
    EXPECT_FALSE(texts.contains(QStringLiteral("Anna Adler")));

    designer.SelectBand({ReportBandKind::PageHeader});
    designer.acDeleteBand()->trigger();
    EXPECT_FALSE(designer.Editor().HasBand({ReportBandKind::PageHeader}));
    // A second summary is refused in the panel, not by a crash.
    designer.AddBandAction(ReportBandKind::Summary)->trigger();
    EXPECT_FALSE(designer.lbProblem()->text().isEmpty());
}

TEST_F(ReportDesigner, TheTemplateIsSavedAndReadBackAndABrokenFileIsRefused)
{
    QTemporaryDir logFolder;
    TQorLog log;
    log.SetFileName(logFolder.filePath(QStringLiteral("session.txt")));
    SessionLog = &log;
    designer.Select(kName);
    designer.cbField()->setCurrentText(QStringLiteral("Town"));
    const QString file = folder.filePath(QStringLiteral("Saved.rtm"));
    dialogs.AnswerSave(file);
    designer.acSave()->trigger();
    ASSERT_EQ(dialogs.SavesAsked().size(), 1);
    EXPECT_EQ(dialogs.SavesAsked()[0].Folder, folder.filePath(QStringLiteral("People.rtm")));
    EXPECT_EQ(designer.FileName(), file);
    EXPECT_FALSE(designer.Editor().IsModified());
    EXPECT_EQ(ReportTemplate::FromXml(ReadFile(file)).Detail->Items.at(0).FieldName, QStringLiteral("Town"));
    // Saved again without a question.
    designer.acSave()->trigger();
    EXPECT_EQ(dialogs.SavesAsked().size(), 1);

    const QString broken = folder.filePath(QStringLiteral("Broken.rtm"));
    ASSERT_TRUE(WriteFile(broken, "<report><detail height=\"x\"/></report>"));
    dialogs.AnswerOpen(broken);
    designer.acOpen()->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("line 1"))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_EQ(designer.Editor().Item(kName).FieldName, QStringLiteral("Town"));
    EXPECT_EQ(designer.FileName(), file);
    SessionLog = nullptr;
    EXPECT_TRUE(QString::fromUtf8(ReadFile(log.FileName())).contains(QStringLiteral("ShowDesigner")));

    // Read back, the saved template replaces the edits made since.
    designer.Select(kName);
    designer.cbField()->setCurrentText(QStringLiteral("Phone"));
    prompt.Answer(QMessageBox::Yes);
    dialogs.AnswerOpen(file);
    designer.acOpen()->trigger();
    EXPECT_EQ(designer.Editor().Item(kName).FieldName, QStringLiteral("Town"));
    EXPECT_FALSE(designer.Editor().IsModified());
}

TEST_F(ReportDesigner, UnsavedChangesAreAskedAboutBeforeTheDesignerCloses)
{
    designer.Select(kName);
    designer.cbField()->setCurrentText(QStringLiteral("Phone"));
    prompt.Answer(QMessageBox::Cancel);
    designer.acClose()->trigger();
    EXPECT_TRUE(designer.isVisible());
    prompt.Answer(QMessageBox::No);
    designer.acClose()->trigger();
    EXPECT_FALSE(designer.isVisible());
    EXPECT_EQ(prompt.Prompts().size(), 2);
    EXPECT_TRUE(dialogs.SavesAsked().isEmpty());
}

TEST_F(ReportDesigner, ItsSettingsAreKeptInItsOwnFileBetweenTwoOpenings)
{
    designer.acGrid()->setChecked(false);
    designer.resize(1000, 700);
    const QString file = folder.filePath(QStringLiteral("sub/Kept.rtm"));
    QDir().mkpath(folder.filePath(QStringLiteral("sub")));
    dialogs.AnswerSave(file);
    designer.acSaveAs()->trigger();
    designer.acClose()->trigger();
    const QString ini = folder.filePath(QStringLiteral("config/ReportDesigner.ini"));
    ASSERT_TRUE(QFile::exists(ini));
    QSettings settings(ini, QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("Report Designer/LastFolder")).toString(), folder.filePath(QStringLiteral("sub")));
    EXPECT_FALSE(settings.value(QStringLiteral("Report Designer/Grid")).toBool());

    TfReportDesigner again;
    Open(again);
    EXPECT_FALSE(again.GridOn());
    EXPECT_FALSE(again.acGrid()->isChecked());
    EXPECT_EQ(again.size(), QSize(1000, 700));
    dialogs.AnswerSave(QString());
    again.acSave()->trigger();
    EXPECT_EQ(dialogs.SavesAsked().last().Folder, folder.filePath(QStringLiteral("sub/People.rtm")));
}

TEST_F(ReportDesigner, UndoAndRedoTakeBackADragTypedTextAndAPictureFromAFile)
{
    EXPECT_FALSE(designer.acUndo()->isEnabled());
    const QRectF start = designer.Editor().Item(kName).Rect;
    Drag(Center(kName), Center(kName) + QPoint(80, 12));
    const QRectF moved = designer.Editor().Item(kName).Rect;
    ASSERT_NE(moved, start);
    EXPECT_TRUE(designer.acUndo()->isEnabled());

    // Typed letter by letter, the text is one step.
    designer.Select(kHeading);
    QTest::keyClicks(designer.edText(), QStringLiteral(" list"));
    emit designer.edText()->editingFinished();
    EXPECT_EQ(designer.Editor().Item(kHeading).Text, QStringLiteral("Heading list"));
    designer.acUndo()->trigger();
    EXPECT_EQ(designer.Editor().Item(kHeading).Text, QStringLiteral("Heading"));
    EXPECT_EQ(designer.edText()->text(), QStringLiteral("Heading"));
    // A button pressed while the text field still has the focus is a step of its own.
    QTest::keyClicks(designer.edText(), QStringLiteral(" list"));
    designer.AddItemAction(ReportItemKind::Box)->trigger();
    designer.acUndo()->trigger();
    EXPECT_EQ(designer.Editor().Band({ReportBandKind::PageHeader}).Items.size(), 1);
    EXPECT_EQ(designer.Editor().Item(kHeading).Text, QStringLiteral("Heading list"));
    designer.acUndo()->trigger();
    EXPECT_EQ(designer.Editor().Item(kHeading).Text, QStringLiteral("Heading"));
    // The whole drag, however many moves it took, goes back at once.
    designer.acUndo()->trigger();
    EXPECT_EQ(designer.Editor().Item(kName).Rect, start);
    EXPECT_FALSE(designer.acUndo()->isEnabled());
    designer.acRedo()->trigger();
    EXPECT_EQ(designer.Editor().Item(kName).Rect, moved);

    // A picture from a file goes into the selected band; a file that is none is refused and shown.
    const QString png = folder.filePath(QStringLiteral("crest.png"));
    QImage crest(60, 120, QImage::Format_RGB32);
    crest.fill(Qt::darkBlue);
    ASSERT_TRUE(crest.save(png));
    designer.SelectBand({ReportBandKind::PageHeader});
    dialogs.AnswerOpen(png);
    designer.acAddPicture()->trigger();
    const ReportItemRef picture = designer.Selected();
    ASSERT_TRUE(picture.IsValid());
    EXPECT_EQ(picture.Band, ReportBandRef{ReportBandKind::PageHeader});
    const ReportItem &item = designer.Editor().Item(picture);
    EXPECT_EQ(item.Kind, ReportItemKind::Image);
    EXPECT_DOUBLE_EQ(item.Rect.height() / item.Rect.width(), 2.0);
    EXPECT_EQ(ReportTemplate::FromXml(designer.Editor().Save()).PageHeader->Items.size(), 2);

    const QString text = folder.filePath(QStringLiteral("notes.png"));
    ASSERT_TRUE(WriteFile(text, "not a picture"));
    dialogs.AnswerOpen(text);
    designer.acAddPicture()->trigger();
    EXPECT_FALSE(designer.lbProblem()->text().isEmpty());
    EXPECT_EQ(designer.Editor().Band({ReportBandKind::PageHeader}).Items.size(), 2);

    // Undone, the picture goes and the selection with it.
    designer.acUndo()->trigger();
    EXPECT_EQ(designer.Editor().Band({ReportBandKind::PageHeader}).Items.size(), 1);
    EXPECT_FALSE(designer.Selected().IsValid());
}
