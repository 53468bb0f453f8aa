#include "client/uLogOn.h"

#include "client/ufDlgLogin.h"
#include "client/uDMClient.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uRegistry.h"
#include "remoting/ROHTTPChannel.h"
#include "ui/PromptService.h"
#include "ui/ufPassword.h"

#include <QCheckBox>
#include <QComboBox>

#include <stdexcept>

// The secret of the automatic log-on comes from the foundation once it derives one; until then
// the server takes the account alone and the kept secret is empty.
#if __has_include("foundation/InteractiveLogon.h")
#include "foundation/InteractiveLogon.h"
#define KESTROVA_INTERACTIVE_LOGON_SECRET 1
#endif

namespace {

const QString kDMClient = QStringLiteral("DMClient");
constexpr int kTextTitle = 100;
constexpr int kTextRefused = 500;
constexpr int kTextNoSetup = 13;
constexpr int kTextCaption = 10;

QString ReadUser(const QString &name)
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QString(), name);
    return value;
}

void WriteUser(const QString &name, const QString &value)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, value, name);
}

QString ErrorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// What a password log-on that asked for the automatic log-on leaves for the next start: the
// secret derived from the texts as sent, never the password, in a store only the user reads.
void KeepLogonSecret(const QString &password, const QString &userName, const QString &account)
{
#ifdef KESTROVA_INTERACTIVE_LOGON_SECRET
    const QString secret = DeriveInteractiveLogonSecret(password, userName, account);
#else
    Q_UNUSED(password);
    Q_UNUSED(userName);
    Q_UNUSED(account);
    const QString secret;
#endif
    TQorReg::WriteSecretString(HKEY_CURRENT_USER, ProductKey, secret, TLogOnSteps::LogonSecret);
}

void ForgetLogonSecret()
{
    if (!ReadUser(TLogOnSteps::LogonSecret).isEmpty())
        TQorReg::WriteSecretString(HKEY_CURRENT_USER, ProductKey, QString(), TLogOnSteps::LogonSecret);
}

} // namespace

TLogOnSteps::TLogOnSteps(TDMClient &client) : m_client(client) {}

std::unique_ptr<ILogOnService> TLogOnSteps::Service() const
{
    return CoLogOnService::Create(m_client.ROBinMgs(), m_client.ROHTTP());
}

int TLogOnSteps::CheckInitialSetup()
{
    try {
        return Service()->VerifyInitialSetup(m_client.ApplicationID());
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("CheckInitialSetup"), ErrorText(e));
        return Failed;
    }
}

bool TLogOnSteps::RunInitialSetup()
{
    try {
        const auto results = m_client.RunModalPlugin(SetupPlugin, true);
        if (!results) {
            AddToLog(llSevere, kDMClient, QStringLiteral("RunInitialSetup"),
                     QStringLiteral("The database has no users yet and no module offers the initial set-up ") + SetupPlugin);
            QWidget *owner = m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr;
            ShowMessage(owner, QMessageBox::Critical, m_client.GetText(kTextCaption), m_client.GetText(kTextNoSetup));
            return false;
        }
        if (results->ResultCode != 1)
            return false;
        // The server serves a session only once it logged on: the wizard's new account does so.
        std::unique_ptr<ROUser> user;
        const int answer = Service()->VerifyUser(m_client.ApplicationID(), results->UserName, results->Password, false,
                                                 results->WindowsAccount, results->UseWindowsLogon, user);
        if (answer != LoggedOn || !user) {
            AddToLog(llSevere, kDMClient, QStringLiteral("RunInitialSetup"),
                     QStringLiteral("The new account %1 could not log on (%2)").arg(results->UserName).arg(answer));
            return false;
        }
        m_client.SetSessionWindowsLogon(results->UseWindowsLogon);
        if (results->UseWindowsLogon)
            KeepLogonSecret(results->Password, results->UserName, results->WindowsAccount);
        return TakeUser(user->UserID, user->UserName, user->UserLevel);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("RunInitialSetup"), ErrorText(e));
        return false;
    }
}

bool TLogOnSteps::TakeUser(const QString &userId, const QString &userName, int userLevel)
{
    if (userId.isEmpty() || userId == EmptyGUID)
        throw std::runtime_error("The server answered no user");
    m_client.SetLoggedOnUser(userId, userName, userLevel);
    return true;
}

int TLogOnSteps::ProcessLogon()
{
    int result = Refused;
    try {
        std::unique_ptr<ILogOnService> service = Service();
        const QString lastUser = ReadUser(LastKnownUser);
        const QString account = TvoSysInfo::GetUserName();
        // Only "Yes" as written: the comparison counts case.
        m_client.SetSessionWindowsLogon(ReadUser(UseWindowsLogon) == QLatin1String("Yes"));

        if (!lastUser.isEmpty() && m_client.GetUseWindowsLogon()) {
            std::unique_ptr<ROUser> user;
            result = service->VerifyUser(m_client.ApplicationID(), lastUser, ReadUser(LogonSecret), true, account, false, user);
            // Only 0 logs on; 7 leaves the dialog to the user; anything else ends the log-on.
            if (result == LoggedOn) {
                TakeUser(user ? user->UserID : QString(), user ? user->UserName : QString(), user ? user->UserLevel : 0);
                return LoggedOn;
            }
            if (result != Refused)
                return result;
        }
        result = DialogLogon(*service, lastUser, account);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ProcessLogon"), ErrorText(e));
        result = Failed;
    }
    return result;
}

bool TLogOnSteps::LogOnAgain(const QString &userName)
{
    try {
        std::unique_ptr<ILogOnService> service = Service();
        const QString account = TvoSysInfo::GetUserName();
        if (m_client.GetUseWindowsLogon()) {
            std::unique_ptr<ROUser> user;
            if (service->VerifyUser(m_client.ApplicationID(), userName, ReadUser(LogonSecret), true, account, false, user) == LoggedOn)
                return TakeUser(user ? user->UserID : QString(), user ? user->UserName : QString(), user ? user->UserLevel : 0);
        }
        return DialogLogon(*service, userName, account, true) == LoggedOn;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("LogOnAgain"), ErrorText(e));
        return false;
    }
}

int TLogOnSteps::DialogLogon(ILogOnService &service, const QString &lastUser, const QString &account, bool fixedUser)
{
    QWidget *owner = m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr;
    TfDlgLogin dialog(owner);
    dialog.InitForm(m_client, m_client.ROHTTP()->TargetURL());
    dialog.SetUsers(service.GetUserList(m_client.ApplicationID()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    dialog.chkShow()->setChecked(m_client.GetUseWindowsLogon());
    QObject::connect(&dialog, &TfDlgLogin::changePasswordRequested, &dialog,
                     [this, &dialog] { ChangePassword(dialog, dialog.UserName()); });

    int result = Refused;
    QString name = lastUser;
    for (int attempt = 0; attempt < Attempts && result == Refused; ++attempt) {
        dialog.Prepare(name);
        dialog.cbUsers()->setEnabled(!fixedUser);
        if (dialog.exec() != QDialog::Accepted)
            return Cancelled;
        name = dialog.UserName();
        const bool useWindowsLogon = dialog.UseWindowsLogon();
        m_client.SetSessionWindowsLogon(useWindowsLogon);
        std::unique_ptr<ROUser> user;
        result = service.VerifyUser(m_client.ApplicationID(), name, dialog.Password(), false, account, useWindowsLogon, user);
        if (result == LoggedOn) {
            WriteUser(LastKnownUser, name);
            // The box as the user left it is the choice of the next start too, ticked or not.
            m_client.SetUseWindowsLogon(useWindowsLogon);
            if (useWindowsLogon) {
                KeepLogonSecret(dialog.Password(), name, account);
            } else {
                ForgetLogonSecret();
            }
            TakeUser(user ? user->UserID : QString(), user ? user->UserName : QString(), user ? user->UserLevel : 0);
        } else if (result == Refused) {
            ShowMessage(&dialog, QMessageBox::Critical, m_client.GetText(kTextTitle), m_client.GetText(kTextRefused));
        }
    }
    return result;
}

bool TLogOnSteps::ChangePassword(TfDlgLogin &dialog, const QString &userName)
{
    try {
        // The server changes a password only for a session that proved the current one.
        std::unique_ptr<ILogOnService> service = Service();
        std::unique_ptr<ROUser> user;
        if (service->VerifyUser(m_client.ApplicationID(), userName, dialog.Password(), false, TvoSysInfo::GetUserName(), false,
                                user) != LoggedOn) {
            ShowMessage(&dialog, QMessageBox::Critical, m_client.GetText(kTextTitle), m_client.GetText(kTextRefused));
            return false;
        }
        TfPassword password(&dialog);
        password.InitForm(&m_client);
        if (password.exec() != QDialog::Accepted)
            return false;
        if (service->RequestPasswordChange(userName, password.NewPassword())) {
            // The server withdraws the automatic log-on with the old password; so does the client.
            ForgetLogonSecret();
            ShowMessage(&dialog, QMessageBox::Information, QStringLiteral("Information"),
                        QStringLiteral("You have successfully changed your password"));
            return true;
        }
        ShowMessage(&dialog, QMessageBox::Warning, QStringLiteral("Information"),
                    QStringLiteral("The system was not able to change your password!"));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ChangePassword"), ErrorText(e));
        ShowMessage(&dialog, QMessageBox::Warning, QStringLiteral("Information"),
                    QStringLiteral("The system was not able to change your password!"));
    }
    return false;
}
