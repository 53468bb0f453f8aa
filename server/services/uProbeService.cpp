#include "server/services/uProbeService.h"

bool TProbeService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId != IProbeService::IID)
        return false;
    *object = static_cast<IProbeService *>(this);
    return true;
}
