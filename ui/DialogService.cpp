#include "ui/DialogService.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace {

IDialogService *g_installed = nullptr;

} // namespace

IDialogService::~IDialogService() = default;

IDialogService &Dialogs()
{
    static TQtDialogService dialogs;
    return g_installed ? *g_installed : dialogs;
}

QString TQtDialogService::GetSaveFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                                          const QString &defaultSuffix, bool confirmOverwrite)
{
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString TQtDialogService::GetOpenFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

bool TQtDialogService::ChoosePrinter(QWidget *parent, QPrinter &printer, int pageCount)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, qMax(1, pageCount));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

TScriptedDialogs::TScriptedDialogs() : m_previous(g_installed)
{
    g_installed = this;
}

TScriptedDialogs::~TScriptedDialogs()
{
    g_installed = m_previous;
}

QString TScriptedDialogs::GetSaveFileName(QWidget *, const QString &title, const QString &folder, const QString &filter,
                                          const QString &defaultSuffix, bool confirmOverwrite)
{
    m_saves << SaveAsked{title, folder, filter, defaultSuffix, confirmOverwrite};
    if (m_saveAnswers.empty())
        return {};
    const QString answer = m_saveAnswers.front();
    m_saveAnswers.pop_front();
    return answer;
}

QString TScriptedDialogs::GetOpenFileName(QWidget *, const QString &, const QString &, const QString &)
{
    if (m_openAnswers.empty())
        return {};
    const QString answer = m_openAnswers.front();
    m_openAnswers.pop_front();
    return answer;
}

bool TScriptedDialogs::ChoosePrinter(QWidget *, QPrinter &printer, int)
{
    ++m_printers;
    if (m_printerAnswers.empty())
        return false;
    const PrinterAnswer answer = m_printerAnswers.front();
    m_printerAnswers.pop_front();
    if (answer.File.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(answer.File);
    if (answer.First > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(answer.First, answer.Last);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
    }
    return true;
}
