// What the host offers its plug-ins beyond the start-up: documents and help, the navigation bar
// and smart help, the progress window, the log, the user's settings, mail, searches, reports,
// the scheduling run and the language texts.
#include "client/uDMClient.h"

#include "client/uDMData.h"
#include "client/uReportChooser.h"
#include "client/uReportPreview.h"
#include "client/ufProgress.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uResourceHandler.h"
#include "remoting/ROHTTPChannel.h"
#include "ui/PromptService.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString kTransportPlugin = QStringLiteral("plgTransport");
const QString kInstallFAQ = QStringLiteral("help/InstallFAQ.html");
const QString kGettingStartedGuide = QStringLiteral("docs/Kestrova Getting Started Guide.pdf");

} // namespace

using namespace Quorva;

void TDMClient::OpenInstallFAQ()
{
    OpenLocalDocument(m_config.ProgramFolder() + kInstallFAQ, QStringLiteral("OpenInstallFAQ"));
}

// A document that no program opens is still there: the user is told where, to open it another way.
void TDMClient::OpenLocalDocument(const QString &file, const QString &context)
{
    if (!OpenFileOrTellPath(nullptr, file, GetText(100), GetText(5021), m_openURL))
        AddToLog(llWarning, kDMClient, context, QStringLiteral("No program opens %1").arg(file));
}

void TDMClient::OpenGettingStartedGuide()
{
    const QString guide = m_config.ProgramFolder() + kGettingStartedGuide;
    if (QFileInfo::exists(guide))
        OpenLocalDocument(guide, QStringLiteral("OpenGettingStartedGuide"));
    else
        AddToLog(llWarning, kDMClient, QStringLiteral("OpenGettingStartedGuide"), QStringLiteral("There is no guide at %1").arg(guide));
}

bool TDMClient::GetNavBarVisible()
{
    if (!m_mainWindow) {
        Missing(QStringLiteral("GetNavBarVisible"));
        return false;
    }
    return m_mainWindow->GetNavBarVisible();
}

void TDMClient::SetNavBarVisible(bool value)
{
    if (m_mainWindow)
        m_mainWindow->SetNavBarVisible(value);
    else
        Missing(QStringLiteral("SetNavBarVisible"));
}

bool TDMClient::GetSmartHelpVisible()
{
    if (!m_mainWindow) {
        Missing(QStringLiteral("GetSmartHelpVisible"));
        return false;
    }
    return m_mainWindow->GetSmartHelpVisible();
}

void TDMClient::SetSmartHelpVisible(bool value)
{
    if (m_mainWindow)
        m_mainWindow->SetSmartHelpVisible(value);
    else
        Missing(QStringLiteral("SetSmartHelpVisible"));
}

void TDMClient::ShowProgress(quint8 style)
{
    m_progress = std::make_unique<TfProgress>();
    m_progress->SetProgressLayout(style == 1 ? 1 : 0);
    m_progress->show();
}

void TDMClient::SetProgress(int position, const QString &text)
{
    if (m_progress)
        m_progress->Progress(position, text);
    QCoreApplication::processEvents();
}

void TDMClient::HideProgress()
{
    if (m_progress)
        m_progress->close();
    m_progress.reset();
}

void TDMClient::WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message)
{
    AddToLog(level, sender, location, message);
}

QString TDMClient::GetUserSetting(const QString &key, const QString &defaultValue)
{
    return m_data ? m_data->GetUserSetting(key, defaultValue) : defaultValue;
}

void TDMClient::SetUserSetting(const QString &key, const QString &value)
{
    // Copies of the plug-in's texts: a literal of a module lives in the module's own memory, and
    // the settings go to the server only after the modules are unloaded.
    const auto owned = [](const QString &text) { return text.isNull() ? QString() : QString(text.constData(), text.size()); };
    if (m_data)
        m_data->SetUserSetting(owned(key), owned(value));
}

std::optional<QByteArray> TDMClient::LoadUserBlob(const QString &name)
{
    return m_data ? m_data->LoadUserBlob(name) : std::nullopt;
}

void TDMClient::SaveUserBlob(const QString &name, const QByteArray *stream)
{
    if (m_data)
        m_data->SaveUserBlob(name, stream);
}

bool TDMClient::ClearUserSetting(const QString &name)
{
    return m_data && m_data->ClearUserSetting(name);
}

void TDMClient::ShowNewMessage()
{
    if (m_mailComposer)
        m_mailComposer->ShowNewMessage();
    else
        Missing(QStringLiteral("ShowNewMessage"));
}

void TDMClient::SendSimpleEmail(const QStringList *recipients)
{
    if (!recipients || recipients->isEmpty())
        return;
    if (!m_mailComposer) {
        Missing(QStringLiteral("SendSimpleEmail"));
        return;
    }
    try {
        m_mailComposer->SendSimpleEmail(*recipients);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("SendSimpleEmail"), ExceptionText(e));
    }
}

void TDMClient::ExportSettings()
{
    doTransport();
}

void TDMClient::ImportSettings()
{
    doTransport();
}

void TDMClient::doTransport()
{
    try {
        RunModalPlugin(kTransportPlugin, false);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("doTransport"), ExceptionText(e));
    }
}

void TDMClient::RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                            const QDateTime &fromDate, const QDateTime &toDate)
{
    if (!m_progressFactory) {
        Missing(QStringLiteral("RunAutoScheduleWithProgress"));
        return;
    }
    std::unique_ptr<IServerProgressWindow> window =
        m_progressFactory->CreateRunning(templateIds, ministryFunctionIds, fromDate, toDate);
    m_progressWindow = window.get();
    window->ShowModal();
    m_progressWindow = nullptr;
    window.reset();
    QCoreApplication::processEvents();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TDMClient::SetSmartHelpText(const QString &text, int)
{
    if (m_mainWindow)
        m_mainWindow->ShowSmartHelp(text);
    else
        Missing(QStringLiteral("SetSmartHelpText"));
}

bool TDMClient::PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                              const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                              std::unique_ptr<TSearchObjectList> &result)
{
    result.reset();
    if (!m_searchDialog) {
        Missing(QStringLiteral("PerformSearch"));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool found = false;
    try {
        found = m_searchDialog->PerformSearch(kinds, caption, unused, multiSelect, preselected, excluded, result);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("PreformSearch?"), ExceptionText(e));
        result.reset();
        found = false;
    }
    QApplication::restoreOverrideCursor();
    return found;
}

void TDMClient::ShowReportDlg(const QString &category, const QStringList *selection, int count,
                              IReportCriteriaProvider *criteriaProvider, int selectionIndex,
                              const QString &familiesExclusion, const QString &overrideMarker,
                              const QString &dataSource, const QString &criteria)
{
    if (!m_reportChooser) {
        Missing(QStringLiteral("ShowReportDlg"));
        return;
    }
    m_reportChooser->ShowReportDlg(category, selection, count, criteriaProvider, selectionIndex, familiesExclusion,
                                   overrideMarker, dataSource, criteria);
}

void TDMClient::GetReportDefinitionsText(const QString &category, QString &text)
{
    text = CoReportService::Create(m_ROBinMgs, m_ROHTTP)->GetReportDefinitions(category);
}

bool TDMClient::PreviewReport(const QString &templateName, const QString &dataSource, bool showSetupDialog,
                              const QString &targetPdf, bool print, const QString &orderBy, const QString &criteria)
{
    const std::unique_ptr<IReportService> service = CoReportService::Create(m_ROBinMgs, m_ROHTTP);
    return TReportPreview(*service, PreviewHostOf(*this))
        .PreviewReport(TReportRequest{templateName, dataSource, showSetupDialog, targetPdf, print, orderBy, criteria});
}

void TDMClient::ShowAboutDialog()
{
    try {
        if (m_mainWindow)
            m_mainWindow->ShowAboutDialog();
        else
            Missing(QStringLiteral("ShowAboutDialog"));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ShowAboutDialog"), ExceptionText(e));
    }
}

void TDMClient::GetResourceText(int number, bool emptyIfMissing, QString &text)
{
    if (m_language)
        text = m_language->GetString(number, emptyIfMissing);
}
