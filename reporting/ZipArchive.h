// The zip archives of Office documents, read and written on zlib alone: stored and deflated
// entries, no encryption, no zip64. It stays apart from the zip code inside libxlsxwriter's
// minizip, whose names a second minizip in the process would take over.
#pragma once

#include "reporting/ReportingExport.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace ZipArchive {

using Entries = QList<std::pair<QString, QByteArray>>;

struct Limits
{
    int MaxEntries;
    qint64 MaxEntryBytes;
    qint64 MaxTotalBytes;
};

// The entries in the order of the central directory, folder entries left out. The limits are
// counted while unpacking, whatever the headers claim. Throws EReportError for anything that
// is not such an archive, is damaged or goes past a limit.
REPORTING_EXPORT Entries Unpack(const QByteArray &archive, const Limits &limits);

// The entries deflated, in their order, names as given (UTF-8). Throws EReportError for an
// entry too large for an archive without zip64.
REPORTING_EXPORT QByteArray Pack(const Entries &entries);

} // namespace ZipArchive
