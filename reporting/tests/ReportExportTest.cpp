// The exports of a rendered report, read back with the tools users open them with: the PDF
// with pdftotext and pdfinfo, the spreadsheet with openpyxl; text, HTML and RTF hold the same
// values. A failed export leaves no file behind.
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/ReportExport.h"
#include "reporting/tests/ReportTestData.h"
#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kestrova::test::Table;
using kestrova::test::Template;

namespace {

const QString kBands = QStringLiteral(
    "<pageHeader height=\"40\">"
    "<text width=\"200\" height=\"20\" size=\"14\" bold=\"true\">Contact list</text>"
    "<text y=\"24\" width=\"150\" height=\"14\" bold=\"true\">Name</text>"
    "<text x=\"160\" y=\"24\" width=\"120\" height=\"14\" bold=\"true\">Born</text>"
    "<text x=\"290\" y=\"24\" width=\"60\" height=\"14\" bold=\"true\" align=\"right\">Count</text>"
    "<line x1=\"0\" y1=\"39\" x2=\"100%\" y2=\"39\"/>"
    "</pageHeader>"
    "<detail height=\"280\">"
    "<field name=\"Name\" width=\"150\" height=\"28\" wrap=\"true\"/>"
    "<field name=\"Born\" x=\"160\" width=\"120\" height=\"14\" format=\"M/d/yyyy\"/>"
    "<field name=\"Count\" x=\"290\" width=\"60\" height=\"14\" align=\"right\"/>"
    "<box x=\"360\" width=\"40\" height=\"14\" fill=\"#e0e0e0\"/>"
    "</detail>"
    "<pageFooter height=\"20\"><expression width=\"100%\" height=\"14\" align=\"right\">'Page ' + PageNo() + ' of ' + PageCount()</expression></pageFooter>");

// Two rows of 280 points a page (588 between header and footer): three rows on two pages.
TDATableData People()
{
    return Table(QStringLiteral("rptContacts"), {QStringLiteral("Name"), QStringLiteral("Born"), QStringLiteral("Count")},
                 {{QStringLiteral("Adams, John\n1 Main St"), QDateTime(QDate(1970, 3, 4), QTime(0, 0)), 42},
                  {QStringLiteral("Zoë <b>{Braces}\\"), QDateTime(QDate(1981, 12, 24), QTime(18, 30)), 7},
                  {QStringLiteral("O'Neil"), QVariant(), 0}});
}

ReportDocument Document(const QString &attributes = {})
{
    return ReportEngine::Render(Template(kBands, attributes), People());
}

QString Tool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

} // namespace

TEST(ReportExport, ThePdfHoldsEachPagesTextsOnLetterPaper)
{
    const QByteArray pdf = ReportExport::ToBytes(Document(QStringLiteral("page=\"A4\"")), ReportExportKind::Pdf);
    ASSERT_TRUE(pdf.startsWith("%PDF-"));
    const QStringList pages = kestrova::test::PdfPages(pdf);
    ASSERT_EQ(pages.size(), 2);
    for (const QString &text : {QStringLiteral("Contact list"), QStringLiteral("Adams, John"), QStringLiteral("1 Main St"),
                                QStringLiteral("3/4/1970"), QStringLiteral("42"), QStringLiteral("12/24/1981"), QStringLiteral("Page 1 of 2")})
        EXPECT_TRUE(pages.at(0).contains(text)) << text.toStdString() << "\n" << pages.at(0).toStdString();
    EXPECT_TRUE(pages.at(1).contains(QStringLiteral("O'Neil")));
    EXPECT_TRUE(pages.at(1).contains(QStringLiteral("Page 2 of 2")));
    EXPECT_FALSE(pages.at(1).contains(QStringLiteral("Adams")));

    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("r.pdf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf);
    file.close();
    const QString info = QString::fromUtf8(kestrova::test::RunReader(Tool(QStringLiteral("pdfinfo")), {file.fileName()}));
    EXPECT_TRUE(info.contains(QStringLiteral("612 x 792 pts (letter)"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Creator: +Quorva")))) << info.toStdString();
    const QString meta = QString::fromUtf8(kestrova::test::RunReader(Tool(QStringLiteral("pdfinfo")), {QStringLiteral("-meta"), file.fileName()}));
    EXPECT_TRUE(meta.contains(QStringLiteral("<pdf:Keywords>Kestrova</pdf:Keywords>"))) << meta.toStdString();
}

TEST(ReportExport, TheSpreadsheetHoldsTheValuesInCellsWithTheirTypes)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.xlsx"));
    ReportExport::Write(Document(), ReportExportKind::Xlsx, path);
    const QMap<QString, kestrova::test::XlsxCell> cells = kestrova::test::XlsxCells(path);
    ASSERT_FALSE(cells.isEmpty());
    // Columns: Name (A), Born (B), Count (C); page header rows first, then the rows of each page.
    EXPECT_EQ(cells.value(QStringLiteral("A1")).Value, "Contact list");
    EXPECT_EQ(cells.value(QStringLiteral("A2")).Value, "Name");
    EXPECT_EQ(cells.value(QStringLiteral("B2")).Value, "Born");
    EXPECT_EQ(cells.value(QStringLiteral("A3")).Value, "Adams, John\n1 Main St");
    EXPECT_EQ(cells.value(QStringLiteral("B3")).Type, "datetime");
    EXPECT_EQ(cells.value(QStringLiteral("B3")).Value, "1970-03-04 00:00:00");
    EXPECT_EQ(cells.value(QStringLiteral("C3")).Type, "int");
    EXPECT_EQ(cells.value(QStringLiteral("C3")).Value, "42");
    EXPECT_EQ(cells.value(QStringLiteral("A4")).Value, "Zoë <b>{Braces}\\");
    EXPECT_EQ(cells.value(QStringLiteral("B4")).Value, "1981-12-24 18:30:00");
    bool footer = false, last = false;
    for (const auto &cell : cells) {
        footer = footer || cell.Value == QLatin1String("Page 2 of 2");
        last = last || cell.Value == QLatin1String("O'Neil");
    }
    EXPECT_TRUE(footer);
    EXPECT_TRUE(last);
}

TEST(ReportExport, TextHtmlAndRtfHoldTheSameValues)
{
    const ReportDocument document = Document();
    const QString text = QString::fromUtf8(ReportExport::ToBytes(document, ReportExportKind::Text));
    const QString html = QString::fromUtf8(ReportExport::ToBytes(document, ReportExportKind::Html));
    const QByteArray rtf = ReportExport::ToBytes(document, ReportExportKind::Rtf);
    for (const char *value : {"Contact list", "Adams, John", "1 Main St", "3/4/1970", "42", "12/24/1981", "O'Neil", "Page 1 of 2", "Page 2 of 2"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(value))) << value;
        EXPECT_TRUE(html.contains(QString::fromUtf8(value).toHtmlEscaped())) << value;
        EXPECT_TRUE(rtf.contains(value)) << value;
    }
    // Text: two pages, each ending with a form feed, and the columns of a row on one line.
    EXPECT_EQ(text.count(QLatin1Char('\f')), 2);
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nAdams, John +3/4/1970 +42\n1 Main St\n")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Zoë <b>{Braces}\\")));
    // HTML: escaped, one page block each, the shapes drawn.
    EXPECT_TRUE(html.contains(QStringLiteral("Zoë &lt;b&gt;{Braces}\\")));
    EXPECT_EQ(html.count(QStringLiteral("<div class=\"page\"")), 2);
    EXPECT_TRUE(html.contains(QStringLiteral("<line ")));
    EXPECT_TRUE(html.contains(QStringLiteral("fill=\"#e0e0e0\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("size: A4")));
    // RTF: A4 paper, one page break, RTF's own escapes.
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("\\paperw11906\\paperh16838"));
    EXPECT_EQ(rtf.count("\\page\n"), 1);
    EXPECT_TRUE(rtf.contains("Zo\\u235? <b>\\{Braces\\}\\\\"));
}

TEST(ReportExport, AFailedExportLeavesNoFileAndNoTemporaryFile)
{
    const ReportDocument document = Document();
    QTemporaryDir folder;
    // A temporary folder of its own: other tests export at the same time.
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString missing = folder.filePath(QStringLiteral("no such folder/report.pdf"));
    for (ReportExportKind kind : {ReportExportKind::Pdf, ReportExportKind::Xlsx, ReportExportKind::Text})
        EXPECT_THROW(ReportExport::Write(document, kind, missing), EReportError);
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_THROW(ReportExport::Write(ReportDocument(), ReportExportKind::Pdf, folder.filePath(QStringLiteral("empty.pdf"))), EReportError);
    EXPECT_THROW(ReportExport::Format(ReportExportKind(5)), EReportError);
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(QDir::tempPath(), temp.path());
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    if (oldTemp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTemp);
}

TEST(ReportExport, AnExportReplacesAnOlderFileWhole)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.txt"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    ReportExport::Write(Document(), ReportExportKind::Text, path);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_FALSE(bytes.contains('x'));
    EXPECT_TRUE(bytes.contains("Adams, John"));
    EXPECT_EQ(ReportExport::Format(ReportExportKind::Html).Pattern, "*.htm");
    EXPECT_EQ(ReportExport::Format(ReportExportKind::Xlsx).Extension, "xlsx");
}
