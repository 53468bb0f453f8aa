#include "plugins/contacts/uContactsViews.h"

#include "plugins/contacts/uplgGroups.h"

// The views the module has so far; for any other name the host is told there is no instance
// (and logs that).
Quorva::IHYPlugin *CreateContactsView(TRvContactsController &controller, const QString &pluginName)
{
    if (pluginName == TplgGroups::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgGroups(controller));
    return nullptr;
}
