// The host's preview operation: a report request (template name, data source, ORDER BY,
// criteria) rendered with the report engine from the server's template and data, then shown
// in the viewer with its exports, printed through the printer dialog, or written straight to
// a PDF file (the mail path's attachment). Files are written only where the user or the caller
// chose; nothing goes into the program folder.
#pragma once

#include "client/uReportRequest.h"
#include "dataaccess/TDADataStreamer.h"

#include <QString>

#include <functional>

class IReportService;
class QWidget;
class ReportDocument;
class TfPreview;

struct TReportPreviewHost
{
    std::function<QString(int)> Text;
    QWidget *Owner = nullptr;
    // The client setting "Enable Report Designer".
    bool DesignerEnabled = true;
    // The report designer's own settings, in the user's configuration folder.
    QString DesignerSettingsFile;
    // Opens a help topic ("Reports").
    std::function<void(const QString &topic)> ShowHelp;
    // Where the export dialogs start: the user's documents folder.
    QString DocumentsFolder;
};

class TReportPreview
{
public:
    static inline const QString NoInformation = QStringLiteral("No information available to print.");

    TReportPreview(IReportService &service, TReportPreviewHost host);

    // True when the report was shown, printed or written; false when it was not (no data, a
    // dialog cancelled, a failure, which is logged as Severe "DMClient" "PreviewReport (name)"
    // and told to the user). An export the viewer could not write is told over the viewer,
    // which stays open.
    bool PreviewReport(const TReportRequest &request);

    // The viewer while it is shown; null otherwise.
    static TfPreview *ActiveViewer();

private:
    bool Run(const TReportRequest &request);
    void Fail(const QString &templateName, const std::exception &e, QWidget *over = nullptr) const;
    // Says where a written export went, before the windows that led to it close.
    void ToldSaved(QWidget *over, int title, const QString &file) const;
    // The report designer on the template being previewed, modally, while the setting allows
    // it; the viewer then shows the report as the designer left its template.
    void ShowDesigner(TfPreview &viewer, ReportDocument &document);

    IReportService &m_service;
    TReportPreviewHost m_host;
    // What the viewer shows, for the designer.
    QString m_templateName;
    QByteArray m_templateXml;
    TDATableData m_data;
};
