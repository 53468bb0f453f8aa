#include "reporting/ReportRtfExporter.h"

#include "reporting/ReportTextGrid.h"

#include <QPageSize>

namespace {

constexpr double kTwipsPerPoint = 20.0;
constexpr double kMarginPoints = 36.0;

QByteArray Escaped(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            out += '\\';
            out += char(code);
        } else if (code == '\t') {
            out += "\\tab ";
        } else if (code < 0x20) {
            continue;
        } else if (code < 0x80) {
            out += char(code);
        } else {
            // RTF writes a Unicode character as a signed 16-bit number, then a fallback.
            out += "\\u" + QByteArray::number(qint16(code)) + '?';
        }
    }
    return out;
}

} // namespace

QByteArray ReportRtfExporter::Rtf(const ReportDocument &document)
{
    const ReportTextGrid grid(document);
    const bool landscape = document.PageLayout().orientation() == QPageLayout::Landscape;
    const QSizeF paper = ReportTemplate::PaperPoints(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait);

    QStringList fonts;
    for (int p = 0; p < document.PageCount(); ++p)
        for (const ReportElement &element : document.Page(p).Elements)
            if (element.ElementKind == ReportElement::Kind::Text && !fonts.contains(element.Font.Family))
                fonts << element.Font.Family;
    if (fonts.isEmpty())
        fonts << ReportFont().Family;

    // The report's width across, squeezed onto A4 when it is wider.
    const double origin = grid.Columns().isEmpty() ? 0 : grid.Columns().first();
    const double room = paper.width() - 2 * kMarginPoints;
    const double used = document.PageSize().width() - origin - kMarginPoints;
    const double squeeze = used > room ? room / used : 1.0;
    const auto twips = [&](double x) { return qMax(0, qRound((x - origin) * squeeze * kTwipsPerPoint)); };

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i)
        rtf += "{\\f" + QByteArray::number(i) + "\\fswiss " + Escaped(fonts.at(i)) + ";}";
    rtf += "}\n{\\info{\\title " + Escaped(document.Title()) + "}{\\author Quorva}{\\keywords Kestrova}}\n";
    rtf += "\\paperw" + QByteArray::number(qRound(paper.width() * kTwipsPerPoint)) + "\\paperh" +
           QByteArray::number(qRound(paper.height() * kTwipsPerPoint));
    const QByteArray margin = QByteArray::number(qRound(kMarginPoints * kTwipsPerPoint));
    rtf += "\\margl" + margin + "\\margr" + margin + "\\margt" + margin + "\\margb" + margin;
    if (landscape)
        rtf += "\\landscape";
    rtf += "\n";

    for (int p = 0; p < grid.PageCount(); ++p) {
        if (p > 0)
            rtf += "\\page\n";
        for (const ReportGridRow &row : grid.Rows(p)) {
            qsizetype lines = 0;
            for (const ReportGridCell &cell : row.Cells)
                lines = qMax(lines, cell.Lines.size());
            for (qsizetype k = 0; k < lines; ++k) {
                QByteArray stops;
                QByteArray text;
                int lastStop = 0;
                for (const ReportGridCell &cell : row.Cells) {
                    const ReportElement &element = *cell.Element;
                    const bool right = element.Alignment & Qt::AlignRight;
                    const int stop = right ? twips(element.Rect.right()) : twips(element.Rect.left());
                    if (stop > lastStop) {
                        stops += (right ? "\\tqr\\tx" : "\\tx") + QByteArray::number(stop);
                        text += "\\tab ";
                        lastStop = stop;
                    } else if (!text.isEmpty()) {
                        text += ' ';
                    }
                    const ReportFont &font = element.Font;
                    text += "{\\f" + QByteArray::number(fonts.indexOf(font.Family)) + "\\fs" +
                            QByteArray::number(qRound(font.PointSize * 2)) + (font.Bold ? "\\b" : "") + (font.Italic ? "\\i" : "") +
                            (font.Underline ? "\\ul" : "") + ' ' + Escaped(cell.Lines.value(k)) + '}';
                }
                rtf += "\\pard\\plain" + stops + ' ' + text + "\\par\n";
            }
        }
    }
    rtf += "}\n";
    return rtf;
}
