#include "ui/uReportCanvas.h"

#include "ui/ufReportDesigner.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kCaptionHeight = 18;  // pixels of a band's caption strip
constexpr int kPaperMargin = 12;
constexpr int kHandle = 7;          // pixels of the resize handle

QString ItemCaption(const ReportItem &item)
{
    switch (item.Kind) {
    case ReportItemKind::Text: return item.Text;
    case ReportItemKind::Field: return QStringLiteral("[%1]").arg(item.FieldName);
    case ReportItemKind::Expression: return QStringLiteral("{%1}").arg(item.Expression->Source());
    case ReportItemKind::Image: return item.FieldName.isEmpty() ? QStringLiteral("(picture)") : QStringLiteral("[%1]").arg(item.FieldName);
    case ReportItemKind::Line:
    case ReportItemKind::Box: break;
    }
    return {};
}

} // namespace

TDesignerCanvas::TDesignerCanvas(TfReportDesigner *designer)
    : QWidget(designer)
    , m_designer(designer)
{
    setObjectName(QStringLiteral("Canvas"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

QList<TDesignerCanvas::BandArea> TDesignerCanvas::Layout() const
{
    const ReportTemplate &report = m_designer->m_editor.Template();
    QList<BandArea> areas;
    const double scale = TfReportDesigner::kScale;
    int y = kPaperMargin + int(report.Margins.top() * scale);
    const int left = kPaperMargin + int(report.Margins.left() * scale);
    for (const ReportBandRef &band : m_designer->m_editor.Bands()) {
        BandArea area;
        area.Band = band;
        const int width = int(m_designer->m_editor.BandWidth(band) * scale);
        area.Caption = QRect(left, y, int(report.ContentWidth() * scale),
                             kCaptionHeight);
        y += kCaptionHeight;
        area.Area = QRect(left, y, width, qMax(1, int(m_designer->m_editor.Band(band).Height * scale)));
        y += area.Area.height() + 2;
        areas << area;
    }
    return areas;
}

QSize TDesignerCanvas::Needed() const
{
    const ReportTemplate &report = m_designer->m_editor.Template();
    const QList<BandArea> areas = Layout();
    const int bottom = areas.isEmpty() ? 0 : areas.last().Area.bottom();
    const QSizeF page = report.PageSizePoints() * TfReportDesigner::kScale;
    return QSize(int(page.width()) + 2 * kPaperMargin,
                 qMax(int(page.height()), bottom + int(report.Margins.bottom() * TfReportDesigner::kScale)) + 2 * kPaperMargin);
}

void TDesignerCanvas::Relayout()
{
    setFixedSize(Needed());
    update();
}

QRect TDesignerCanvas::ItemArea(const ReportItemRef &item) const
{
    for (const BandArea &area : Layout())
        if (area.Band == item.Band) {
            const QRectF rect = m_designer->m_editor.Item(item).Rect.normalized();
            const double s = TfReportDesigner::kScale;
            return QRect(area.Area.left() + int(rect.left() * s), area.Area.top() + int(rect.top() * s),
                         qMax(3, int(rect.width() * s)), qMax(3, int(rect.height() * s)));
        }
    return {};
}

void TDesignerCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const ReportTemplateEditor &editor = m_designer->m_editor;
    const ReportTemplate &report = editor.Template();
    const double s = TfReportDesigner::kScale;
    const QRect paper(kPaperMargin, kPaperMargin, width() - 2 * kPaperMargin, height() - 2 * kPaperMargin);
    painter.fillRect(paper, Qt::white);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(paper.adjusted(0, 0, -1, -1));
    // The margins, dotted.
    painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 0, Qt::DotLine));
    painter.drawRect(QRectF(paper.left() + report.Margins.left() * s, paper.top() + report.Margins.top() * s,
                            report.ContentWidth() * s,
                            paper.height() - (report.Margins.top() + report.Margins.bottom()) * s));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const BandArea &area : Layout()) {
        const bool current = area.Band == m_designer->m_band;
        painter.fillRect(area.Caption, current ? QColor(0xc9, 0xdc, 0xf2) : QColor(0xe6, 0xe6, 0xe6));
        painter.setPen(QColor(0x33, 0x33, 0x33));
        QFont caption = font();
        caption.setPointSizeF(8);
        painter.setFont(caption);
        painter.drawText(area.Caption.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, editor.BandCaption(area.Band));
        // Every fifth grid line, so that the grid helps without crowding the items.
        const double step = m_designer->m_gridSize * 5 * s;
        if (m_designer->m_gridOn && step >= 4) {
            painter.setPen(QPen(QColor(0xe4, 0xea, 0xf4), 0));
            for (double x = area.Area.left(); x <= area.Area.right(); x += step)
                painter.drawLine(QPointF(x, area.Area.top()), QPointF(x, area.Area.bottom()));
            for (double y = area.Area.top(); y <= area.Area.bottom(); y += step)
                painter.drawLine(QPointF(area.Area.left(), y), QPointF(area.Area.right(), y));
        }
        painter.setPen(QPen(QColor(0xbb, 0xbb, 0xbb), 0, Qt::DashLine));
        painter.drawLine(area.Area.bottomLeft(), area.Area.bottomRight());
        const QList<ReportItem> &items = editor.Band(area.Band).Items;
        for (int i = 0; i < items.size(); ++i)
            PaintItem(painter, area, items.at(i), ReportItemRef{area.Band, i} == m_designer->m_selected);
    }
}

void TDesignerCanvas::PaintItem(QPainter &painter, const BandArea &area, const ReportItem &item, bool selected)
{
    const double s = TfReportDesigner::kScale;
    const QPointF origin = area.Area.topLeft();
    const QRectF rect(origin + item.Rect.topLeft() * s, item.Rect.size() * s);
    switch (item.Kind) {
    case ReportItemKind::Line:
        painter.setPen(QPen(item.Color, qMax(1.0, item.PenWidth * s)));
        painter.drawLine(rect.topLeft(), rect.bottomRight());
        break;
    case ReportItemKind::Box:
        painter.setPen(item.PenWidth > 0 ? QPen(item.Color, item.PenWidth * s) : QPen(QColor(0xcc, 0xcc, 0xcc), 0, Qt::DotLine));
        painter.setBrush(item.Fill.isValid() ? QBrush(item.Fill) : QBrush(Qt::NoBrush));
        painter.drawRect(rect);
        painter.setBrush(Qt::NoBrush);
        break;
    default: {
        painter.setPen(item.Frame ? QPen(item.Color, qMax(1.0, item.PenWidth * s)) : QPen(QColor(0xcc, 0xcc, 0xcc), 0, Qt::DotLine));
        painter.drawRect(rect);
        QFont font(item.Font.Family);
        font.setPixelSize(qMax(1, qRound(item.Font.PointSize * s)));
        font.setBold(item.Font.Bold);
        font.setItalic(item.Font.Italic);
        font.setUnderline(item.Font.Underline);
        painter.setFont(font);
        painter.setPen(item.Kind == ReportItemKind::Text ? item.Color : QColor(0x1f, 0x4e, 0x8c));
        painter.save();
        painter.setClipRect(rect);
        QString caption = ItemCaption(item);
        // A caption longer than its item ends in "..." where the item does, whatever its alignment.
        if (!item.WordWrap && !caption.contains(QLatin1Char('\n')))
            caption = QFontMetricsF(font).elidedText(caption, Qt::ElideRight, rect.width());
        painter.drawText(rect, int(item.Alignment) | (item.WordWrap ? Qt::TextWordWrap : 0), caption);
        painter.restore();
    }
    }
    if (selected) {
        const QRectF area2 = rect.normalized().adjusted(-1, -1, 1, 1);
        painter.setPen(QPen(QColor(0x1e, 0x6f, 0xd9), 1.5));
        painter.drawRect(area2);
        painter.fillRect(QRectF(area2.right() - kHandle + 1, area2.bottom() - kHandle + 1, kHandle, kHandle), QColor(0x1e, 0x6f, 0xd9));
    }
}

std::optional<std::pair<ReportBandRef, QPointF>> TDesignerCanvas::At(const QPoint &pos, bool *onCaption) const
{
    for (const BandArea &area : Layout()) {
        if (area.Caption.contains(pos)) {
            if (onCaption)
                *onCaption = true;
            return std::pair{area.Band, QPointF()};
        }
        if (pos.y() >= area.Area.top() && pos.y() <= area.Area.bottom() + 1)
            return std::pair{area.Band, QPointF(pos - area.Area.topLeft()) / TfReportDesigner::kScale};
    }
    return std::nullopt;
}

void TDesignerCanvas::mousePressEvent(QMouseEvent *event)
{
    setFocus();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    m_drag = Drag::None;
    // The selected item's handle first: it may lie just outside the item.
    if (HandleArea().contains(pos)) {
        StartDrag(Drag::Resize, pos);
        return;
    }
    bool caption = false;
    const auto at = At(pos, &caption);
    if (!at)
        return;
    const int index = caption ? -1 : m_designer->m_editor.ItemAt(at->first, at->second, 2);
    if (index < 0) {
        m_designer->SelectBand(at->first);
        return;
    }
    m_designer->Select({at->first, index});
    StartDrag(Drag::Move, pos);
}

void TDesignerCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_drag == Drag::None || !m_designer->m_selected.IsValid()) {
        setCursor(HandleArea().contains(pos) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
        return;
    }
    const QPointF delta = QPointF(pos - m_pressed) / TfReportDesigner::kScale;
    const ReportItemRef item = m_designer->m_selected;
    const double grid = m_designer->m_gridOn ? m_designer->m_gridSize : 0;
    m_designer->Apply([&](const ReportItemRef &ref) {
        if (m_drag == Drag::Move) {
            const QPointF target(ReportTemplateEditor::Snap(m_start.left() + delta.x(), grid),
                                 ReportTemplateEditor::Snap(m_start.top() + delta.y(), grid));
            m_designer->m_editor.MoveItem(ref, target - m_designer->m_editor.Item(item).Rect.topLeft());
        } else {
            const QSizeF size(ReportTemplateEditor::Snap(m_start.width() + delta.x(), grid),
                              ReportTemplateEditor::Snap(m_start.height() + delta.y(), grid));
            m_designer->m_editor.ResizeItem(ref, size);
        }
    });
}

void TDesignerCanvas::mouseReleaseEvent(QMouseEvent *)
{
    if (m_drag != Drag::None)
        m_designer->m_editor.EndStep();
    m_drag = Drag::None;
}

void TDesignerCanvas::keyPressEvent(QKeyEvent *event)
{
    const ReportItemRef item = m_designer->m_selected;
    if (event->key() == Qt::Key_Delete && item.IsValid()) {
        m_designer->DeleteSelected();
        return;
    }
    QPointF step;
    switch (event->key()) {
    case Qt::Key_Left: step = {-1, 0}; break;
    case Qt::Key_Right: step = {1, 0}; break;
    case Qt::Key_Up: step = {0, -1}; break;
    case Qt::Key_Down: step = {0, 1}; break;
    default: QWidget::keyPressEvent(event); return;
    }
    if (!item.IsValid())
        return;
    // A grid step, or one point with Ctrl held; Shift resizes.
    step *= (m_designer->m_gridOn && !(event->modifiers() & Qt::ControlModifier)) ? m_designer->m_gridSize : 1.0;
    m_designer->Apply([&](const ReportItemRef &ref) {
        if (event->modifiers() & Qt::ShiftModifier) {
            const QSizeF size = m_designer->m_editor.Item(ref).Rect.size();
            m_designer->m_editor.ResizeItem(ref, QSizeF(size.width() + step.x(), size.height() + step.y()));
        } else {
            m_designer->m_editor.MoveItem(ref, step);
        }
    });
}

QRect TDesignerCanvas::HandleArea() const
{
    if (!m_designer->m_selected.IsValid())
        return {};
    const QRect area = ItemArea(m_designer->m_selected).adjusted(-1, -1, 1, 1);
    return {area.right() - kHandle, area.bottom() - kHandle, kHandle + 2, kHandle + 2};
}

void TDesignerCanvas::StartDrag(Drag drag, const QPoint &pos)
{
    // However far the mouse goes, the drag is one step to undo.
    if (m_drag == Drag::None)
        m_designer->m_editor.BeginStep();
    m_drag = drag;
    m_pressed = pos;
    m_start = m_designer->m_editor.Item(m_designer->m_selected).Rect;
}
