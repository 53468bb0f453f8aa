// The pictures of the events plug-in: the toolbar and menu icons the module controller hands
// the host (normal and disabled), and the event flag images the calendar draws on its events.
// They come from the Adwaita icon set and are built into the module, so nothing is read from
// the desktop's theme at run time. Also the tooltips of the toolbar buttons and the entries of
// the menu bar the host copies.
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

class QAction;
class QMenu;
class QObject;

namespace EventImages {

// The image list imgToolbarNormal by index.
enum TToolbarImage {
    imgAdd,
    imgEdit,
    imgDelete,
    imgComplete,
    imgSchedule,
    imgClearAssignments,
    imgRemoveNotLocked,
    imgPrint,
    imgPreview,
    imgRefresh,
    imgToday,
    imgViews,
    imgOptions,
    imgSynchronise,
    imgHelp,
    imgFaq,
    imgGettingStarted,
    imgAbout,
    imgExit,
    imgHome,
    imgEmail,
    imgCount
};

// The icon with its disabled image, for buttons and menu entries.
QIcon ToolbarIcon(TToolbarImage image);
// imgToolbarNormal and imgToolbarDisabled: every image, in the order above.
QList<QIcon> ToolbarImages();
QList<QIcon> ToolbarDisabledImages();
// The disabled form of a picture: grey and faded.
QPixmap DisabledImage(const QPixmap &picture);
// imgEvents: image 0 the minister flag (bit 0 of FlagEvent), image 1 the fill-in mark (bit 1).
QList<QPixmap> EventFlagImages();

// A button's tooltip: the caption without its accelerator mark, and the shortcut in brackets.
QString ToolTipOf(const QAction &action);
// Gives every action its tooltip; again after the captions change.
void SetToolTips(const QList<QAction *> &actions);

// An entry of the menu bar, owned by owner, that opens the menu filled with these actions (a
// null action: a separator). The host's copy of the bar opens it on a click.
QAction *MenuEntry(QObject *owner, QMenu *menu, const QList<QAction *> &actions);

} // namespace EventImages
