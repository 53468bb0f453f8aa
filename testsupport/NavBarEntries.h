// The navigation bar as "group: item (plug-in)" lines, so a test compares what a user sees
// in one list (a missing picture shows in the line), or as a line per group.
#pragma once

#include "client/NavBarBuilder.h"

#include <QStringList>

inline QStringList NavBarEntries(const QList<TNavBarGroup> &groups)
{
    QStringList entries;
    for (const TNavBarGroup &g : groups)
        for (const TNavBarItem &i : g.Items)
            entries << g.Caption + QStringLiteral(": ") + i.Caption + QStringLiteral(" (") + i.PluginName
                    + (i.Bitmap.isNull() ? QStringLiteral(", no picture)") : QStringLiteral(")"));
    return entries;
}

// "group: item, item" per group.
inline QStringList NavBarGroupLines(const QList<TNavBarGroup> &groups)
{
    QStringList lines;
    for (const TNavBarGroup &group : groups) {
        QStringList items;
        for (const TNavBarItem &item : group.Items)
            items << item.Caption;
        lines << group.Caption + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    return lines;
}
