// The navigation bar as "group: item (plug-in)" lines, so a test compares what a user sees
// in one list. A missing picture shows in the line.
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
