// The host's report operation: the definitions of the caller's category from the server, the
// chooser, the request composed from the choice and the caller's selection, and its output in
// the preview, on the printer or as a Word document.
#pragma once

#include "client/HostComponents.h"
#include "client/uReportPreview.h"
#include "client/uReportRequest.h"
#include "client/uWordReport.h"

#include <memory>

class IReportService;
class TDMClient;
class TfReports;

// What the preview and the Word output need of the host: its texts, its main window, the
// user's documents folder, its help pages and settings.
TReportPreviewHost PreviewHostOf(TDMClient &client);
TWordReportHost WordHostOf(TDMClient &client);

// Where a composed request goes.
class IReportOutput
{
public:
    virtual ~IReportOutput() = default;
    // The preview, or the printer when the request says so.
    virtual void Preview(const TReportRequest &request) = 0;
    virtual void Word(const QString &wordTemplate, const TReportRequest &request) = 0;
};

// The host's own outputs: its preview operation and the Word output.
class THostReportOutput : public IReportOutput
{
public:
    explicit THostReportOutput(TDMClient &client) : m_client(client) {}
    void Preview(const TReportRequest &request) override;
    void Word(const QString &wordTemplate, const TReportRequest &request) override;

private:
    TDMClient &m_client;
};

class TReportChooser : public IReportChooser
{
public:
    // Without an output the host's own is used.
    explicit TReportChooser(TDMClient &client, std::unique_ptr<IReportOutput> output = nullptr);

    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                       const QString &familiesExclusion, const QString &overrideMarker, const QString &dataSource,
                       const QString &criteria) override;

    // The chooser while it is shown; null otherwise.
    static TfReports *ActiveDialog();

    // Whether the caller's data source serves the chosen report: it has every field the
    // report's template reads and every column its order names.
    static bool OverrideFits(IReportService &service, const TReportChoice &choice, const TReportCaller &caller);

private:
    void KeepPeriods(const TReportComposition &composition, const TReportChoice &choice);

    TDMClient &m_client;
    std::unique_ptr<IReportOutput> m_output;
};
