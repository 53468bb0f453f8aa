// What the picture programs of docs/screenshots share: letting windows draw, and saving.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>

#include <cstdio>

namespace screenshots {

// Lets the windows lay out, slide and paint for a while.
inline void Wait(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Saves the picture and names it on standard output.
inline bool Save(const QPixmap &picture, const QString &path)
{
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace screenshots
