// File names were matched without regard to case where the system began; here one place
// finds "Settings.ini", "*.def", update folders and the like whatever their case on disk.
#pragma once

#include "foundation/FoundationExport.h"

#include <QString>
#include <QStringList>

namespace FileResolver {

// The path of the entry in folder whose name equals name without regard to case; when there
// is none, folder + "/" + name as given (so a new file gets the caller's spelling).
FOUNDATION_EXPORT QString resolve(const QString &folder, const QString &name);
// Entry names in folder that match the wildcard mask ("*.def") without regard to case, sorted.
FOUNDATION_EXPORT QStringList match(const QString &folder, const QString &mask, bool filesOnly = true);
// A name from the network is safe when it names an entry inside its folder: no absolute path,
// no "..", no separator.
FOUNDATION_EXPORT bool isPlainFileName(const QString &name);

} // namespace FileResolver
