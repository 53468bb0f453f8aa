#include "plugins/contacts/uGridPreview.h"

#include "plugins/contacts/uGridExport.h"
#include "plugins/contacts/uGroupsRules.h"

#include "reporting/ReportEngine.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QTableView>

ReportDocument GridPreviewDocument(const QAbstractItemView &grid, const QList<int> &rows, const QString &title,
                                   const QString &footnote)
{
    const QAbstractItemModel *model = grid.model();
    const auto *table = qobject_cast<const QTableView *>(&grid);
    QList<TListColumn> columns;
    const QList<TGridColumn> shown = GridColumns(grid);
    for (const TGridColumn &c : shown)
        columns << TListColumn{c.Caption, table ? table->horizontalHeader()->sectionSize(c.Column) : 100};
    QList<int> chosen = rows;
    if (chosen.isEmpty() && model)
        for (int r = 0; r < model->rowCount(); ++r)
            chosen << r;
    QList<QStringList> texts;
    for (int r : chosen) {
        QStringList line;
        for (const TGridColumn &c : shown) {
            // As the grid shows it (dates of birth without a time).
            const QModelIndex index = model->index(r, c.Column);
            const auto *delegate = qobject_cast<const QStyledItemDelegate *>(grid.itemDelegateForIndex(index));
            line << (delegate ? delegate->displayText(index.data(), QLocale()) : index.data().toString()).simplified();
        }
        texts << line;
    }
    return ReportEngine::Render(TGroupsRules::ListReport(title, footnote, columns), TGroupsRules::ListData(texts, int(columns.size())));
}
