// A grid as a printable list, laid out as the groups view's member list: the columns the grid
// shows under their captions, as wide as on screen, scaled to the paper.
#pragma once

#include "reporting/ReportDocument.h"

#include <QList>
#include <QString>

class QAbstractItemView;

// The rows given (every row when empty), each cell as the grid shows it.
ReportDocument GridPreviewDocument(const QAbstractItemView &grid, const QList<int> &rows, const QString &title,
                                   const QString &footnote);
