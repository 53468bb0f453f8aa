// RTF on A4 paper: each row of the report a paragraph with its texts at tab stops where they
// stand across, fonts kept, one RTF page per report page.
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

#include <QByteArray>

class REPORTING_EXPORT ReportRtfExporter
{
public:
    static QByteArray Rtf(const ReportDocument &document);
};
