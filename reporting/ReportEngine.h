// The band-report engine: lays a dataset out on pages as a template says (title, page
// header and footer, group headers and footers, detail rows or labels in columns, summary),
// breaking pages and numbering them. It needs a QGuiApplication for its fonts (the offscreen
// platform will do) and may run on any thread; it keeps no state between renderings.
#pragma once

#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportDocument.h"
#include "reporting/ReportTemplate.h"
#include "reporting/ReportingExport.h"

#include <QDateTime>
#include <QPageSize>

#include <optional>

struct REPORTING_EXPORT ReportRenderOptions
{
    // Another paper or orientation than the template's (a printer's, say).
    std::optional<QPageSize> PageSize;
    std::optional<QPageLayout::Orientation> Orientation;
    // The time Date() and Now() show; the current time when not set.
    QDateTime Now;
};

class REPORTING_EXPORT ReportEngine
{
public:
    // No rows give a document without pages ("No information available to print.").
    // Throws EReportError when the template reads a field the dataset does not have.
    static ReportDocument Render(const ReportTemplate &report, const TDATableData &data,
                                 const ReportRenderOptions &options = {});
    // The fields the template reads that the dataset lacks (without regard to case).
    static QStringList MissingFields(const ReportTemplate &report, const TDAFieldList &fields);
};
