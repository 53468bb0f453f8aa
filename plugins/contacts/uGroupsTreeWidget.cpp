#include "plugins/contacts/uGroupsTreeWidget.h"

#include <QDragMoveEvent>
#include <QDropEvent>

void TGroupsTreeWidget::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidgetItem *target = itemAt(event->position().toPoint());
    if (event->source() == this && Accepts && Accepts(currentItem(), target)) {
        if (target->childCount() > 0)
            target->setExpanded(true);
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TGroupsTreeWidget::dropEvent(QDropEvent *event)
{
    QTreeWidgetItem *target = itemAt(event->position().toPoint());
    QTreeWidgetItem *moved = currentItem();
    // The tree never moves items itself: the view stores the move first.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (event->source() == this && Accepts && Dropped && Accepts(moved, target))
        Dropped(moved, target);
}
