// The export choices of a rendered report and the one call that writes any of them: PDF
// (Letter), spreadsheet (.xlsx), plain text, HTML and RTF (A4). A file appears only when it
// is complete: an export that fails leaves the old file, or none, and no partial file.
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

#include <QByteArray>
#include <QString>

// The numbers are the viewer's export kinds; 5 is not used.
enum class ReportExportKind { None = 0, Pdf = 1, Xlsx = 2, Text = 3, Html = 4, Rtf = 6 };

struct REPORTING_EXPORT ReportExportFormat
{
    ReportExportKind Kind = ReportExportKind::None;
    QString Extension;    // "pdf"
    QString Description;  // "Adobe PDF Files"
    QString Pattern;      // "*.pdf", the save dialog's filter
};

class REPORTING_EXPORT ReportExport
{
public:
    // Throws EReportError for None and numbers that name no format.
    static ReportExportFormat Format(ReportExportKind kind);
    static QList<ReportExportFormat> Formats();
    // Throws EReportError for a document without pages or a file that cannot be written.
    static void Write(const ReportDocument &document, ReportExportKind kind, const QString &fileName);
    static QByteArray ToBytes(const ReportDocument &document, ReportExportKind kind);
};
