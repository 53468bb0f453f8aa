// The module's two navigation-bar views, made by the host by name. Each is a new instance with
// one reference for the caller.
#pragma once

namespace Quorva {
class IHYPlugin;
}

Quorva::IHYPlugin *CreateCalendarPlugin();
Quorva::IHYPlugin *CreateSchedulePlugin();
