// Stateless helpers of every program that updates itself or offers updates: dotted version
// texts normalised and compared, a folder's entries listed, byte counts as short size texts.
// Nothing here keeps state, so any thread may call it.
#pragma once

#include "updating/UpdatingExport.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

// Raised by Compare when a text is no version.
class UPDATING_EXPORT EVersionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class UPDATING_EXPORT TQorVerCompare
{
public:
    // True and four parts joined by "." (each as written, leading zeros kept) when the text is
    // a version; false and an empty text otherwise.
    static bool NormalizeVersion(const QString &text, QString &normalized);
    // 1 when second is the higher version, -1 when first is, 0 when equal; raises EVersionError
    // when either is no version. Compare(local, other) > 0 means other is newer.
    static int Compare(const QString &first, const QString &second);
    // The higher of two versions as given; a text that is no version counts as none, so the
    // other one is the answer (empty when neither is a version).
    static QString Higher(const QString &first, const QString &second);
};

class UPDATING_EXPORT TQorFolders
{
public:
    // The count in the largest unit that keeps an integer part, two decimals with the locale's
    // separators, then " Bytes", " KB", "MB" or " GB".
    static QString FormatSize(qint32 bytes);
    // Names of the entries (folders and files) matching a path whose last part may hold
    // wildcards; nothing on failure.
    static std::optional<QStringList> GetSubFolders(const QString &mask);
};
