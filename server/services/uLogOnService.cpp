#include "server/services/uLogOnService.h"

#include "server/core/uDMServer.h"
#include "server/services/LogOnThrottle.h"
#include "server/services/PasswordHash.h"
#include "server/services/ServiceErrors.h"

#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDAEDataset.h"
#include "foundation/LogText.h"
#include "foundation/QorDateTime.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROErrors.h"
#include "remoting/ROService.h"
#include "remoting/ROSessionManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

namespace {

// The moment of a log-on to the second: the users page shows when, not only on which day.
QDateTime LogOnTime()
{
    // One reading of the clock: date and time read apart could straddle midnight.
    const QDateTime now = WallClockNow();
    const QTime time = now.time();
    return WallClock(now.date(), QTime(time.hour(), time.minute(), time.second()));
}

const QString kSender = QStringLiteral("LogOnService");

// Users without a level row can neither be listed nor log on. Names compare as values,
// without regard to case; the stored password and secret hash never leave this service.
const QString kUserSelect = QStringLiteral(
    "SELECT tblUsers.PK_UserID, tblUsers.LogonUsername, tblUsers.LogonPassword, tblUsers.InteractiveLogonHash, "
    "tblUserLevels.UserlevelValue "
    "FROM tblUsers INNER JOIN tblUserLevels ON tblUsers.F_Userlevel = tblUserLevels.PK_UserLevelID ");
const QString kByName = QStringLiteral("WHERE UPPER(tblUsers.LogonUsername) = UPPER(:Username)");

QString Text(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

void RunInTransaction(IDAConnection &connection, const std::function<void()> &work)
{
    connection.BeginTransaction();
    try {
        work();
        connection.CommitTransaction();
    } catch (...) {
        connection.RollbackTransaction();
        throw;
    }
}

void ExecuteForUser(IDAConnection &connection, const QString &sql, const QString &userId,
                    const QList<std::pair<QString, QVariant>> &values)
{
    RunInTransaction(connection, [&] {
        std::unique_ptr<TDAEDataset> command = connection.NewCommand(sql);
        command->ParamByName(QStringLiteral("UserID")).Value = userId;
        for (const auto &[name, value] : values)
            command->ParamByName(name).Value = value;
        command->Execute();
    });
}

} // namespace

TLogOnService::TLogOnService(TDAConnectionManager *manager, const QString &definition)
    : m_manager(manager), m_definition(definition)
{
    if (!m_manager && DMServer) {
        m_manager = &DMServer->ConnectionManager();
        m_definition = DMServer->DataType();
    }
}

TLogOnService::~TLogOnService() = default;

bool TLogOnService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId != ILogOnService::IID)
        return false;
    *object = static_cast<ILogOnService *>(this);
    return true;
}

// Taken on first use, so that a database that is down shows as each operation's failure value.
IDAConnection &TLogOnService::Connection()
{
    if (!m_connection) {
        if (!m_manager)
            throw std::runtime_error("The server has no database connection");
        m_connection = m_manager->NewConnection(m_definition);
    }
    return *m_connection;
}

int TLogOnService::VerifyInitialSetup(const QString &)
{
    try {
        return CountUsers(Connection()) > 0 ? 4 : 6;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("VerifyInitialSetup"), ErrorMessage(e));
        return 4;
    }
}

// Every failure counts against the name at its address and against the address, and leaves a
// line (never the password); a name at an address, or an address, with too many recent
// failures is answered 7 unchecked.
int TLogOnService::VerifyUser(const QString &, const QString &Username, const QString &Password, bool InteractiveLogon,
                              const QString &WindowsAccount, bool StoreInteractiveLogon, std::unique_ptr<ROUser> &User)
{
    User = std::make_unique<ROUser>();
    const QString address = ROPeerAddress();
    const QString who = QStringLiteral("\"%1\" from %2").arg(LogExcerpt(Username), address.isEmpty() ? QStringLiteral("an unknown address") : address);
    TLogOnThrottle &throttle = TLogOnThrottle::Server();
    bool firstRefusal = false;
    if (const std::chrono::milliseconds wait = throttle.Wait(Username, address, &firstRefusal); wait.count() > 0) {
        // Once per throttled name and address: a guesser that keeps trying cannot flood the log.
        if (firstRefusal)
            AddToLog(llWarning, kSender, QStringLiteral("VerifyUser"),
                     QStringLiteral("Log-on of %1 refused unchecked after too many failures; the next check in %2 s")
                         .arg(who).arg((wait.count() + 999) / 1000));
        return 7;
    }
    try {
        IDAConnection &connection = Connection();
        std::unique_ptr<TDAEDataset> users;
        if (InteractiveLogon) {
            users = connection.NewDataset(kUserSelect + kByName +
                                          QStringLiteral(" AND tblUsers.UseInteractiveLogon = 1"
                                                         " AND UPPER(tblUsers.WindowsAccount) = UPPER(:WindowsAccount)"));
            users->ParamByName(QStringLiteral("WindowsAccount")).Value = WindowsAccount;
        } else {
            users = connection.NewDataset(kUserSelect + kByName);
        }
        users->ParamByName(QStringLiteral("Username")).Value = Username;
        users->Open();
        bool found = false;
        QString storedPassword;
        for (; !users->Eof() && !found; users->Next()) {
            storedPassword = Text(users->FieldByName(QStringLiteral("LogonPassword")));
            // The automatic log-on proves itself with the secret derived at a password log-on.
            found = InteractiveLogon ? VerifyInteractiveLogonSecret(Text(users->FieldByName(QStringLiteral("InteractiveLogonHash"))), Password)
                                     : VerifyPassword(storedPassword, Password);
            if (found) {
                User->UserID = Text(users->FieldByName(QStringLiteral("PK_UserID")));
                User->UserName = Text(users->FieldByName(QStringLiteral("LogonUsername")));
                User->UserLevel = users->FieldByName(QStringLiteral("UserlevelValue")).toInt();
            }
        }
        if (!found) {
            User = std::make_unique<ROUser>();
            throttle.Failed(Username, address);
            AddToLog(llWarning, kSender, QStringLiteral("VerifyUser"),
                     QStringLiteral("Failed %1log-on of %2").arg(InteractiveLogon ? QStringLiteral("automatic ") : QString(), who));
            return 7;
        }
        throttle.Succeeded(Username, address);
        // An older clear-text password becomes a hash once its owner has proved it.
        if (!InteractiveLogon && !storedPassword.isEmpty() && !IsPasswordHash(storedPassword))
            ExecuteForUser(connection, QStringLiteral("UPDATE tblUsers SET LogonPassword = :NewPassword WHERE PK_UserID = :UserID"),
                           User->UserID, {{QStringLiteral("NewPassword"), HashPassword(Password)}});
        if (!InteractiveLogon && StoreInteractiveLogon)
            ExecuteForUser(connection,
                           QStringLiteral("UPDATE tblUsers SET UseInteractiveLogon = 1, WindowsAccount = :WindowsAccount, "
                                          "InteractiveLogonHash = :Hash WHERE PK_UserID = :UserID"),
                           User->UserID,
                           {{QStringLiteral("WindowsAccount"), WindowsAccount},
                            {QStringLiteral("Hash"), HashInteractiveLogonSecret(Password, Username, WindowsAccount)}});
        ExecuteForUser(connection, QStringLiteral("UPDATE tblUsers SET LastLoginDate = :LoggedOn WHERE PK_UserID = :UserID"),
                       User->UserID, {{QStringLiteral("LoggedOn"), LogOnTime()}});
        if (const std::shared_ptr<TROSession> session = Session()) {
            TvoUser user;
            user.UserID = User->UserID;
            user.UserName = User->UserName;
            user.UserLevel = User->UserLevel;
            session->SetUser(user);
        }
        return 0;
    } catch (const std::exception &e) {
        User = std::make_unique<ROUser>();
        AddToLog(llSevere, kSender, QStringLiteral("VerifyUser"), ErrorMessage(e));
        return 1;
    }
}

QString TLogOnService::GetUserList(const QString &)
{
    QStringList names;
    try {
        std::unique_ptr<TDAEDataset> users = Connection().NewDataset(kUserSelect);
        users->Open();
        for (; !users->Eof(); users->Next())
            names << Text(users->FieldByName(QStringLiteral("LogonUsername")));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("GetUserLIst"), ErrorMessage(e));
        names.clear();
    }
    QString text;
    for (const QString &name : names)
        text += name + QStringLiteral("\r\n");
    return text;
}

QString TLogOnService::GetServerVersion()
{
    const QString version = TvoSysInfo::GetFileVersion(QCoreApplication::applicationFilePath());
    return version.isEmpty() ? TvoSysInfo::BuildVersion() : version;
}

// Only the user's own session or an administrator's changes a password; from the log-on
// screen (no user in the session) the answer is false.
bool TLogOnService::RequestPasswordChange(const QString &Username, const QString &Password)
{
    try {
        const std::shared_ptr<TROSession> session = Session();
        const std::optional<TvoUser> caller = session ? session->User() : std::nullopt;
        if (!caller)
            return false;
        IDAConnection &connection = Connection();
        std::unique_ptr<TDAEDataset> users = connection.NewDataset(kUserSelect + kByName);
        users->ParamByName(QStringLiteral("Username")).Value = Username;
        users->Open();
        if (users->Eof())
            return false;
        const QString userId = Text(users->FieldByName(QStringLiteral("PK_UserID")));
        if (userId.compare(caller->UserID, Qt::CaseInsensitive) != 0 && !IsAdministrator(caller->UserLevel))
            return false;
        // A new password withdraws the automatic log-on secret derived from the old one.
        ExecuteForUser(connection,
                       QStringLiteral("UPDATE tblUsers SET LogonPassword = :NewPassword, InteractiveLogonHash = NULL "
                                      "WHERE PK_USERID = :UserID"),
                       userId, {{QStringLiteral("NewPassword"), HashPassword(Password)}});
        return true;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("RequestPasswordChange"), ErrorMessage(e));
        return false;
    }
}

bool TLogOnService::UpdateClient(const QString &, int)
{
    return false;
}

std::unique_ptr<TROBinaryMemoryStream> TLogOnService::DownloadClientUpdate(const QString &, int)
{
    return nullptr;
}

bool TLogOnService::UpdateClientEx(const QString &AppID, const QString &ClientVersion, QString &NewVersion)
{
    NewVersion.clear();
    if (!DMServer)
        throw std::runtime_error("The server is not running");
    return DMServer->CheckClientUpdate(AppID, ClientVersion, NewVersion);
}

std::unique_ptr<UpdateFiles> TLogOnService::DownloadClientUpdateEX(const QString &, const QString &ClientVersion)
{
    if (!DMServer)
        throw std::runtime_error("The server is not running");
    return DMServer->GetUpdateFiles(ClientVersion);
}
