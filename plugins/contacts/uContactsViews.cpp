#include "plugins/contacts/uContactsViews.h"

// The contacts, families and groups views are built on the data module and the dialogs of this
// module; until they are here the host is told there is no instance (and logs that).
Quorva::IHYPlugin *CreateContactsView(TRvContactsController &, const QString &)
{
    return nullptr;
}
