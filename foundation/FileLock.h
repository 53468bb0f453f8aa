// An exclusive advisory lock (flock) held for the life of the object. Locking a folder
// serialises writers of the files in it without leaving lock files beside them.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>

class FOUNDATION_EXPORT FileLock
{
public:
    // Blocks until the lock is held; when the path cannot be opened no lock is held.
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Takes the lock only when nobody holds it (a second instance of a program).
    static int tryExclusive(const QString &path);
    static void release(int fd);

    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
