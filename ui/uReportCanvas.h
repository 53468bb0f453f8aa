// The report designer's design tab, apart from its window, actions and property panel: the
// canvas reads the designer's template, selection and grid and edits them as its friend.
#pragma once

#include "reporting/ReportTemplateEditor.h"

#include <QWidget>

#include <optional>

class QPainter;
class TfReportDesigner;

// The page as the designer shows it: the paper at scale, each band a strip under its caption
// with its items in place, the selected item with its resize handle, and the grid.
class TDesignerCanvas : public QWidget
{
public:
    explicit TDesignerCanvas(TfReportDesigner *designer);

    struct BandArea
    {
        ReportBandRef Band;
        QRect Caption;
        QRect Area;
    };

    QList<BandArea> Layout() const;
    QSize Needed() const;
    void Relayout();
    QRect ItemArea(const ReportItemRef &item) const;

protected:
    void paintEvent(QPaintEvent *) override;
    void PaintItem(QPainter &painter, const BandArea &area, const ReportItem &item, bool selected);
    // The band under a point, and the point in the band's points.
    std::optional<std::pair<ReportBandRef, QPointF>> At(const QPoint &pos, bool *onCaption = nullptr) const;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Drag { None, Move, Resize };

    // The selected item's resize handle at its bottom right corner; empty without a selection.
    QRect HandleArea() const;
    void StartDrag(Drag drag, const QPoint &pos);

    TfReportDesigner *m_designer;
    Drag m_drag = Drag::None;
    QPoint m_pressed;
    QRectF m_start;
};
