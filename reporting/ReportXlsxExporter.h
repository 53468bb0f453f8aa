// A spreadsheet (.xlsx, libxlsxwriter): each row of the report a row of cells and each place
// across a column; numbers and dates stay numbers and dates, texts of several lines wrap.
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

#include <QString>

class REPORTING_EXPORT ReportXlsxExporter
{
public:
    // Writes the workbook straight to fileName; ReportExport::Write puts it in place safely.
    static void Write(const ReportDocument &document, const QString &fileName);
};
