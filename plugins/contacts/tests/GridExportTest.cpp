// What a grid export writes: every row of the model in the columns the grid shows, in their
// order and under their captions, read back by the tools users open the files with.
#include "plugins/contacts/uGridExport.h"

#include "testsupport/DocumentReaders.h"
#include "testsupport/QtPrinters.h"

#include <QFile>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

class GridExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.setHorizontalHeaderLabels({QStringLiteral("First name"), QStringLiteral("Last name"), QStringLiteral("Hidden"),
                                         QStringLiteral("Born")});
        const QList<QStringList> rows = {{"Ann", "Lee", "x", ""}, {"Zoë", "Øberg", "y", ""}, {"Tom", "Okafor", "z", ""}};
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < 3; ++c)
                model.setItem(r, c, new QStandardItem(rows[r][c]));
            auto *born = new QStandardItem;
            born->setData(QDate(1980 + r, 5, 17), Qt::EditRole);
            model.setItem(r, 3, born);
        }
        view.setModel(&model);
        view.setColumnHidden(2, true);
        view.horizontalHeader()->moveSection(1, 0); // last name shown first
    }

    QString Export(TGridExportKind kind)
    {
        const QString path = folder.filePath(QStringLiteral("grid.") + GridExportExtension(kind));
        ExportGridFile(kind, model, GridColumns(view), path);
        return path;
    }

    QStandardItemModel model;
    QTableView view;
    QTemporaryDir folder;
};

TEST_F(GridExport, ShownColumnsGoOutInTheirOrderUnderTheirCaptions)
{
    const QList<TGridColumn> columns = GridColumns(view);
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(columns[0].Caption, QStringLiteral("Last name"));
    EXPECT_EQ(columns[1].Caption, QStringLiteral("First name"));
    EXPECT_EQ(columns[2].Caption, QStringLiteral("Born"));
}

TEST_F(GridExport, SpreadsheetOpensWithTheGridsColumnsAndRows)
{
    const QMap<QString, XlsxCell> cells = XlsxCells(Export(TGridExportKind::Excel));
    EXPECT_EQ(cells.value("A1").Value, QStringLiteral("Last name"));
    EXPECT_EQ(cells.value("B1").Value, QStringLiteral("First name"));
    EXPECT_EQ(cells.value("C1").Value, QStringLiteral("Born"));
    EXPECT_EQ(cells.value("A2").Value, QStringLiteral("Lee"));
    EXPECT_EQ(cells.value("B3").Value, QStringLiteral("Zoë"));
    EXPECT_EQ(cells.value("A4").Value, QStringLiteral("Okafor"));
    EXPECT_EQ(cells.value("C2").Type, QStringLiteral("datetime"));
    EXPECT_TRUE(cells.value("C2").Value.startsWith(QStringLiteral("1980-05-17")));
    EXPECT_FALSE(cells.contains("D1")) << "the hidden column stays out";
    EXPECT_FALSE(cells.contains("A5"));
}

TEST_F(GridExport, TextIsTabSeparatedWithTheCaptionsFirst)
{
    QFile file(Export(TGridExportKind::Text));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Last name\tFirst name\tBorn"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Øberg\tZoë\t")));
}

TEST_F(GridExport, AFileThatCannotBeWrittenIsAnErrorNotASilentSuccess)
{
    EXPECT_THROW(ExportGridFile(TGridExportKind::Xml, model, GridColumns(view), folder.filePath("missing/folder/grid.xml")),
                 std::runtime_error);
}

} // namespace
