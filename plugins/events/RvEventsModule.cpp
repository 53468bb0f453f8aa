// The library's one export: the events module's controller.
#include "plugins/events/hcRvEventsController.h"

QOR_EXPORT_MODULE_CONTROLLER(TRvEventsController)
