// The save-file and printer dialogs of the client programs behind one service, as questions go
// through the prompt service: code asks Dialogs(); a test installs a TScriptedDialogs for its
// lifetime and answers with file names and printers of its own.
#pragma once

#include "ui/UiExport.h"

#include <QList>
#include <QString>

#include <deque>

class QPrinter;
class QWidget;

class UI_EXPORT IDialogService
{
public:
    virtual ~IDialogService();
    // The file the user chose to write, or empty when cancelled. filter: "Adobe PDF Files (*.pdf)";
    // defaultSuffix (without the dot) is added to a name typed without it; confirmOverwrite
    // asks before an existing file is chosen.
    virtual QString GetSaveFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                                    const QString &defaultSuffix, bool confirmOverwrite) = 0;
    // The existing file the user chose to read, or empty when cancelled.
    virtual QString GetOpenFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter) = 0;
    // Shows the printer dialog for printer (pages 1 to pageCount); false when cancelled. On true
    // the printer holds the user's choice: device, copies and page range.
    virtual bool ChoosePrinter(QWidget *parent, QPrinter &printer, int pageCount) = 0;
};

// The service in use: the installed one, else Qt's dialogs.
UI_EXPORT IDialogService &Dialogs();

class UI_EXPORT TQtDialogService : public IDialogService
{
public:
    QString GetSaveFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                            const QString &defaultSuffix, bool confirmOverwrite) override;
    QString GetOpenFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter) override;
    bool ChoosePrinter(QWidget *parent, QPrinter &printer, int pageCount) override;
};

// For tests: answers from scripts, in order, and keeps what it was asked. A save answer is a
// file name or empty for Cancel; a printer answer is a PDF file that the "printer" writes, or
// empty for Cancel. With a script used up it cancels. Installed while it lives.
class UI_EXPORT TScriptedDialogs : public IDialogService
{
public:
    struct SaveAsked
    {
        QString Title;
        QString Folder;
        QString Filter;
        QString DefaultSuffix;
        bool ConfirmOverwrite;
    };

    TScriptedDialogs();
    ~TScriptedDialogs() override;
    TScriptedDialogs(const TScriptedDialogs &) = delete;
    TScriptedDialogs &operator=(const TScriptedDialogs &) = delete;

    void AnswerSave(const QString &fileName) { m_saveAnswers.push_back(fileName); }
    void AnswerOpen(const QString &fileName) { m_openAnswers.push_back(fileName); }
    // Prints pages first to last (1-based; 0 for all) into the PDF file.
    void AnswerPrinter(const QString &pdfFile, int first = 0, int last = 0) { m_printerAnswers.push_back({pdfFile, first, last}); }
    const QList<SaveAsked> &SavesAsked() const { return m_saves; }
    int PrintersAsked() const { return m_printers; }

    QString GetSaveFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                            const QString &defaultSuffix, bool confirmOverwrite) override;
    QString GetOpenFileName(QWidget *parent, const QString &title, const QString &folder, const QString &filter) override;
    bool ChoosePrinter(QWidget *parent, QPrinter &printer, int pageCount) override;

private:
    struct PrinterAnswer
    {
        QString File;
        int First;
        int Last;
    };
    std::deque<QString> m_saveAnswers;
    std::deque<QString> m_openAnswers;
    std::deque<PrinterAnswer> m_printerAnswers;
    QList<SaveAsked> m_saves;
    int m_printers = 0;
    IDialogService *m_previous;
};
