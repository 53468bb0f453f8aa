// A document's texts as rows and columns, for the exports that have no free positions
// (spreadsheet cells, plain text, RTF lines): texts whose tops meet form a row, and texts
// that start at one place across form a column throughout the document.
#pragma once

#include "reporting/ReportDocument.h"

#include <QList>
#include <QStringList>

struct ReportGridCell
{
    int Column = 0;
    const ReportElement *Element = nullptr;
    QStringList Lines;
};

struct ReportGridRow
{
    double Top = 0;
    QList<ReportGridCell> Cells;  // left to right
};

class ReportTextGrid
{
public:
    explicit ReportTextGrid(const ReportDocument &document);

    // The left edges of the columns, in points, left to right.
    const QList<double> &Columns() const { return m_columns; }
    int PageCount() const { return int(m_pages.size()); }
    const QList<ReportGridRow> &Rows(int page) const { return m_pages.at(page); }

private:
    QList<double> m_columns;
    QList<QList<ReportGridRow>> m_pages;
};
