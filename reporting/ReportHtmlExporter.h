// HTML: one page block per report page with every text, line, box and picture at its place
// (pictures inline as PNG); printing it asks for A4 paper.
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

class REPORTING_EXPORT ReportHtmlExporter
{
public:
    static QString Html(const ReportDocument &document);
};
