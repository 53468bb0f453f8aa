#include "client/uReportChooser.h"

#include "client/uDMClient.h"
#include "client/uReportPreview.h"
#include "client/uWordReport.h"
#include "client/ufReports.h"
#include "ui/PromptService.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportTemplate.h"
#include "remoting/ROHTTPChannel.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>

namespace {

const QString kDMClient = QStringLiteral("DMClient");

TfReports *g_activeDialog = nullptr;

QWidget *OwnerOf(TDMClient &client)
{
    return client.MainWindow() ? client.MainWindow()->Widget() : nullptr;
}

QString DocumentsFolder()
{
    return GetSpecialFolder(nullptr, int(SpecialFolder::Personal));
}

std::unique_ptr<IReportService> ReportServiceOf(TDMClient &client)
{
    return CoReportService::Create(client.ROBinMgs(), client.ROHTTP());
}

// The plain column names of an ORDER BY text; expressions and qualified names are the
// server's to read.
QStringList OrderColumns(const QString &orderBy)
{
    static const QRegularExpression plain(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)(\\s+(ASC|DESC))?$"),
                                          QRegularExpression::CaseInsensitiveOption);
    QStringList columns;
    for (const QString &item : orderBy.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = plain.match(item.trimmed());
        if (match.hasMatch())
            columns << match.captured(1);
    }
    return columns;
}

} // namespace

TReportPreviewHost PreviewHostOf(TDMClient &client)
{
    TReportPreviewHost host;
    host.Text = [&client](int number) { return client.GetText(number); };
    host.Owner = OwnerOf(client);
    host.DesignerEnabled = client.Configuration().EnableReportDesigner();
    // Beside the user's own store of the client.
    host.DesignerSettingsFile = QFileInfo(TQorReg::StorePath(HKEY_CURRENT_USER)).dir().filePath(QStringLiteral("ReportDesigner.ini"));
    host.DocumentsFolder = DocumentsFolder();
    host.ShowHelp = [&client](const QString &topic) {
        const QString page = client.Configuration().ProgramFolder() + QStringLiteral("help/") + topic + QStringLiteral(".html");
        OpenURL(QUrl::fromLocalFile(QFileInfo::exists(page) ? page : client.HelpFile()).toString());
    };
    return host;
}

TWordReportHost WordHostOf(TDMClient &client)
{
    TWordReportHost host;
    host.Text = [&client](int number) { return client.GetText(number); };
    host.Owner = OwnerOf(client);
    host.DocumentsFolder = DocumentsFolder();
    host.OpenDocument = [](const QString &file) { return QDesktopServices::openUrl(QUrl::fromLocalFile(file)); };
    return host;
}

void THostReportOutput::Preview(const TReportRequest &request)
{
    m_client.PreviewReport(request.TemplateName, request.DataSource, request.ShowSetupDialog, request.TargetPdf, request.Print,
                           request.OrderBy, request.Criteria);
}

void THostReportOutput::Word(const QString &wordTemplate, const TReportRequest &request)
{
    const std::unique_ptr<IReportService> service = ReportServiceOf(m_client);
    TWordReport(*service, WordHostOf(m_client)).PreviewWordReport(wordTemplate, request.DataSource, request.OrderBy, request.Criteria);
}

TReportChooser::TReportChooser(TDMClient &client, std::unique_ptr<IReportOutput> output)
    : m_client(client), m_output(output ? std::move(output) : std::make_unique<THostReportOutput>(client))
{
}

TfReports *TReportChooser::ActiveDialog()
{
    return g_activeDialog;
}

void TReportChooser::ShowReportDlg(const QString &category, const QStringList *selection, int,
                                   Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                                   const QString &familiesExclusion, const QString &overrideMarker, const QString &dataSource,
                                   const QString &criteria)
{
    try {
        QString definitions;
        m_client.GetReportDefinitionsText(category, definitions);
        if (definitions.trimmed().isEmpty()) {
            AddToLog(llWarning, kDMClient, QStringLiteral("ShowReportDlg"), QStringLiteral("No report definitions"));
            AddToLog(llSevere, kDMClient, QStringLiteral("ShowReportDialog"), QStringLiteral("No report definitions available"));
            return;
        }

        TReportCaller caller;
        caller.Category = category;
        if (selection)
            caller.Selection = *selection;
        caller.FamiliesExclusion = familiesExclusion;
        caller.OverrideMarker = overrideMarker;
        caller.DataSource = dataSource;
        caller.Criteria = criteria;
        if (criteriaProvider)
            caller.ProviderCriteria = criteriaProvider->GetCriteriaText();

        TfReports dialog([this](int number) { return m_client.GetText(number); },
                         [this](const QString &key, const QString &fallback) { return m_client.GetUserSetting(key, fallback); },
                         OwnerOf(m_client));
        QObject::connect(&dialog, &TfReports::HelpRequested, &dialog,
                         [this](const QString &topic) { PreviewHostOf(m_client).ShowHelp(topic); });
        dialog.LoadDefinitions(category, definitions, familiesExclusion, selectionIndex, !caller.Selection.isEmpty());
        g_activeDialog = &dialog;
        TModalResult result = TModalResult::None;
        {
            const auto inactive = qScopeGuard([] { g_activeDialog = nullptr; });
            result = dialog.ShowModal();
        }
        const TReportChoice choice = dialog.Choice();
        if (result != TModalResult::Ok || !choice.Definition)
            return;

        const bool fits = !caller.Overrides() || OverrideFits(*ReportServiceOf(m_client), choice, caller);
        const TReportComposition composition = ReportRequest::Compose(choice, caller, fits);
        KeepPeriods(composition, choice);
        if (composition.NothingSelected) {
            ShowMessage(OwnerOf(m_client), QMessageBox::Information, m_client.GetText(5001), m_client.GetText(5018));
            return;
        }
        if (composition.Output == TReportComposition::Route::Word)
            m_output->Word(composition.WordTemplate, composition.Request);
        else
            m_output->Preview(composition.Request);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ShowReportDlg"), QString::fromUtf8(e.what()));
    }
}

bool TReportChooser::OverrideFits(IReportService &service, const TReportChoice &choice, const TReportCaller &caller)
{
    try {
        const std::unique_ptr<TROBinaryMemoryStream> layout = service.GetReportFile(choice.Definition->TemplateName(choice.Portrait));
        const std::unique_ptr<TROBinaryMemoryStream> schema = service.GetReportSchema(caller.DataSource);
        if (!layout || !schema)
            return false;
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(schema->Bytes());
        if (tables.isEmpty())
            return false;
        const TDAFieldList &fields = tables.first().Fields;
        if (!ReportEngine::MissingFields(ReportTemplate::FromXml(layout->Bytes()), fields).isEmpty())
            return false;
        for (const QString &column : OrderColumns(choice.Definition->OrderBy)) {
            bool found = false;
            for (const TDAField &field : fields)
                found = found || field.Name.compare(column, Qt::CaseInsensitive) == 0;
            if (!found)
                return false;
        }
        return true;
    } catch (const std::exception &e) {
        // The caller's data source is not one the report can read: the report's own is used.
        AddToLog(llInformation, kDMClient, QStringLiteral("ShowReportDlg"),
                 QStringLiteral("%1 does not serve %2: %3").arg(caller.DataSource, choice.Definition->ReportName, QString::fromUtf8(e.what())));
    }
    return false;
}

void TReportChooser::KeepPeriods(const TReportComposition &composition, const TReportChoice &choice)
{
    if (composition.KeepsExtraPeriod) {
        m_client.SetUserSetting(QStringLiteral("ReportExt_StartDate"), ReportChooserRules::SettingText(choice.ExtFrom));
        m_client.SetUserSetting(QStringLiteral("Report_EndExtDate"), ReportChooserRules::SettingText(choice.ExtTo));
    }
    if (composition.KeepsPeriod) {
        m_client.SetUserSetting(QStringLiteral("Report_StartDate"), ReportChooserRules::SettingText(choice.From));
        m_client.SetUserSetting(QStringLiteral("Report_EndDate"), ReportChooserRules::SettingText(choice.To));
    }
}
