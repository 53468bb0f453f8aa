#include "client/uReportPreview.h"

#include "ui/DialogService.h"
#include "ui/PromptService.h"
#include "ui/ufPreview.h"
#include "ui/ufReportDesigner.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportError.h"
#include "reporting/ReportExport.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QScopeGuard>

namespace {

const QString kDMClient = QStringLiteral("DMClient");

TfPreview *g_activeViewer = nullptr;

// The save dialog's title of each export kind.
int ExportTitle(ReportExportKind kind)
{
    switch (kind) {
    case ReportExportKind::Pdf: return 2700;
    case ReportExportKind::Html: return 2701;
    case ReportExportKind::Text: return 2702;
    case ReportExportKind::Rtf: return 2703;
    case ReportExportKind::Xlsx: return 2704;
    case ReportExportKind::None: break;
    }
    return 0;
}

QByteArray Bytes(const std::unique_ptr<TROBinaryMemoryStream> &stream)
{
    return stream ? stream->Bytes() : QByteArray();
}

QString FilterOf(const ReportExportFormat &format)
{
    return QStringLiteral("%1 (%2)").arg(format.Description, format.Pattern);
}

// The viewer's export runs while the viewer is still open: the close that the export choice
// starts waits for the save dialog and the writing, and a file that cannot be written keeps
// the viewer for another try. A close by the window's own button exports nothing.
class TExportBeforeClose : public QObject
{
public:
    TExportBeforeClose(TfPreview &viewer, std::function<bool(ReportExportKind)> exportAs)
        : QObject(&viewer), m_viewer(viewer), m_export(std::move(exportAs))
    {
        viewer.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &m_viewer || event->type() != QEvent::Close || event->spontaneous() ||
            m_viewer.ModalResult() != TModalResult::Ok || m_viewer.ExportKind() == ReportExportKind::None)
            return false;
        if (m_export(m_viewer.ExportKind()))
            return false;
        event->ignore();
        return true;
    }

private:
    TfPreview &m_viewer;
    std::function<bool(ReportExportKind)> m_export;
};

} // namespace

TReportPreview::TReportPreview(IReportService &service, TReportPreviewHost host) : m_service(service), m_host(std::move(host)) {}

TfPreview *TReportPreview::ActiveViewer()
{
    return g_activeViewer;
}

bool TReportPreview::PreviewReport(const TReportRequest &request)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    try {
        return Run(request);
    } catch (const std::exception &e) {
        Fail(request.TemplateName, e);
    }
    return false;
}

void TReportPreview::Fail(const QString &templateName, const std::exception &e, QWidget *over) const
{
    AddToLog(llSevere, kDMClient, QStringLiteral("PreviewReport (%1)").arg(templateName), QString::fromUtf8(e.what()));
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    ShowMessage(over ? over : m_host.Owner, QMessageBox::Warning, m_host.Text(3000), m_host.Text(5022).arg(QString::fromUtf8(e.what())));
}

void TReportPreview::ToldSaved(QWidget *over, int title, const QString &file) const
{
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    ShowMessage(over ? over : m_host.Owner, QMessageBox::Information, m_host.Text(title),
                m_host.Text(2705).arg(QDir::toNativeSeparators(file)));
}

bool TReportPreview::Run(const TReportRequest &request)
{
    const QByteArray templateBytes = Bytes(m_service.GetReportFile(request.TemplateName));
    if (templateBytes.isEmpty())
        throw EReportError(QStringLiteral("Missing reportfile"));
    const ReportTemplate report = ReportTemplate::FromXml(templateBytes);

    // The schema first: a template that reads fields the data source lacks fails before the
    // rows are fetched.
    const QList<TDATableData> schema = TDADataStreamer::ReadDatasets(Bytes(m_service.GetReportSchema(request.DataSource)));
    if (schema.isEmpty())
        throw EReportError(QStringLiteral("No schema for %1").arg(request.DataSource));
    const QStringList missing = ReportEngine::MissingFields(report, schema.first().Fields);
    if (!missing.isEmpty())
        throw EReportError(QStringLiteral("%1 has no field %2").arg(request.DataSource, missing.join(QStringLiteral(", "))));
    const QList<TDATableData> data = TDADataStreamer::ReadDatasets(
        Bytes(m_service.GetReportDataAsDataset(request.DataSource, request.Criteria, request.OrderBy)));
    if (data.isEmpty())
        throw EReportError(QStringLiteral("No data for %1").arg(request.DataSource));

    ReportDocument document = ReportEngine::Render(report, data.first());
    m_templateName = request.TemplateName;
    m_templateXml = templateBytes;
    m_data = data.first();
    QApplication::restoreOverrideCursor();
    const auto wait = qScopeGuard([] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    if (document.IsEmpty()) {
        ShowMessage(m_host.Owner, QMessageBox::Information, m_host.Text(3000), NoInformation);
        return false;
    }

    if (!request.TargetPdf.isEmpty()) {
        QString target = request.TargetPdf;
        if (request.ShowSetupDialog) {
            const ReportExportFormat pdf = ReportExport::Format(ReportExportKind::Pdf);
            target = Dialogs().GetSaveFileName(m_host.Owner, m_host.Text(ExportTitle(ReportExportKind::Pdf)), target,
                                               FilterOf(pdf), pdf.Extension, true);
            if (target.isEmpty())
                return false;
        }
        ReportExport::Write(document, ReportExportKind::Pdf, target);
        // A file the user chose is named; one made for a mail goes with the mail.
        if (request.ShowSetupDialog)
            ToldSaved(m_host.Owner, ExportTitle(ReportExportKind::Pdf), target);
        return true;
    }
    if (request.Print)
        return TfPreview::PrintDocument(m_host.Owner, document);

    TfPreview viewer(m_host.Owner);
    viewer.Localize(m_host.Text);
    viewer.SetDesignerEnabled(m_host.DesignerEnabled);
    viewer.SetReport(&document, request.TemplateName);
    QObject::connect(&viewer, &TfPreview::HelpRequested, &viewer, [this](const QString &topic) {
        if (m_host.ShowHelp)
            m_host.ShowHelp(topic);
    });
    QObject::connect(&viewer, &TfPreview::DesignerRequested, &viewer, [this, &viewer, &document] {
        ShowDesigner(viewer, document);
    });
    new TExportBeforeClose(viewer, [this, &viewer, &document, &request](ReportExportKind kind) {
        try {
            const ReportExportFormat format = ReportExport::Format(kind);
            const QString file = Dialogs().GetSaveFileName(&viewer, m_host.Text(ExportTitle(format.Kind)), m_host.DocumentsFolder,
                                                           FilterOf(format), format.Extension, true);
            if (!file.isEmpty()) {
                ReportExport::Write(document, format.Kind, file);
                ToldSaved(&viewer, ExportTitle(format.Kind), file);
            }
            return true;
        } catch (const std::exception &e) {
            Fail(request.TemplateName, e, &viewer);
            return false;
        }
    });
    g_activeViewer = &viewer;
    const auto inactive = qScopeGuard([] { g_activeViewer = nullptr; });
    viewer.ShowModal();
    return true;
}

void TReportPreview::ShowDesigner(TfPreview &viewer, ReportDocument &document)
{
    if (!m_host.DesignerEnabled)
        return;
    QWidget *owner = &viewer;
    try {
        TfReportDesigner designer(owner);
        designer.Open({m_templateXml, m_templateName, m_data, m_host.DesignerSettingsFile, m_host.DocumentsFolder});
        designer.ShowModal();
        // The viewer goes on with the template as the designer left it, saved or not, as the
        // report it prints and exports from now on.
        const QByteArray edited = designer.Editor().Template().ToXml();
        if (edited == ReportTemplate::FromXml(m_templateXml).ToXml())
            return;
        document = ReportEngine::Render(designer.Editor().Template(), m_data);
        m_templateXml = edited;
        viewer.SetReport(&document, m_templateName);
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("Quorva"), QStringLiteral("ShowDesigner"), QString::fromUtf8(e.what()));
        ShowMessage(owner, QMessageBox::Warning, TfReportDesigner::Caption, QString::fromUtf8(e.what()));
    }
}
