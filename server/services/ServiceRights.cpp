#include "server/services/ServiceRights.h"

#include "contract/TDataServiceBase.h"
#include "foundation/LogText.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROErrors.h"
#include "remoting/ROSessionManager.h"
#include "server/core/uLogOnGate.h"

TServiceRights::TServiceRights(QString sender, int defaultRights, std::initializer_list<std::pair<const char *, int>> rights)
    : m_sender(std::move(sender)), m_default(defaultRights)
{
    for (const auto &[name, mask] : rights)
        m_rights.emplace(QString::fromLatin1(name).toLower(), mask);
}

int TServiceRights::Required(const QString &name) const
{
    const auto found = m_rights.find(name.toLower());
    return found == m_rights.end() ? m_default : found->second;
}

bool TServiceRights::Holds(const TROSession *session, IDAConnection &connection, int rights)
{
    if (rights == 0)
        return true;
    const std::optional<TvoUser> caller = session ? session->User() : std::nullopt;
    if (caller)
        return HoldsRights(caller->UserLevel, rights);
    return CountUsers(connection) == 0;
}

void TServiceRights::Require(TDataServiceBase &service, const QString &name, const QString &what) const
{
    RequireRights(service, Required(name), what);
}

void TServiceRights::RequireRights(TDataServiceBase &service, int rights, const QString &what) const
{
    const std::shared_ptr<TROSession> session = service.Session();
    if (Holds(session.get(), service.DataService().GetConnection(), rights))
        return;
    const std::optional<TvoUser> caller = session ? session->User() : std::nullopt;
    const QString message = what + QStringLiteral(" is not allowed for this user");
    AddToLog(llWarning, m_sender, QStringLiteral("Rights"),
             message + QStringLiteral(" (%1)").arg(caller ? LogExcerpt(caller->UserName, 80) : QStringLiteral("not logged on")));
    throw EROException(QStringLiteral("EROAccessDenied"), message);
}

QString TServiceRights::Changing(const QString &dataset)
{
    return QStringLiteral("Changing \"%1\"").arg(LogExcerpt(dataset, 80));
}

QString TServiceRights::Running(const QString &command)
{
    return QStringLiteral("Running \"%1\"").arg(LogExcerpt(command, 80));
}

void TServiceRights::Install(TDataServiceBase &service) const
{
    service.DataService().SetDeltaCheck(
        [this, &service](const TDADelta &delta) { Require(service, delta.LogicalName, Changing(delta.LogicalName)); });
    service.SetCommandCheck([this, &service](const QString &command, const DataParameterArray &) {
        Require(service, command, Running(command));
    });
}
