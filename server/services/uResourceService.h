// The resource service: generic access to the planning resources (ministry functions,
// locations, liturgy and ministry templates and their functions, calendar data, event colours),
// plus removing what hangs on ministry functions before a client deletes them. They are the
// system settings: every change is an administrator's.
#pragma once

#include "contract/TDataServiceBase.h"

class TResourceService : public TDataServiceBase, public IResourceService
{
public:
    explicit TResourceService(TDAConnectionManager &manager, const QString &connectionName = QStringLiteral("MSSQL"));

    // The service's schema, read once from the program's resources.
    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    bool DeleteMinistryFunctions(const QString &AFunctionList) override;

private:
    void DeleteMinistryFunction(const QString &functionId);
};
