#include "plugins/contacts/uGridPreview.h"

#include "plugins/contacts/uGridExport.h"

#include "reporting/ReportEngine.h"
#include "reporting/ReportExpression.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>

namespace {

constexpr double kHalfInch = 36;
constexpr double kRowHeight = 13;
constexpr int kLandscapeFrom = 7; // columns

ReportItem TextItem(const QRectF &rect, const QString &text, double size, bool bold)
{
    ReportItem item;
    item.Kind = ReportItemKind::Text;
    item.Rect = rect;
    item.Text = text;
    item.Font.PointSize = size;
    item.Font.Bold = bold;
    return item;
}

} // namespace

ReportDocument GridPreviewDocument(const QAbstractItemView &grid, const QList<int> &rows, const QString &title,
                                   const QString &footnote)
{
    const QAbstractItemModel *model = grid.model();
    const QList<TGridColumn> columns = GridColumns(grid);

    ReportTemplate report;
    report.Name = title;
    report.Title = title;
    report.Margins = QMarginsF(kHalfInch, kHalfInch, kHalfInch, kHalfInch);
    if (columns.size() >= kLandscapeFrom)
        report.Orientation = QPageLayout::Landscape;
    const double width = report.PageSizePoints().width() - 2 * kHalfInch;

    // Columns share the width as the grid shares its own.
    const auto *table = qobject_cast<const QTableView *>(&grid);
    QList<double> widths;
    double total = 0;
    for (const TGridColumn &c : columns) {
        const double w = table ? qMax(30, table->horizontalHeader()->sectionSize(c.Column)) : 100;
        widths << w;
        total += w;
    }
    const double fontSize = columns.size() > 10 ? 6.5 : 8;

    ReportBand header;
    header.Kind = ReportBandKind::PageHeader;
    header.Height = 40;
    header.Items << TextItem(QRectF(0, 0, width, 18), title, 12, true);
    ReportBand detail;
    detail.Kind = ReportBandKind::Detail;
    detail.Height = kRowHeight;
    TDATableData data;
    data.Name = QStringLiteral("Grid");
    double x = 0;
    for (int i = 0; i < columns.size(); ++i) {
        const double w = total > 0 ? widths[i] / total * width : width / columns.size();
        header.Items << TextItem(QRectF(x, 24, w - 2, 14), columns[i].Caption, fontSize, true);
        ReportItem field;
        field.Kind = ReportItemKind::Field;
        field.FieldName = QStringLiteral("C%1").arg(i);
        field.Rect = QRectF(x, 1, w - 2, kRowHeight - 2);
        field.Font.PointSize = fontSize;
        detail.Items << field;
        TDAField f;
        f.Name = field.FieldName;
        data.Fields << f;
        x += w;
    }
    ReportItem rule;
    rule.Kind = ReportItemKind::Line;
    rule.Rect = QRectF(0, 39, width, 0);
    header.Items << rule;

    ReportBand footer;
    footer.Kind = ReportBandKind::PageFooter;
    footer.Height = 16;
    ReportItem pages;
    pages.Kind = ReportItemKind::Expression;
    pages.Expression = ReportExpression::Parse(QStringLiteral("'Page ' + PageNo() + ' of ' + PageCount()"));
    pages.Rect = QRectF(0, 2, width / 3, 12);
    pages.Font.PointSize = 7;
    footer.Items << pages;
    ReportItem note = TextItem(QRectF(width / 3, 2, width / 3, 12), footnote, 7, false);
    note.Alignment = Qt::AlignHCenter | Qt::AlignTop;
    footer.Items << note;

    report.PageHeader = header;
    report.Detail = detail;
    report.PageFooter = footer;

    QList<int> shown = rows;
    if (shown.isEmpty() && model)
        for (int r = 0; r < model->rowCount(); ++r)
            shown << r;
    for (int r : shown) {
        QVariantList values;
        for (const TGridColumn &c : columns)
            values << model->index(r, c.Column).data(Qt::DisplayRole).toString();
        data.Rows << values;
    }
    return ReportEngine::Render(report, data);
}
