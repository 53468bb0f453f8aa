// The log-on service: whether the initial set-up was made, the log-on names, a user's log-on by
// password or Windows account, password changes, the server's version and client updates.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "server/core/uLogOnGate.h"
#include "remoting/ROServer.h"
#include "remoting/ROService.h"

#include <functional>
#include <memory>

class IDAConnection;
class TDAConnectionManager;

class TLogOnService : public TRORemoteDataModule, public ILogOnService
{
public:
    // The connection comes from the server's connection manager and database type unless a
    // test names others.
    explicit TLogOnService(TDAConnectionManager *manager = nullptr, const QString &definition = {});
    ~TLogOnService() override;

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    bool UpdateClient(const QString &AppID, int PackageNumber) override;
    bool UpdateClientEx(const QString &AppID, const QString &ClientVersion, QString &NewVersion) override;
    QString GetUserList(const QString &AppID) override;
    std::unique_ptr<TROBinaryMemoryStream> DownloadClientUpdate(const QString &AppID, int Version) override;
    std::unique_ptr<UpdateFiles> DownloadClientUpdateEX(const QString &AppID, const QString &ClientVersion) override;
    int VerifyInitialSetup(const QString &AppID) override;
    int VerifyUser(const QString &AppID, const QString &Username, const QString &Password, bool InteractiveLogon,
                   const QString &WindowsAccount, bool StoreInteractiveLogon, std::unique_ptr<ROUser> &User) override;
    QString GetServerVersion() override;
    bool RequestPasswordChange(const QString &Username, const QString &Password) override;

private:
    IDAConnection &Connection();

    TDAConnectionManager *m_manager;
    QString m_definition;
    std::unique_ptr<IDAConnection> m_connection;
};
