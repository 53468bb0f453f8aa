// The support wizard's window: a picture panel with the version, six pages without tabs and
// the button bar. It shows what TQorSupportWizard decides and hands it every click and edit.
#pragma once

#include "tools/tolvik/uQorSupportWizard.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;

class TfWizard : public QDialog, public IWizardView
{
    Q_OBJECT
public:
    TfWizard(const QString &taskFile, const QString &toolFolder, const QString &version, SupportToolDelivery &delivery,
             QWidget *parent = nullptr);

    // Page 0, then the window runs modally.
    int Execute();
    TQorSupportWizard &Wizard() { return m_wizard; }

    void ShowPage(int page) override;
    void SetButtons(const TWizardButtons &buttons) override;
    void SetFinishCaption(const QString &caption) override;
    void SetOutputText(const QString &text) override;
    void SetDoneText(const QString &text) override;
    void SetTaskLabel(const QString &text) override;
    void SetActionLabel(const QString &text) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void ShowSender(const TSenderDetails &details) override;
    void FocusName() override;
    void FocusComments() override;
    void SetBusy(bool busy) override;
    void ProcessMessages() override;
    void ShowMessage(const QString &text, const QString &caption, TMessageKind kind) override;
    void ShowReport(const QString &xml, const QString &caption) override;
    void Close() override;

private:
    QWidget *WelcomePage();
    QWidget *ProgressPage();
    QWidget *OutputPage();
    QWidget *SenderPage();
    QWidget *CommentsPage();
    QWidget *DonePage();

    TQorSupportWizard m_wizard;
    QStackedWidget *m_pages = nullptr;
    QLabel *m_taskLabel = nullptr;
    QLabel *m_actionLabel = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_outputText = nullptr;
    QRadioButton *m_online = nullptr;
    QRadioButton *m_file = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_organization = nullptr;
    QLineEdit *m_email = nullptr;
    QCheckBox *m_remember = nullptr;
    QPlainTextEdit *m_comments = nullptr;
    QLabel *m_doneText = nullptr;
    QPushButton *m_viewReport = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_finish = nullptr;
};
