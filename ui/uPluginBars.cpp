#include "ui/uPluginBars.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

QToolBar *CopyPluginBar(const QToolBar *bar, QWidget *parent)
{
    auto *copy = new QToolBar(bar ? bar->windowTitle() : QString(), parent);
    copy->setIconSize(QSize(24, 24));
    copy->setMovable(false);
    if (!bar)
        return copy;
    copy->addActions(bar->actions());
    if (bar->objectName() == QLatin1String("barMenu"))
        for (QAction *action : copy->actions())
            if (auto *button = qobject_cast<QToolButton *>(copy->widgetForAction(action)); button && action->menu())
                button->setPopupMode(QToolButton::InstantPopup);
    return copy;
}
