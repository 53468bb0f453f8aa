#include "reporting/ReportDocument.h"

#include "reporting/ReportError.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>

namespace {

constexpr double kDotsPerPoint = ReportDocument::kLayoutDpi / 72.0;

// The few fonts of one page, made once per painting.
class FontCache
{
public:
    const QFont &Get(const ReportFont &font)
    {
        for (const auto &[key, value] : m_fonts)
            if (key == font)
                return value;
        m_fonts.append({font, ReportDocument::LayoutFont(font)});
        return m_fonts.last().second;
    }

private:
    QList<std::pair<ReportFont, QFont>> m_fonts;
};

QRectF FitKeepingShape(const QSizeF &picture, const QRectF &box)
{
    if (picture.isEmpty())
        return {};
    const QSizeF size = picture.scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2, size.width(),
                  size.height());
}

} // namespace

QFont ReportDocument::LayoutFont(const ReportFont &font)
{
    QFont result(font.Family);
    result.setPixelSize(qMax(1, qRound(font.PointSize * kDotsPerPoint)));
    result.setBold(font.Bold);
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    result.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: a PDF reader must find "fi" as two letters when it searches or copies.
    result.setStyleStrategy(QFont::PreferNoShaping);
    return result;
}

QPageLayout ReportDocument::PageLayout() const
{
    return QPageLayout(m_paper, m_orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

const ReportPage &ReportDocument::Page(int index) const
{
    if (index < 0 || index >= m_pages.size())
        throw EReportError(QStringLiteral("The report has no page %1 (it has %2)").arg(index + 1).arg(m_pages.size()));
    return m_pages.at(index);
}

void ReportDocument::PaintPage(QPainter &painter, int index, const QRectF &target) const
{
    const ReportPage &page = Page(index);
    if (m_pageSize.isEmpty() || target.isEmpty())
        return;
    const double scale = qMin(target.width() / m_pageSize.width(), target.height() / m_pageSize.height());
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    QTransform points = painter.transform();
    points.translate(target.left(), target.top());
    points.scale(scale, scale);
    QTransform dots = points;
    dots.scale(1.0 / kDotsPerPoint, 1.0 / kDotsPerPoint);
    FontCache fonts;
    for (const ReportElement &element : page.Elements) {
        switch (element.ElementKind) {
        case ReportElement::Kind::Text: {
            if (element.Text.isEmpty())
                break;
            painter.setTransform(dots);
            painter.setFont(fonts.Get(element.Font));
            painter.setPen(element.Color);
            const QRectF box(element.Rect.topLeft() * kDotsPerPoint, element.Rect.size() * kDotsPerPoint);
            painter.drawText(box, int(element.Alignment) | (element.WordWrap ? Qt::TextWordWrap : 0), element.Text);
            break;
        }
        case ReportElement::Kind::Line:
            painter.setTransform(points);
            painter.setPen(QPen(element.Color, element.PenWidth));
            painter.drawLine(element.Line());
            break;
        case ReportElement::Kind::Box:
            painter.setTransform(points);
            painter.setPen(element.PenWidth > 0 ? QPen(element.Color, element.PenWidth) : QPen(Qt::NoPen));
            painter.setBrush(element.Fill.isValid() ? QBrush(element.Fill) : QBrush(Qt::NoBrush));
            painter.drawRect(element.Rect);
            painter.setBrush(Qt::NoBrush);
            break;
        case ReportElement::Kind::Image:
            if (element.Image.isNull())
                break;
            painter.setTransform(points);
            painter.drawImage(FitKeepingShape(element.Image.size(), element.Rect), element.Image);
            break;
        }
    }
    painter.restore();
}

QImage ReportDocument::PageImage(int index, double dpi) const
{
    Page(index);
    const QSize size(int(std::ceil(m_pageSize.width() * dpi / 72.0)), int(std::ceil(m_pageSize.height() * dpi / 72.0)));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter painter(&image);
    PaintPage(painter, index, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

void ReportDocument::Print(QPagedPaintDevice &device, int first, int last, const std::optional<QPageLayout> &layout) const
{
    if (last < 0)
        last = PageCount() - 1;
    Page(first);
    Page(last);
    device.setPageLayout(layout ? *layout : PageLayout());
    QPainter painter;
    if (!painter.begin(&device))
        throw EReportError(QStringLiteral("The report cannot be painted on the printer or file"));
    for (int i = first; i <= last; ++i) {
        if (i > first && !device.newPage()) {
            painter.end();
            throw EReportError(QStringLiteral("The printer or file took no page %1").arg(i + 1));
        }
        PaintPage(painter, i, QRectF(0, 0, device.width(), device.height()));
    }
    if (!painter.end())
        throw EReportError(QStringLiteral("The report could not be finished on the printer or file"));
}
