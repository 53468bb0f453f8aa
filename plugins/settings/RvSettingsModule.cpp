// The library's one export: the settings module's controller.
#include "plugins/settings/hcRvSettingsController.h"

QOR_EXPORT_MODULE_CONTROLLER(TRvSettingsController)
