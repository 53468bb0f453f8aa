// Writes what a grid shows into a file a user opens elsewhere: a spreadsheet (.xlsx), a text
// file (tab-separated), an HTML table or an XML document. Every row of the grid's model goes
// out, in the columns the grid shows and in their order, under the captions it shows. Never
// touches the grid's data.
#pragma once

#include <QList>
#include <QString>

class QAbstractItemModel;
class QAbstractItemView;

// The kinds are the numbers the views pass (2 Excel, 3 text, 4 HTML, 5 XML).
enum class TGridExportKind : quint8 { Excel = 2, Text = 3, Html = 4, Xml = 5 };

struct TGridColumn
{
    int Column = 0;  // in the model
    QString Caption;
};

// The columns a view shows, in the order it shows them (a table view's header decides).
QList<TGridColumn> GridColumns(const QAbstractItemView &view);

// "xlsx", "txt", "html" or "xml".
QString GridExportExtension(TGridExportKind kind);

// Writes every row of the model in the columns given; throws std::runtime_error with a message
// a user can act on when the file cannot be written.
void ExportGridFile(TGridExportKind kind, const QAbstractItemModel &model, const QList<TGridColumn> &columns,
                    const QString &fileName);
