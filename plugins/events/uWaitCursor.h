// The hourglass while a long step of the events module runs: shown for the life of the object.
#pragma once

#include <QApplication>
#include <QCursor>

class TWaitCursor
{
public:
    TWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};
