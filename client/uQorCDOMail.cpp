#include "client/uQorCDOMail.h"

#include "client/uDAQuorva.h"
#include "client/uDMClient.h"
#include "client/ufEmail.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportEngine.h"
#include "reporting/ReportExport.h"
#include "reporting/ReportTemplate.h"
#include "ui/PromptService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace {

const QString kSender = QStringLiteral("TEmail");
const QString kNoData = QStringLiteral("No information available to print.");

// A cursor for as long as the scope lasts.
class OverrideCursor
{
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor &) = delete;
    OverrideCursor &operator=(const OverrideCursor &) = delete;
};

void centre(QWidget &window, const QWidget *owner)
{
    if (owner)
        window.move(owner->frameGeometry().center() - window.rect().center());
}

} // namespace

bool TQorCDOMail::WriteMinisterSchedule(TDAQuorva &data, const TAttachmentPeriod &period, const QString &fileName)
{
    // Also the report preview's direct PDF request: template, data source, criteria and sort
    // order are the same there.
    try {
        const std::shared_ptr<IReportService> reports = data.ReportService();
        const std::unique_ptr<TROBinaryMemoryStream> layoutFile = reports->GetReportFile(TAttachmentPeriod::ReportTemplate);
        if (!layoutFile || layoutFile->Bytes().isEmpty())
            throw std::runtime_error("Missing reportfile");
        const ReportTemplate layout = ReportTemplate::FromXml(layoutFile->Bytes());
        const std::unique_ptr<TROBinaryMemoryStream> rows =
            reports->GetReportDataAsDataset(TAttachmentPeriod::DataSource, period.Criteria(), TAttachmentPeriod::OrderBy);
        const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(rows ? rows->Bytes() : QByteArray());
        if (tables.size() != 1)
            throw std::runtime_error("The server sent no report data");
        const ReportDocument document = ReportEngine::Render(layout, tables.first());
        if (document.IsEmpty()) {
            OverrideCursor arrow(Qt::ArrowCursor);
            ShowMessage(nullptr, QMessageBox::Information, QString(), kNoData);
            return false;
        }
        QFile::remove(fileName);
        ReportExport::Write(document, ReportExportKind::Pdf, fileName);
        return true;
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("PreviewReport (%1)").arg(TAttachmentPeriod::ReportTemplate),
                 QString::fromUtf8(e.what()));
        return false;
    }
}

bool TQorCDOMail::SendSimpleMail(const TMailConfiguration &configuration, bool showComposer, const QStringList &recipients,
                                 const QString &body, const QString &subject)
{
    try {
        TQorCDOMessage message;
        message.SetSubject(subject);
        message.SetBody(body);
        message.AddRecipients(TCDOAddressKind::To, recipients);
        bool attachment = false;
        TAttachmentPeriod period;
        if (showComposer) {
            auto composer = std::make_unique<TfEmail>(&message, m_context.Settings, m_context.Owner);
            composer->InitializeForm();
            centre(*composer, m_context.Owner);
            const TModalResult answer = composer->ShowModal();
            attachment = composer->AttachmentWanted();
            period = composer->AttachmentPeriod();
            composer.reset();
            if (answer != TModalResult::Ok)
                return false;
        }

        OverrideCursor wait(Qt::WaitCursor);
        std::optional<QTemporaryDir> folder;
        QString path;
        if (attachment) {
            try {
                const QString parent = m_context.TempFolder.isEmpty() ? QDir::tempPath() : m_context.TempFolder;
                folder.emplace(QDir(parent).filePath(QStringLiteral("kestrova-mail-XXXXXX")));
                if (!folder->isValid())
                    throw std::runtime_error(QStringLiteral("Cannot make a temporary folder in %1: %2")
                                                 .arg(parent, folder->errorString())
                                                 .toStdString());
                if (!m_context.Data)
                    throw std::runtime_error("The data access module is not ready");
                path = folder->filePath(TCDOClient::AttachmentName);
                WriteMinisterSchedule(*m_context.Data, period, path);
            } catch (const std::exception &e) {
                AddToLog(llSevere, kSender, QStringLiteral("SendSimpleMail"), QString::fromUtf8(e.what()));
                path.clear();
            }
        }
        return TCDOClient::SendEmail(configuration, message, path);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("SendSimpleMail"), QString::fromUtf8(e.what()));
        return false;
    }
}

// --- the host's operations --------------------------------------------------------------------

void TMailComposerHost::ShowNewMessage()
{
    QWidget *owner = m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr;
    TfEmail composer(nullptr, &m_client, owner);
    centre(composer, owner);
    composer.ShowModal();
}

void TMailComposerHost::SendSimpleEmail(const QStringList &recipients)
{
    const TMailConfiguration configuration =
        TMailConfiguration::FromRecord(m_client.GetCDOConfiguration().toMap(), TMailConfiguration::StoredPassword());
    TQorCDOMail mail({m_client.DAQuorva(), &m_client, m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr,
                      m_tempFolder});
    mail.SendSimpleMail(configuration, true, recipients, QString(), QString());
}
