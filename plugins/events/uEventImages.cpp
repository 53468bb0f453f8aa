#include "plugins/events/uEventImages.h"

#include <QAction>
#include <QImage>
#include <QKeySequence>
#include <QMenu>

namespace EventImages {

namespace {

// The icon set's names, in the order of TToolbarImage.
const char *const kToolbarNames[imgCount] = {
    "appointment-new", "accessories-text-editor", "edit-delete", "emblem-default", "system-run", "list-remove",
    "changes-allow", "document-print", "document-print-preview", "view-refresh", "document-open-recent", "x-office-calendar",
    "preferences-system", "mail-send-receive", "help-browser", "help-faq", "help-contents", "help-about",
    "application-exit", "go-home", "mail-message-new"};

QPixmap Picture(const char *name, int size)
{
    return QPixmap(QStringLiteral(":/rvevents/icons/%1/%2.png").arg(size).arg(QLatin1String(name)));
}

QIcon IconOf(const char *name)
{
    QIcon icon;
    for (int size : {24, 48}) {
        const QPixmap picture = Picture(name, size);
        if (picture.isNull())
            continue;
        icon.addPixmap(picture, QIcon::Normal);
        icon.addPixmap(DisabledImage(picture), QIcon::Disabled);
    }
    return icon;
}

// Decoded and greyed once for the module's life: every bar and menu asks for them.
const QList<QIcon> &Icons()
{
    static const QList<QIcon> icons = [] {
        QList<QIcon> list;
        for (const char *name : kToolbarNames)
            list << IconOf(name);
        return list;
    }();
    return icons;
}

} // namespace

QPixmap DisabledImage(const QPixmap &picture)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Light grey at a third of the opacity: apart even from the set's grey pictures.
            const int grey = 150 + qGray(line[x]) * 105 / 255;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 3);
        }
    }
    return QPixmap::fromImage(image);
}

QIcon ToolbarIcon(TToolbarImage image)
{
    return image >= 0 && image < imgCount ? Icons()[image] : QIcon();
}

QList<QIcon> ToolbarImages()
{
    return Icons();
}

QList<QIcon> ToolbarDisabledImages()
{
    QList<QIcon> icons;
    for (const QIcon &icon : Icons()) {
        QIcon disabled;
        for (const QSize &size : icon.availableSizes(QIcon::Disabled))
            disabled.addPixmap(icon.pixmap(size, 1.0, QIcon::Disabled));
        icons << disabled;
    }
    return icons;
}

QList<QPixmap> EventFlagImages()
{
    QList<QPixmap> images;
    for (const char *name : {"emblem-important", "system-users"})
        images << Picture(name, 24).scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return images;
}

QString ToolTipOf(const QAction &action)
{
    QString caption = action.text();
    // "&&" is a literal ampersand, a single one marks the accelerator.
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&')).replace(QStringLiteral("\x01"), QStringLiteral("&"));
    const QKeySequence key = action.shortcut();
    return key.isEmpty() ? caption : QStringLiteral("%1 (%2)").arg(caption, key.toString(QKeySequence::NativeText));
}

void SetToolTips(const QList<QAction *> &actions)
{
    for (QAction *action : actions)
        if (action)
            action->setToolTip(ToolTipOf(*action));
}

QAction *MenuEntry(QObject *owner, QMenu *menu, const QList<QAction *> &actions)
{
    for (QAction *action : actions) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    auto *entry = new QAction(owner);
    entry->setMenu(menu);
    return entry;
}

} // namespace EventImages
