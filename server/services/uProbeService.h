// The probe service: clients ask it whether a server answers at an address.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "remoting/ROService.h"

class TProbeService : public TRORemotable, public IProbeService
{
public:
    bool queryInterface(const QUuid &interfaceId, void **object) override;
    bool ProbeServer() override { return true; }
};
