#include "plugins/contacts/uContactsViews.h"

#include "plugins/contacts/uContactsView.h"
#include "plugins/contacts/uFamiliesView.h"

// A name without a view here is told there is no instance (and the host logs that).
Quorva::IHYPlugin *CreateContactsView(TRvContactsController &controller, const QString &pluginName)
{
    if (pluginName == TplgContacts::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgContacts(controller));
    if (pluginName == TplgFamilies::PluginName)
        return static_cast<Quorva::IHYVisualPlugin *>(new TplgFamilies(controller));
    return nullptr;
}
