#include "plugins/contacts/uContactsViewFactory.h"

#include "plugins/contacts/uContactsView.h"
#include "plugins/contacts/uFamiliesView.h"
#include "plugins/contacts/uGroupsView.h"

// For any other name the host is told there is no instance (and logs that).
Quorva::IHYPlugin *CreateContactsView(TRvContactsController &controller, const QString &pluginName)
{
    if (pluginName == TplgContacts::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgContacts(controller));
    if (pluginName == TplgFamilies::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgFamilies(controller));
    if (pluginName == TplgGroups::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgGroups(controller));
    return nullptr;
}
