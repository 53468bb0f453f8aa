#include "reporting/ReportTextExporter.h"

#include "reporting/ReportTextGrid.h"

namespace {

constexpr double kLineHeight = 12.0; // points: a gap of this much between two rows is a blank line

} // namespace

QString ReportTextExporter::Text(const ReportDocument &document)
{
    const ReportTextGrid grid(document);
    const double origin = grid.Columns().isEmpty() ? 0 : grid.Columns().first();
    const auto at = [origin](double x) { return qMax(0, qRound((x - origin) / kPointsPerCharacter)); };
    QString out;
    for (int p = 0; p < grid.PageCount(); ++p) {
        double bottom = -1;
        for (const ReportGridRow &row : grid.Rows(p)) {
            if (bottom >= 0 && row.Top - bottom >= kLineHeight)
                out += QLatin1Char('\n');
            qsizetype lines = 0;
            for (const ReportGridCell &cell : row.Cells) {
                lines = qMax(lines, cell.Lines.size());
                bottom = qMax(bottom, cell.Element->Rect.bottom());
            }
            for (qsizetype k = 0; k < lines; ++k) {
                QString line;
                for (const ReportGridCell &cell : row.Cells) {
                    const QString text = cell.Lines.value(k).trimmed();
                    if (text.isEmpty())
                        continue;
                    const QRectF &box = cell.Element->Rect;
                    int column = at(box.left());
                    if (cell.Element->Alignment & Qt::AlignRight)
                        column = qMax(column, at(box.right()) - int(text.size()));
                    else if (cell.Element->Alignment & Qt::AlignHCenter)
                        column = qMax(column, at(box.center().x()) - int(text.size()) / 2);
                    if (!line.isEmpty() && column <= line.size())
                        column = int(line.size()) + 1;
                    line = line.leftJustified(column, QLatin1Char(' ')) + text;
                }
                out += line + QLatin1Char('\n');
            }
        }
        out += QLatin1Char('\f');
    }
    return out;
}
