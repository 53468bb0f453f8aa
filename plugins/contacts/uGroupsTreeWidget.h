// The groups view's tree: drags are checked by the view's rules; a drop moves the group through the view.
#pragma once

#include <QTreeWidget>

#include <functional>

class TGroupsTreeWidget : public QTreeWidget
{
public:
    std::function<bool(const QTreeWidgetItem *, const QTreeWidgetItem *)> Accepts;
    std::function<void(QTreeWidgetItem *, QTreeWidgetItem *)> Dropped;

protected:
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
