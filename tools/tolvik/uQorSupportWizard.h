// The support wizard's rules: which page follows which, which buttons are available, running
// the tasks, filling and remembering the sender details, and sending or saving the report.
// The window (TfWizard) shows what this class decides; tests drive it without a window.
#pragma once

#include "tools/tolvik/uQorXMLProsessor.h"

#include <QDomDocument>
#include <QString>

class SupportToolDelivery;

struct TWizardButtons
{
    bool Next = false;
    bool Finish = false;
    bool Previous = false;
    bool Cancel = true;
    bool ViewReport = false;
};

struct TSenderDetails
{
    QString Name;
    QString Organization;
    QString Email;
    bool Remember = true;
};

enum class TMessageKind { Information, Warning, Error };

class IWizardView
{
public:
    virtual ~IWizardView() = default;
    virtual void ShowPage(int page) = 0;
    virtual void SetButtons(const TWizardButtons &buttons) = 0;
    virtual void SetFinishCaption(const QString &caption) = 0;
    virtual void SetOutputText(const QString &text) = 0;
    virtual void SetDoneText(const QString &text) = 0;
    virtual void SetTaskLabel(const QString &text) = 0;
    virtual void SetActionLabel(const QString &text) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void ShowSender(const TSenderDetails &details) = 0;
    virtual void FocusName() = 0;
    virtual void FocusComments() = 0;
    virtual void SetBusy(bool busy) = 0;
    virtual void ProcessMessages() = 0;
    virtual void ShowMessage(const QString &text, const QString &caption, TMessageKind kind) = 0;
    // The report as it would go out, for the user to read before it does.
    virtual void ShowReport(const QString &xml, const QString &caption) = 0;
    virtual void Close() = 0;
};

class TQorSupportWizard : public ITaskProgress
{
public:
    enum Page { Welcome = 0, Progress = 1, OutputChoice = 2, Sender = 3, Comments = 4, Done = 5 };
    enum Output { OnlineDelivery = 0, XmlFile = 1 };

    static inline const QString ApplicationTitle = QStringLiteral("Support Tool");

    // keyPath: the key of the remembered sender details (the user's own when empty).
    TQorSupportWizard(IWizardView &view, const QString &taskFile, const QString &toolFolder, const QString &version,
                      SupportToolDelivery &delivery, const QString &keyPath = QString());

    // Page 0 with its buttons; the window then runs modally.
    void Start();
    void NextClick();
    void PrevClick();
    void FinishExecute();
    void ViewReportClick();

    void SetOutputChoice(int choice);
    void SetSenderName(const QString &value);
    void SetOrganization(const QString &value);
    void SetEmail(const QString &value);
    void SetRemember(bool value);
    void SetComments(const QString &value);

    int Page() const { return m_page; }
    TWizardButtons Buttons() const;
    bool SenderValid() const;
    QString ReportPath() const { return m_reportPath; }
    QString UserInfoPath() const { return m_userInfoPath; }
    const QDomDocument &Report() const { return m_report; }
    // The report as it goes out: with the comments, when it is delivered online.
    QDomDocument Outgoing() const;

    void SetProgress(const QString &text, int position, int maximum) override;
    void SetTaskText(const QString &text, bool replace) override;

private:
    void Show(int page);
    void Refresh();
    void CollectReport();
    void FillSender();
    // Empty when the report was saved; the error otherwise.
    QString SaveReport(const QDomDocument &report) const;
    void Deliver();

    IWizardView &m_view;
    TQorXMLProsessor m_processor;
    SupportToolDelivery &m_delivery;
    QString m_toolFolder;
    QString m_version;
    QString m_keyPath;
    QString m_reportPath;
    QString m_userInfoPath;
    QDomDocument m_report;
    QString m_taskPrefix;
    TSenderDetails m_sender;
    QString m_comments;
    int m_page = Welcome;
    int m_output = OnlineDelivery;
    bool m_senderFilled = false;
    bool m_collected = false;
    bool m_runFailed = false;
    bool m_working = false;
};
