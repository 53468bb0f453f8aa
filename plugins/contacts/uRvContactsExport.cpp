// The one export the host looks for in the library.
#include "plugins/contacts/hcRvContactsController.h"

QOR_EXPORT_MODULE_CONTROLLER(TRvContactsController)
