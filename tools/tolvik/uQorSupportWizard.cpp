#include "tools/tolvik/uQorSupportWizard.h"

#include "tools/tolvik/TolvikTexts.h"
#include "tools/tolvik/uQorCustomerInfo.h"
#include "tools/tolvik/uQorEmailValidation.h"
#include "tools/tolvik/uSupportToolDelivery.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"

#include <QDir>
#include <QFileInfo>

TQorSupportWizard::TQorSupportWizard(IWizardView &view, const QString &taskFile, const QString &toolFolder,
                                     const QString &version, SupportToolDelivery &delivery, const QString &keyPath)
    : m_view(view), m_processor(this, taskFile), m_delivery(delivery), m_toolFolder(toolFolder), m_version(version),
      m_keyPath(keyPath), m_reportPath(QDir(toolFolder).filePath(QStringLiteral("output.xml"))),
      m_userInfoPath(QDir(toolFolder).filePath(QStringLiteral("userinfo.ini")))
{
}

void TQorSupportWizard::Start()
{
    SetOutputChoice(OnlineDelivery);
    Show(Welcome);
}

void TQorSupportWizard::Show(int page)
{
    m_page = page;
    m_view.ShowPage(page);
    Refresh();
}

TWizardButtons TQorSupportWizard::Buttons() const
{
    TWizardButtons buttons;
    if (m_working) {
        buttons.Cancel = false;
        return buttons;
    }
    switch (m_page) {
    case Welcome: buttons.Next = true; break;
    // A run that failed can be started again from the first page.
    case Progress: buttons.Previous = m_runFailed; break;
    case OutputChoice:
        buttons.Next = m_output == OnlineDelivery;
        buttons.Finish = m_output == XmlFile;
        break;
    case Sender:
        buttons.Next = SenderValid();
        buttons.Previous = true;
        break;
    case Comments:
        buttons.Finish = true;
        buttons.Previous = true;
        break;
    case Done: buttons.Finish = true; break;
    default: break;
    }
    buttons.ViewReport = m_collected && (m_page == OutputChoice || m_page == Sender || m_page == Comments);
    return buttons;
}

void TQorSupportWizard::Refresh()
{
    m_view.SetButtons(Buttons());
}

bool TQorSupportWizard::SenderValid() const
{
    return !m_sender.Name.isEmpty() && !m_sender.Email.isEmpty() && TQorEmailValidation::IsValidEmail(m_sender.Email);
}

void TQorSupportWizard::NextClick()
{
    if (!Buttons().Next)
        return;
    switch (m_page) {
    case Welcome: CollectReport(); break;
    case OutputChoice:
        if (!m_senderFilled)
            FillSender();
        Show(Sender);
        m_view.FocusName();
        break;
    case Sender:
        Show(Comments);
        m_view.FocusComments();
        break;
    default: break;
    }
}

void TQorSupportWizard::PrevClick()
{
    if (!Buttons().Previous)
        return;
    if (m_page == Progress)
        Show(Welcome);
    else if (m_page == Sender)
        Show(OutputChoice);
    else if (m_page == Comments)
        Show(Sender);
}

void TQorSupportWizard::CollectReport()
{
    m_working = true;
    m_runFailed = false;
    m_collected = false;
    Show(Progress);
    m_view.SetProgressPosition(0);
    m_view.SetBusy(true);
    m_report = NewReportDocument(ApplicationTitle, m_version, QDate::currentDate());
    m_processor.SetOutput(&m_report);
    try {
        m_processor.Run();
        m_collected = true;
    } catch (const std::exception &error) {
        m_runFailed = true;
        AddToLog(llSevere, QStringLiteral("Tolvik"), QStringLiteral("Run"), QString::fromStdString(error.what()));
        m_view.SetBusy(false);
        m_working = false;
        Refresh();
        m_view.ShowMessage(QString::fromStdString(error.what()), TolvikTexts::GetText(100), TMessageKind::Error);
        return;
    }
    m_view.SetBusy(false);
    m_working = false;
    Show(OutputChoice);
}

void TQorSupportWizard::FillSender()
{
    m_senderFilled = true;
    m_sender.Name = TvoSysInfo::GetUserName();
    QString organization;
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), organization,
                        QString(), QStringLiteral("RegisteredOrganization"));
    if (organization.isEmpty())
        TQorReg::ReadString(HKEY_LOCAL_MACHINE, QStringLiteral("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                            organization, QString(), QStringLiteral("RegisteredOrganization"));
    m_sender.Organization = organization;
    TQorCustomerInfo stored(m_userInfoPath, m_keyPath);
    try {
        // A file without this user's details (another user's, or one that cannot be read with
        // this user's key) leaves what the system knows in place.
        if (stored.Load() && !(stored.Owner().isEmpty() && stored.Organization().isEmpty() && stored.Email().isEmpty())) {
            if (!stored.Owner().isEmpty())
                m_sender.Name = stored.Owner();
            if (!stored.Organization().isEmpty())
                m_sender.Organization = stored.Organization();
            m_sender.Email = stored.Email();
            m_sender.Remember = true;
        }
    } catch (const std::exception &error) {
        AddToLog(llWarning, QStringLiteral("Tolvik"), QStringLiteral("FillSender"), QString::fromStdString(error.what()));
    }
    m_view.ShowSender(m_sender);
}

void TQorSupportWizard::SetOutputChoice(int choice)
{
    m_output = choice == XmlFile ? XmlFile : OnlineDelivery;
    // The text names the button that goes on from here.
    m_view.SetOutputText(TolvikTexts::Format(103, {TolvikTexts::Plain(m_output == OnlineDelivery ? 225 : 226)}));
    Refresh();
}

void TQorSupportWizard::SetSenderName(const QString &value)
{
    m_sender.Name = value;
    Refresh();
}

void TQorSupportWizard::SetOrganization(const QString &value)
{
    m_sender.Organization = value;
    Refresh();
}

void TQorSupportWizard::SetEmail(const QString &value)
{
    m_sender.Email = value;
    Refresh();
}

void TQorSupportWizard::SetRemember(bool value)
{
    m_sender.Remember = value;
}

void TQorSupportWizard::SetComments(const QString &value)
{
    m_comments = value;
}

QDomDocument TQorSupportWizard::Outgoing() const
{
    QDomDocument report = m_report.cloneNode(true).toDocument();
    if (m_output == OnlineDelivery && !m_comments.isEmpty()) {
        QDomElement comments = report.createElement(QStringLiteral("UserComments"));
        comments.setAttribute(QStringLiteral("schema"), QStringLiteral("base64"));
        comments.appendChild(report.createTextNode(QString::fromLatin1(m_comments.toUtf8().toBase64())));
        report.documentElement().appendChild(comments);
    }
    return report;
}

void TQorSupportWizard::ViewReportClick()
{
    if (Buttons().ViewReport)
        m_view.ShowReport(ReportText(Outgoing()), TolvikTexts::GetText(215));
}

QString TQorSupportWizard::SaveReport(const QDomDocument &report) const
{
    // The report holds the parish's data: its owner's eyes only, from the first byte.
    QString error;
    if (!WritePrivateFile(m_reportPath, ReportText(report).toUtf8(), &error))
        return error;
    return {};
}

void TQorSupportWizard::FinishExecute()
{
    if (m_page == Done) {
        m_view.Close();
        return;
    }
    if (!Buttons().Finish)
        return;
    m_view.SetBusy(true);
    m_working = true;
    Refresh();
    m_view.ProcessMessages();
    if (m_output == OnlineDelivery) {
        Deliver();
    } else {
        const QString error = SaveReport(m_report);
        m_working = false;
        m_view.SetBusy(false);
        Refresh();
        if (error.isEmpty()) {
            m_view.ShowMessage(TolvikTexts::Format(108, {m_reportPath}), TolvikTexts::GetText(109), TMessageKind::Information);
            m_view.Close();
        } else {
            m_view.ShowMessage(TolvikTexts::Format(114, {m_reportPath, error}), TolvikTexts::GetText(100),
                               TMessageKind::Error);
        }
        return;
    }
    m_working = false;
    m_view.SetBusy(false);
    Refresh();
}

void TQorSupportWizard::Deliver()
{
    // Only a user who asked for it has the details kept; unticking the box forgets them.
    TQorCustomerInfo stored(m_userInfoPath, m_keyPath);
    stored.SetOwner(m_sender.Name);
    stored.SetOrganization(m_sender.Organization);
    stored.SetEmail(m_sender.Email);
    try {
        if (m_sender.Remember)
            stored.Save();
        else
            stored.Forget();
    } catch (const std::exception &error) {
        AddToLog(llWarning, QStringLiteral("Tolvik"), QStringLiteral("SaveUserInfo"), QString::fromStdString(error.what()));
    }

    const QDomDocument report = Outgoing();
    QString sendError;
    try {
        m_delivery.SubmitReport(ReportText(report), m_sender.Email, m_sender.Organization, m_sender.Name);
    } catch (const std::exception &error) {
        sendError = QString::fromStdString(error.what());
        if (sendError.isEmpty())
            sendError = QStringLiteral("unknown error");
    }
    const QString saveError = SaveReport(report);
    if (sendError.isEmpty())
        m_view.SetDoneText(TolvikTexts::GetText(211));
    else if (saveError.isEmpty())
        m_view.SetDoneText(TolvikTexts::Format(113, {sendError, m_reportPath}));
    else
        m_view.SetDoneText(TolvikTexts::Format(114, {m_reportPath, sendError + QStringLiteral("; ") + saveError}));
    m_view.SetFinishCaption(TolvikTexts::GetText(210));
    m_working = false;
    Show(Done);
}

void TQorSupportWizard::SetProgress(const QString &text, int position, int maximum)
{
    if (!text.isEmpty())
        m_view.SetActionLabel(text);
    if (maximum > 0)
        m_view.SetProgressMaximum(maximum);
    if (position > 0)
        m_view.SetProgressPosition(position);
    m_view.ProcessMessages();
}

void TQorSupportWizard::SetTaskText(const QString &text, bool replace)
{
    if (replace)
        m_taskPrefix = text;
    m_view.SetTaskLabel(replace ? text : m_taskPrefix + text);
}
