#include "reporting/ReportHtmlExporter.h"

#include <QBuffer>

namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;

QString Px(double points)
{
    return QString::number(points * kPixelsPerPoint, 'f', 1) + QStringLiteral("px");
}

QString Css(const ReportElement &element)
{
    const ReportFont &font = element.Font;
    QString style = QStringLiteral("left:%1;top:%2;width:%3;height:%4;font:%5%6%7pt '%8';color:%9")
                        .arg(Px(element.Rect.left()), Px(element.Rect.top()), Px(element.Rect.width()), Px(element.Rect.height()))
                        .arg(font.Italic ? QStringLiteral("italic ") : QString(), font.Bold ? QStringLiteral("bold ") : QString())
                        .arg(font.PointSize)
                        .arg(QString(font.Family).remove(QLatin1Char('\'')).toHtmlEscaped(), element.Color.name());
    if (font.Underline)
        style += QStringLiteral(";text-decoration:underline");
    if (element.Alignment & Qt::AlignRight)
        style += QStringLiteral(";text-align:right");
    else if (element.Alignment & Qt::AlignHCenter)
        style += QStringLiteral(";text-align:center");
    return style;
}

QString Png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(bytes.toBase64());
}

} // namespace

QString ReportHtmlExporter::Html(const ReportDocument &document)
{
    const QSizeF page = document.PageSize();
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n<style>\n")
                .arg(document.Title().toHtmlEscaped());
    html += QStringLiteral("@page { size: A4; margin: 0 }\n"
                           "body { background: #808080; margin: 0 }\n"
                           ".page { position: relative; overflow: hidden; background: #fff; margin: 12px auto; "
                           "width: %1; height: %2; page-break-after: always }\n"
                           ".page > * { position: absolute; margin: 0 }\n"
                           ".page > span { white-space: pre; line-height: 1.17; overflow: hidden }\n"
                           ".page > span.wrap { white-space: pre-wrap }\n"
                           ".page > svg { left: 0; top: 0 }\n"
                           "</style>\n</head>\n<body>\n")
                .arg(Px(page.width()), Px(page.height()));
    for (int p = 0; p < document.PageCount(); ++p) {
        html += QStringLiteral("<div class=\"page\" id=\"page%1\">\n").arg(p + 1);
        QString shapes;
        for (const ReportElement &element : document.Page(p).Elements) {
            switch (element.ElementKind) {
            case ReportElement::Kind::Text:
                if (!element.Text.isEmpty())
                    html += QStringLiteral("<span%1 style=\"%2\">%3</span>\n")
                                .arg(element.WordWrap ? QStringLiteral(" class=\"wrap\"") : QString(), Css(element),
                                     element.Text.toHtmlEscaped());
                break;
            case ReportElement::Kind::Line: {
                const QLineF line = element.Line();
                shapes += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" stroke-width=\"%6\"/>\n")
                              .arg(line.x1() * kPixelsPerPoint)
                              .arg(line.y1() * kPixelsPerPoint)
                              .arg(line.x2() * kPixelsPerPoint)
                              .arg(line.y2() * kPixelsPerPoint)
                              .arg(element.Color.name())
                              .arg(qMax(element.PenWidth, 0.5) * kPixelsPerPoint);
                break;
            }
            case ReportElement::Kind::Box:
                shapes += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\" stroke=\"%6\" stroke-width=\"%7\"/>\n")
                              .arg(element.Rect.left() * kPixelsPerPoint)
                              .arg(element.Rect.top() * kPixelsPerPoint)
                              .arg(element.Rect.width() * kPixelsPerPoint)
                              .arg(element.Rect.height() * kPixelsPerPoint)
                              .arg(element.Fill.isValid() ? element.Fill.name() : QStringLiteral("none"),
                                   element.PenWidth > 0 ? element.Color.name() : QStringLiteral("none"))
                              .arg(element.PenWidth * kPixelsPerPoint);
                break;
            case ReportElement::Kind::Image:
                if (!element.Image.isNull())
                    html += QStringLiteral("<img alt=\"\" style=\"left:%1;top:%2;width:%3;height:%4;object-fit:contain\" src=\"%5\">\n")
                                .arg(Px(element.Rect.left()), Px(element.Rect.top()), Px(element.Rect.width()),
                                     Px(element.Rect.height()), Png(element.Image));
                break;
            }
        }
        if (!shapes.isEmpty())
            html += QStringLiteral("<svg width=\"%1\" height=\"%2\">\n%3</svg>\n")
                        .arg(page.width() * kPixelsPerPoint)
                        .arg(page.height() * kPixelsPerPoint)
                        .arg(shapes);
        html += QStringLiteral("</div>\n");
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}
