// The library's one export: the set-up module's controller.
#include "plugins/setup/hcRvSetupController.h"

QOR_EXPORT_MODULE_CONTROLLER(TRvSetupController)
