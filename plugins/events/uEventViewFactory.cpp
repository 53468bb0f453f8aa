// The module's two navigation-bar views, made by name when the host shows them.
#include "plugins/events/uEventViewFactory.h"

#include "plugins/events/uCalendarView.h"
#include "plugins/events/uScheduleView.h"

using namespace Quorva;

IHYPlugin *CreateCalendarPlugin()
{
    return static_cast<IHYVisualPlugin *>(new TplgCalendar);
}

IHYPlugin *CreateSchedulePlugin()
{
    return static_cast<IHYVisualPlugin *>(new TplgSchedule);
}
