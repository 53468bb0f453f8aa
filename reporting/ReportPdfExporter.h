// PDF through QPdfWriter: every report page on a Letter page of the report's orientation,
// text kept as text (a reader can search and copy it), author "Quorva", keywords "Kestrova".
#pragma once

#include "reporting/ReportDocument.h"
#include "reporting/ReportingExport.h"

class QIODevice;

class REPORTING_EXPORT ReportPdfExporter
{
public:
    static void Write(const ReportDocument &document, QIODevice &out);
    static QByteArray ToBytes(const ReportDocument &document);
};
