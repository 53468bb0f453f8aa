#include "reporting/ReportExport.h"

#include "reporting/ReportError.h"
#include "reporting/ReportHtmlExporter.h"
#include "reporting/ReportPdfExporter.h"
#include "reporting/ReportRtfExporter.h"
#include "reporting/ReportTextExporter.h"
#include "reporting/ReportXlsxExporter.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryFile>

namespace {

// The workbook writer wants a file name: it writes a temporary file, which is removed
// whatever happens.
QByteArray XlsxBytes(const ReportDocument &document)
{
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("kestrova-report-XXXXXX.xlsx")));
    if (!file.open())
        throw EReportError(QStringLiteral("No temporary file for the spreadsheet: %1").arg(file.errorString()));
    file.close();
    ReportXlsxExporter::Write(document, file.fileName());
    if (!file.open())
        throw EReportError(QStringLiteral("The spreadsheet cannot be read back: %1").arg(file.errorString()));
    return file.readAll();
}

} // namespace

QList<ReportExportFormat> ReportExport::Formats()
{
    return {
        {ReportExportKind::Pdf, QStringLiteral("pdf"), QStringLiteral("Adobe PDF Files"), QStringLiteral("*.pdf")},
        {ReportExportKind::Xlsx, QStringLiteral("xlsx"), QStringLiteral("Microsoft Excel Workbook"), QStringLiteral("*.xlsx")},
        {ReportExportKind::Text, QStringLiteral("txt"), QStringLiteral("Text Document"), QStringLiteral("*.txt")},
        {ReportExportKind::Html, QStringLiteral("htm"), QStringLiteral("HyperText Markup Language"), QStringLiteral("*.htm")},
        {ReportExportKind::Rtf, QStringLiteral("rtf"), QStringLiteral("Rich Text Format"), QStringLiteral("*.rtf")},
    };
}

ReportExportFormat ReportExport::Format(ReportExportKind kind)
{
    for (const ReportExportFormat &format : Formats())
        if (format.Kind == kind)
            return format;
    throw EReportError(QStringLiteral("%1 is not an export kind").arg(int(kind)));
}

QByteArray ReportExport::ToBytes(const ReportDocument &document, ReportExportKind kind)
{
    Format(kind);
    if (document.IsEmpty())
        throw EReportError(QStringLiteral("The report has no pages to write"));
    switch (kind) {
    case ReportExportKind::Pdf:
        return ReportPdfExporter::ToBytes(document);
    case ReportExportKind::Xlsx:
        return XlsxBytes(document);
    case ReportExportKind::Text:
        return ReportTextExporter::Text(document).toUtf8();
    case ReportExportKind::Html:
        return ReportHtmlExporter::Html(document).toUtf8();
    case ReportExportKind::Rtf:
        return ReportRtfExporter::Rtf(document);
    case ReportExportKind::None:
        break;
    }
    return {};
}

void ReportExport::Write(const ReportDocument &document, ReportExportKind kind, const QString &fileName)
{
    const QByteArray bytes = ToBytes(document, kind);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EReportError(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EReportError(QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
}
