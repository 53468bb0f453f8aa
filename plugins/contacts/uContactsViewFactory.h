// The seam between the controller and the module's three visual plug-ins ("plgContacts",
// "plgFamilies", "plgGroups"): the controller registers every name and asks here for a new
// instance when the host shows one.
#pragma once

#include "client/api/PluginInterfaces.h"

#include <QString>

class TRvContactsController;

// A new instance holding one reference for the host; null for a name the module has no view of.
Quorva::IHYPlugin *CreateContactsView(TRvContactsController &controller, const QString &pluginName);
