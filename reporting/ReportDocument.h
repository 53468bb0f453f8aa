// A rendered report: its pages, each a list of positioned elements (texts with their values,
// lines, boxes, pictures) in points from the page's top left. A viewer pages through it and
// paints one page at any zoom; printing, PDF and the other exports read the same pages.
// Painting never changes the document: one document can be painted from any thread.
#pragma once

#include "reporting/ReportTemplate.h"
#include "reporting/ReportingExport.h"

#include <QImage>
#include <QLineF>
#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

#include <optional>

class QPainter;
class QPagedPaintDevice;

struct REPORTING_EXPORT ReportElement
{
    enum class Kind { Text, Line, Box, Image };

    Kind ElementKind = Kind::Text;
    ReportBandKind Band = ReportBandKind::Detail;
    QRectF Rect;        // points on the page; a line's from its first point to its second
    QString Text;       // as shown, lines separated by "\n"
    QVariant Value;     // the value a field or expression showed; null for fixed texts
    ReportFont Font;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignTop;
    bool WordWrap = false;
    QColor Color = Qt::black;
    QColor Fill;
    double PenWidth = 0.5;
    QImage Image;

    QLineF Line() const { return QLineF(Rect.topLeft(), Rect.bottomRight()); }
};

struct REPORTING_EXPORT ReportPage
{
    QList<ReportElement> Elements;
};

class REPORTING_EXPORT ReportDocument
{
public:
    // The resolution at which text is laid out and painted, whatever the target: the same
    // lines break at the same words on screen, paper and PDF.
    static constexpr double kLayoutDpi = 1200.0;

    QString Title() const { return m_title; }
    QString TemplateName() const { return m_templateName; }
    // The paper in points, turned for landscape.
    QSizeF PageSize() const { return m_pageSize; }
    QPageLayout PageLayout() const;
    int PageCount() const { return int(m_pages.size()); }
    bool IsEmpty() const { return m_pages.isEmpty(); }
    // Throws EReportError for a page that does not exist (0-based).
    const ReportPage &Page(int index) const;

    // Paints the page (0-based) into target, in the painter's coordinates, keeping its shape.
    void PaintPage(QPainter &painter, int index, const QRectF &target) const;
    // The page as a picture with white paper, dpi dots per inch.
    QImage PageImage(int index, double dpi) const;
    // Pages first..last (0-based, -1 for the last) onto a printer or PDF writer, one page of
    // the device each, on the document's paper and orientation unless another layout is
    // given (a page of another size shows the report's page scaled to fit). The device must
    // not be painting yet.
    void Print(QPagedPaintDevice &device, int first = 0, int last = -1, const std::optional<QPageLayout> &layout = {}) const;

    // The font an element is painted with, at the layout resolution (pixel size in dots).
    static QFont LayoutFont(const ReportFont &font);

private:
    friend class ReportEngine;

    QString m_title;
    QString m_templateName;
    QSizeF m_pageSize;
    QPageSize m_paper = QPageSize(QPageSize::Letter);
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QList<ReportPage> m_pages;
};
