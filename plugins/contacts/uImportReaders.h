// The cells of the first sheet of a spreadsheet file, whatever program wrote it: .xlsx (the
// zip package read on zlib and QXmlStreamReader), .xls (FreeXL) and .csv (our own reader).
// Rows and columns count from 1. A cell holds text as QString, a number as double, a date as
// QDate and a date with a time as QDateTime; an empty or absent cell is a null QVariant.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>

// A file that cannot be read as a spreadsheet: missing, damaged, too large or of another kind.
class EImportFileError : public std::runtime_error
{
public:
    explicit EImportFileError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

class TImportCellReader
{
public:
    virtual ~TImportCellReader();
    // The number of the last row that holds anything.
    virtual int RowCount() const = 0;
    virtual QVariant Cell(int row, int column) const = 0;
    // The cell as a user sees it: numbers without a trailing ".0", dates as yyyy-MM-dd.
    QString Text(int row, int column) const;
    // A number of the file as the date and time it stands for, counted in the file's own day
    // system (only a workbook knows whether it counts from 1904); a count out of a calendar's
    // reach stays the number, which a date field refuses.
    QVariant DayToDate(double days) const;

    static QString CellText(const QVariant &value);

protected:
    bool m_from1904 = false;
};

// A spreadsheet's day count as a date and time: the 1900 system as Excel counts it (day 1 is
// 1 January 1900, day 60 the 29 February 1900 that never was: invalid), or the 1904 system.
QDateTime SpreadsheetDayToDateTime(double days, bool from1904);

// The extensions the readers know, upper-case, with the dot: ".XLSX", ".XLS", ".CSV".
QStringList ImportFileExtensions();
// Whether the file name ends in one of them, without regard to case.
bool IsImportFile(const QString &fileName);
// The reader of the file's first sheet, chosen by its extension (without regard to case).
// Throws EImportFileError when it cannot be read.
std::unique_ptr<TImportCellReader> OpenCellReader(const QString &fileName);

// What the readers accept at most; larger files are refused, not cut short.
namespace ImportLimits {
inline constexpr qint64 MaxFileBytes = 64LL * 1024 * 1024;
inline constexpr qint64 MaxUnpackedBytes = 256LL * 1024 * 1024;
inline constexpr int MaxRows = 1048576;
inline constexpr int MaxColumns = 16384;
} // namespace ImportLimits
