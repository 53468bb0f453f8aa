#include "client/uWordReport.h"

#include "client/uReportPreview.h"
#include "ui/DialogService.h"
#include "ui/PromptService.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/QuorvaLogFile.h"
#include "reporting/ReportError.h"
#include "reporting/WordMailMerge.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace {

const QString kDMClient = QStringLiteral("DMClient");

QByteArray ReadFile(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw EReportError(QStringLiteral("%1 cannot be read: %2").arg(name, file.errorString()));
    if (file.size() > WordPackage::kMaxTotalBytes)
        throw EReportError(QStringLiteral("%1 is too large").arg(name));
    return file.readAll();
}

void WriteFile(const QString &name, const QByteArray &bytes)
{
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EReportError(QStringLiteral("%1 cannot be written: %2").arg(name, file.errorString()));
}

QByteArray Bytes(const std::unique_ptr<TROBinaryMemoryStream> &stream)
{
    return stream ? stream->Bytes() : QByteArray();
}

} // namespace

TWordReport::TWordReport(IReportService &service, TWordReportHost host) : m_service(service), m_host(std::move(host)) {}

QString TWordReport::DataFileFor(const QString &document)
{
    const QFileInfo info(document);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".dat"));
}

QString TWordReport::PreviewWordReport(const QString &wordTemplate, const QString &dataSource, const QString &orderBy,
                                       const QString &criteria)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    try {
        // The user's own temporary folder, never the program's: removed with everything in it.
        QTemporaryDir folder;
        if (!folder.isValid())
            throw EReportError(QStringLiteral("No temporary folder: %1").arg(folder.errorString()));
        const QString dataFile = folder.filePath(QStringLiteral("report.dat"));
        const QString templateFile = folder.filePath(QStringLiteral("template.docx"));
        const std::unique_ptr<TROBinaryMemoryStream> data = m_service.GetWordReportData(dataSource, criteria, orderBy);
        if (!data)
            throw EReportError(QStringLiteral("No Word data for %1").arg(dataSource));
        WriteFile(dataFile, data->Bytes());
        const QByteArray document = Bytes(m_service.GetWordReportTemplate(wordTemplate));
        if (document.isEmpty())
            throw EReportError(QStringLiteral("Missing Word template %1").arg(wordTemplate));
        WriteFile(templateFile, document);
        return RunWordMailMerge(templateFile, dataFile);
    } catch (const std::exception &e) {
        Tell(e);
    }
    return {};
}

void TWordReport::Tell(const std::exception &e) const
{
    AddToLog(llSevere, kDMClient, QStringLiteral("  PreviewReport"), QString::fromUtf8(e.what()));
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    ShowMessage(m_host.Owner, QMessageBox::Warning, m_host.Text(5001), m_host.Text(5022).arg(QString::fromUtf8(e.what())));
}

QString TWordReport::RunWordMailMerge(const QString &templateFile, const QString &dataFile)
{
    const QByteArray dataBytes = ReadFile(dataFile);
    const WordMergeData data = WordMergeData::FromText(dataBytes);
    const WordPackage document = WordPackage::Read(templateFile);
    QApplication::restoreOverrideCursor();
    const auto wait = qScopeGuard([] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    if (data.Rows.isEmpty()) {
        ShowMessage(m_host.Owner, QMessageBox::Information, m_host.Text(5001), TReportPreview::NoInformation);
        return {};
    }

    const WordPackage merged = WordMailMerge::Merge(document, data);
    QString chosen;
    QString dataCopy;
    for (;;) {
        chosen = Dialogs().GetSaveFileName(m_host.Owner, m_host.Text(5016), m_host.DocumentsFolder, m_host.Text(5015),
                                           QStringLiteral("docx"), true);
        if (chosen.isEmpty())
            return {};
        dataCopy = DataFileFor(chosen);
        // The data file beside the document replaces a file of that name only when the user
        // agrees, as the document itself does; a copy of the same data needs no question.
        if (QFileInfo::exists(dataCopy) && ReadFile(dataCopy) != dataBytes &&
            Prompt().Ask(m_host.Owner, QMessageBox::Question, m_host.Text(5001), m_host.Text(5019).arg(dataCopy),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            continue;
        // A place that cannot be written is told, and the user chooses another.
        try {
            WriteFile(dataCopy, dataBytes);
            merged.Write(chosen);
            break;
        } catch (const EReportError &e) {
            Tell(e);
        }
    }

    if (!m_host.OpenDocument || !m_host.OpenDocument(chosen)) {
        AddToLog(llSevere, kDMClient, QStringLiteral("MailMerge\tFile: %1 DataSource %2").arg(chosen, dataCopy),
                 QStringLiteral("No program opens the document"));
        // The document is there all the same: the user must know where, to open it another way.
        ShowMessage(m_host.Owner, QMessageBox::Warning, m_host.Text(5001),
                    m_host.Text(5020).arg(QDir::toNativeSeparators(chosen), QDir::toNativeSeparators(dataCopy)));
    }
    return chosen;
}
