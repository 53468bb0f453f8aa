// The schedule's preview as a report: the page header and footer and, under them, the grids
// row by row as they draw their cells.
#pragma once

#include <QRectF>

#include <functional>

class QPainter;
class QPrinter;
class QTableView;

// Prints grids as a report: the header and then every row of the grid's model (the rows its
// filter passes, not only those on the screen), each cell drawn by the grid's own delegate
// without selection or scroll bars, the columns shrunk to the page width. New pages repeat the
// page header and footer and the column captions.
class TGridReport
{
public:
    TGridReport(QPrinter &printer, QPainter &painter, std::function<void()> pageBands, const QRectF &body);

    int Pages() const { return m_pages; }

    // The grid's rows; the count of those that are not group rows, which are only headings.
    int Print(QTableView &grid);

private:
    bool Fits(int height) const { return m_y + height * m_scale <= m_body.height(); }
    void NewPage();
    // A group row: its text over the whole line.
    void GroupLine(QTableView &grid, int width, int height, const QString &text);
    // One line of cells, in grid pixels scaled onto the page.
    void Cells(QTableView &grid, const QList<int> &columns, int height, const std::function<void(int, const QRect &)> &paint);

    QPrinter &m_printer;
    QPainter &m_painter;
    std::function<void()> m_pageBands;
    QRectF m_body;
    qreal m_scale = 1;
    qreal m_y = 0;
    int m_pages = 1;
};

// What a preview painted: its pages and the rows of each grid.
struct TSchedulePrintout
{
    int Pages = 0;
    int EventRows = 0;
    int FunctionRows = 0;
};

// The event grid and, when functions is given, the function grid below it, on the printer's
// pages under the header title and over the footer title.
TSchedulePrintout PrintSchedule(QPrinter &printer, QTableView &events, QTableView *functions, const QString &headerTitle,
                                const QString &footerTitle);
