#include "server/core/uLogOnGate.h"

#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAEDataset.h"
#include "remoting/ROErrors.h"
#include "remoting/ROSessionManager.h"

bool HoldsRights(int level, int mask)
{
    return (level & mask) == mask;
}

bool IsAdministrator(int level)
{
    return HoldsRights(level, kAdministratorRights);
}

int CountUsers(IDAConnection &connection)
{
    std::unique_ptr<TDAEDataset> count =
        connection.NewDataset(QStringLiteral("SELECT Count( logonusername) AS Users FROM tblUsers"));
    count->Open();
    return count->Eof() ? 0 : count->FieldByName(QStringLiteral("Users")).toInt();
}

ROSessionCheck MakeLogOnGate(std::function<std::unique_ptr<IDAConnection>()> connect)
{
    return [connect = std::move(connect)](const QString &service, const TROSession &session) {
        if (service.compare(QLatin1String("LogOnService"), Qt::CaseInsensitive) == 0 ||
            service.compare(QLatin1String("ProbeService"), Qt::CaseInsensitive) == 0 || session.User())
            return;
        std::unique_ptr<IDAConnection> connection = connect();
        if (CountUsers(*connection) > 0)
            throw EROException(QStringLiteral("EROSessionNotLoggedOn"),
                               QStringLiteral("Not logged on: log on before calling \"%1\"").arg(service));
    };
}
