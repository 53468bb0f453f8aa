// A grid as a printable list: the columns it shows under their captions, a title over every
// page, a footnote and "Page n of m" under it, on letter paper with half-inch margins.
#pragma once

#include "reporting/ReportDocument.h"

#include <QList>
#include <QString>

class QAbstractItemView;

// The rows given (every row when empty) in the columns the grid shows. Wide grids go landscape.
ReportDocument GridPreviewDocument(const QAbstractItemView &grid, const QList<int> &rows, const QString &title,
                                   const QString &footnote);
