// The report viewer offscreen, through its actions: paging, zoom, Escape, the export choices,
// printing through the (scripted) printer dialog, and the way into the report designer.
#include "ui/DialogService.h"
#include "ui/ufPreview.h"

#include "reporting/ReportEngine.h"
#include "reporting/ReportTemplate.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QAction>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

// One row a page: "Row 1" to "Row 4" on four pages.
ReportDocument FourPages()
{
    const ReportTemplate report = ReportTemplate::FromXml(
        "<report name=\"Rows\" title=\"Rows\" unit=\"pt\" margins=\"72\">"
        "<group on=\"RecordNo()\" newPage=\"true\"/>"
        "<detail height=\"20\"><field name=\"Name\" width=\"200\" height=\"14\"/></detail>"
        "</report>");
    TDATableData data;
    TDAField field;
    field.Name = QStringLiteral("Name");
    data.Fields << field;
    for (int i = 1; i <= 4; ++i)
        data.Rows << QVariantList{QStringLiteral("Row %1").arg(i)};
    return ReportEngine::Render(report, data);
}

QString Caption(int number)
{
    return QStringLiteral("T%1").arg(number);
}

class Preview : public ::testing::Test
{
protected:
    void SetUp() override
    {
        viewer.Localize(Caption);
        viewer.SetReport(&document, QStringLiteral("Rows.rtm"));
        viewer.resize(800, 700);
    }

    // Runs the viewer modally while step works it from the event loop.
    TModalResult RunModal(const std::function<void()> &step)
    {
        QTimer::singleShot(0, &viewer, step);
        return viewer.ShowModal();
    }

    ReportDocument document = FourPages();
    TfPreview viewer;
};

} // namespace

TEST_F(Preview, PagesForwardAndBackAndShowsWhereItIs)
{
    viewer.show();
    EXPECT_EQ(viewer.PageCount(), 4);
    EXPECT_EQ(viewer.CurrentPage(), 0);
    EXPECT_EQ(viewer.edPage()->text(), QStringLiteral("1"));
    EXPECT_EQ(viewer.StatusText(), QStringLiteral("1 / 4"));
    EXPECT_EQ(viewer.ReportText(), QStringLiteral("Report : Rows.rtm"));

    viewer.acNext()->trigger();
    viewer.acNext()->trigger();
    EXPECT_EQ(viewer.CurrentPage(), 2);
    EXPECT_EQ(viewer.edPage()->text(), QStringLiteral("3"));
    EXPECT_EQ(viewer.StatusText(), QStringLiteral("3 / 4"));
    viewer.acLast()->trigger();
    viewer.acNext()->trigger();  // past the end stays at the end
    EXPECT_EQ(viewer.CurrentPage(), 3);
    viewer.acPrevious()->trigger();
    EXPECT_EQ(viewer.CurrentPage(), 2);
    viewer.acFirst()->trigger();
    viewer.acPrevious()->trigger();
    EXPECT_EQ(viewer.CurrentPage(), 0);

    // A page typed into the page field.
    viewer.edPage()->setText(QStringLiteral("4"));
    QTest::keyClick(viewer.edPage(), Qt::Key_Return);
    EXPECT_EQ(viewer.CurrentPage(), 3);
    EXPECT_EQ(viewer.StatusText(), QStringLiteral("4 / 4"));
}

TEST_F(Preview, OpensAtPageWidthAndZoomsToTheWholePageAndToActualSize)
{
    viewer.show();
    EXPECT_EQ(viewer.Zoom(), TfPreview::ZoomMode::PageWidth);
    const double width = viewer.Scale();
    viewer.acViewWhole()->trigger();
    EXPECT_EQ(viewer.Zoom(), TfPreview::ZoomMode::WholePage);
    const double whole = viewer.Scale();
    // A Letter page is taller than wide: the whole page is smaller than its width.
    EXPECT_LT(whole, width);
    viewer.acView100()->trigger();
    EXPECT_DOUBLE_EQ(viewer.Scale(), viewer.logicalDpiX() / 72.0);
    viewer.acViewPage()->trigger();
    EXPECT_DOUBLE_EQ(viewer.Scale(), width);
}

TEST_F(Preview, EscapeClosesWithoutAnExport)
{
    const TModalResult result = RunModal([this] {
        viewer.activateWindow();
        if (!QTest::qWaitForWindowActive(&viewer)) {
            ADD_FAILURE() << "the viewer never became the active window";
            viewer.close();
            return;
        }
        QTest::keyClick(&viewer, Qt::Key_Escape);
    });
    EXPECT_EQ(result, TModalResult::Cancel);
    EXPECT_EQ(viewer.ExportKind(), ReportExportKind::None);
}

TEST_F(Preview, EachExportButtonClosesWithItsKind)
{
    for (ReportExportKind kind : {ReportExportKind::Pdf, ReportExportKind::Xlsx, ReportExportKind::Text, ReportExportKind::Html,
                                  ReportExportKind::Rtf}) {
        const TModalResult result = RunModal([this, kind] { viewer.ExportAction(kind)->trigger(); });
        EXPECT_EQ(result, TModalResult::Ok);
        EXPECT_EQ(viewer.ExportKind(), kind);
    }
    EXPECT_EQ(viewer.ExportAction(ReportExportKind::Xlsx)->text(), QStringLiteral("T2595"));
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral("T3000"));
}

TEST_F(Preview, PrintsThroughThePrinterDialogAndStaysOpen)
{
    TScriptedDialogs dialogs;
    QTemporaryDir folder;
    const QString printed = folder.filePath(QStringLiteral("printed.pdf"));
    dialogs.AnswerPrinter(QString());      // cancelled: nothing printed
    dialogs.AnswerPrinter(printed, 2, 3);  // pages 2 and 3
    viewer.show();
    viewer.acPrint()->trigger();
    EXPECT_FALSE(QFile::exists(printed));
    viewer.acPrint()->trigger();
    EXPECT_EQ(dialogs.PrintersAsked(), 2);
    QFile file(printed);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList pages = PdfPages(file.readAll());
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Row 2")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Row 3")));
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.ExportKind(), ReportExportKind::None);
}

TEST_F(Preview, TheDesignerGestureAsksForTheDesignerOnlyWhenItIsEnabled)
{
    int asked = 0;
    QObject::connect(&viewer, &TfPreview::DesignerRequested, [&] { ++asked; });
    viewer.show();
    QTest::mouseDClick(viewer.statusBar(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    // Without both keys the double click is only a double click.
    QTest::mouseDClick(viewer.statusBar(), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(asked, 1);

    viewer.SetDesignerEnabled(false);
    EXPECT_FALSE(viewer.acReportDesigner()->isVisible());
    QTest::mouseDClick(viewer.statusBar(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier);
    viewer.acReportDesigner()->trigger();
    EXPECT_EQ(asked, 1);
}

TEST_F(Preview, HelpAsksForTheReportsTopic)
{
    QString topic;
    QObject::connect(&viewer, &TfPreview::HelpRequested, [&](const QString &t) { topic = t; });
    viewer.acHelp()->trigger();
    EXPECT_EQ(topic, QStringLiteral("Reports"));
}
