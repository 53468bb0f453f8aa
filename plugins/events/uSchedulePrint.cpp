#include "plugins/events/uSchedulePrint.h"

#include "plugins/events/uGroupedRows.h"

#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>

namespace {

// A widget's font in its screen pixels. Text drawn by the painter takes the font's points at
// the printer's resolution, and the page is already scaled from grid pixels, so a font in
// points would print many times too large (and be cut to nothing).
QFont PixelFont(const QFont &font)
{
    QFont sized = font;
    sized.setPixelSize(QFontInfo(font).pixelSize());
    return sized;
}

} // namespace

TGridReport::TGridReport(QPrinter &printer, QPainter &painter, std::function<void()> pageBands, const QRectF &body)
    : m_printer(printer), m_painter(painter), m_pageBands(std::move(pageBands)), m_body(body)
{
    m_pageBands();
}

int TGridReport::Print(QTableView &grid)
{
    QHeaderView &header = *grid.horizontalHeader();
    QList<int> columns;
    int width = 0;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        if (!header.isSectionHidden(logical) && header.sectionSize(logical) > 0) {
            columns << logical;
            width += header.sectionSize(logical);
        }
    }
    QAbstractItemModel *model = grid.model();
    if (columns.isEmpty() || !model)
        return 0;
    m_scale = m_body.width() / width;
    const int captionHeight = std::max(header.height(), grid.fontMetrics().height() + 8);
    if (m_y > 0)
        m_y += 12 * m_scale; // a gap between two grids
    // The captions drawn by the header's own style, measured in the header's pixels as the
    // cells are, so that they are cut where the screen cuts them and not to nothing.
    const auto captions = [&] {
        Cells(grid, columns, captionHeight, [&](int column, const QRect &cell) {
            QStyleOptionHeader option;
            option.initFrom(&header);
            option.rect = cell;
            option.section = column;
            option.orientation = Qt::Horizontal;
            option.position = QStyleOptionHeader::Middle;
            option.state = QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_Raised;
            option.text = model->headerData(column, Qt::Horizontal).toString();
            option.textAlignment = header.defaultAlignment();
            m_painter.setFont(PixelFont(header.font()));
            m_painter.setPen(header.palette().color(QPalette::ButtonText));
            header.style()->drawControl(QStyle::CE_Header, &option, &m_painter, &header);
        });
    };
    if (!Fits(captionHeight))
        NewPage();
    captions();
    const int rows = model->rowCount();
    int printed = 0;
    for (int row = 0; row < rows; ++row) {
        const int height = std::max(grid.rowHeight(row), grid.verticalHeader()->defaultSectionSize());
        if (!Fits(height)) {
            NewPage();
            captions();
        }
        if (const auto *grouped = dynamic_cast<const TGroupedRowsModel *>(model); grouped && grouped->IsGroupRow(row)) {
            GroupLine(grid, width, height, model->index(row, 0).data().toString());
            continue;
        }
        ++printed;
        Cells(grid, columns, height, [&](int column, const QRect &cell) {
            QStyleOptionViewItem option;
            option.rect = cell;
            option.font = grid.font();
            option.fontMetrics = grid.fontMetrics();
            option.palette = grid.palette();
            option.state = QStyle::State_Enabled;
            option.widget = &grid;
            option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
            option.textElideMode = Qt::ElideRight;
            if (row % 2 == 1)
                m_painter.fillRect(cell, grid.palette().color(QPalette::AlternateBase));
            m_painter.setFont(grid.font());
            grid.itemDelegateForIndex(model->index(row, column))->paint(&m_painter, option, model->index(row, column));
        });
    }
    return printed;
}

void TGridReport::NewPage()
{
    m_printer.newPage();
    ++m_pages;
    m_pageBands();
    m_y = 0;
}

void TGridReport::GroupLine(QTableView &grid, int width, int height, const QString &text)
{
    m_painter.save();
    m_painter.translate(m_body.left(), m_body.top() + m_y);
    m_painter.scale(m_scale, m_scale);
    const QRect line(0, 0, width, height);
    m_painter.fillRect(line, grid.palette().color(QPalette::Button));
    QFont bold = PixelFont(grid.font());
    bold.setBold(true);
    m_painter.setFont(bold);
    m_painter.setPen(grid.palette().color(QPalette::Text));
    m_painter.drawText(line.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    m_painter.setPen(grid.palette().color(QPalette::Mid));
    m_painter.drawRect(line);
    m_painter.restore();
    m_y += height * m_scale;
}

void TGridReport::Cells(QTableView &grid, const QList<int> &columns, int height, const std::function<void(int, const QRect &)> &paint)
{
    m_painter.save();
    m_painter.translate(m_body.left(), m_body.top() + m_y);
    m_painter.scale(m_scale, m_scale);
    int x = 0;
    for (int column : columns) {
        const QRect cell(x, 0, grid.horizontalHeader()->sectionSize(column), height);
        m_painter.save();
        m_painter.setClipRect(cell);
        paint(column, cell);
        m_painter.restore();
        m_painter.setPen(grid.palette().color(QPalette::Mid));
        m_painter.drawRect(cell);
        x += cell.width();
    }
    m_painter.restore();
    m_y += height * m_scale;
}

TSchedulePrintout PrintSchedule(QPrinter &printer, QTableView &events, QTableView *functions, const QString &headerTitle,
                                const QString &footerTitle)
{
    QPainter painter(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    // Header and footer take 0.2 inch each.
    const qreal band = 0.2 * printer.resolution();
    const auto bands = [&] {
        painter.save();
        QFont font = painter.font();
        font.setPointSizeF(9);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), area.top(), area.width(), band), Qt::AlignLeft | Qt::AlignVCenter, headerTitle);
        painter.drawText(QRectF(area.left(), area.bottom() - band, area.width(), band), Qt::AlignHCenter | Qt::AlignVCenter, footerTitle);
        painter.restore();
    };
    TGridReport report(printer, painter, bands, QRectF(area.left(), area.top() + band * 1.5, area.width(), area.height() - band * 3));
    TSchedulePrintout printed;
    printed.EventRows = report.Print(events);
    if (functions)
        printed.FunctionRows = report.Print(*functions);
    printed.Pages = report.Pages();
    return printed;
}
