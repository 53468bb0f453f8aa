// Plain text: the report's lines with each text at its place across (six points a
// character, at least one blank between two texts); a form feed ends every page.
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

class REPORTING_EXPORT ReportTextExporter
{
public:
    static constexpr double kPointsPerCharacter = 6.0;

    static QString Text(const ReportDocument &document);
};
