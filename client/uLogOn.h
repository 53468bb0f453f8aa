// The initial set-up and the log-on. A database without users runs the set-up wizard; otherwise
// the user logs on silently with the operating-system account (when chosen last time) or in the
// log-on dialog with up to three attempts. From the dialog a user can change the password once
// the current one is proved. The logged-on user goes to TDMClient::SetLoggedOnUser.
#pragma once

#include "client/HostComponents.h"

#include <QString>

#include <memory>

class ILogOnService;
class TDMClient;
class TfDlgLogin;

class TLogOnSteps : public ILogOnSteps
{
public:
    static constexpr int LoggedOn = 0;
    static constexpr int Cancelled = 2;
    static constexpr int Failed = 4;
    static constexpr int SetupNeeded = 6;
    static constexpr int Refused = 7;
    static constexpr int Attempts = 3;
    static inline const QString SetupPlugin = QStringLiteral("plgInitialSetup");
    static inline const QString LastKnownUser = QStringLiteral("Last known user");
    static inline const QString UseWindowsLogon = QStringLiteral("Use Windows logon");
    // The secret an automatic log-on sends as its password (owner-only registry store).
    static inline const QString LogonSecret = QStringLiteral("Logon secret");

    explicit TLogOnSteps(TDMClient &client);

    int CheckInitialSetup() override;
    bool RunInitialSetup() override;
    int ProcessLogon() override;
    bool LogOnAgain(const QString &userName) override;
    // The password dialog for the user chosen in the log-on dialog; false when nothing changed.
    bool ChangePassword(TfDlgLogin &dialog, const QString &userName);

private:
    std::unique_ptr<ILogOnService> Service() const;
    // fixedUser: the name is filled in and cannot be changed (a log-on again).
    int DialogLogon(ILogOnService &service, const QString &lastUser, const QString &account, bool fixedUser = false);
    // Hands the server's user record over; false when there is none.
    bool TakeUser(const QString &userId, const QString &userName, int userLevel);

    TDMClient &m_client;
};
