// The events module's units without the client program: a controller made in the test with its
// data module, given a stand-in host with all it offers but mail, its log in the session log's
// columns:
//     TStandInHost host{kEventsHostParts, TStandInHost::TabbedLine};
//     EventsModule module(host);
#pragma once

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "testsupport/StandInHost.h"

namespace kestrova::test {

inline constexpr THostParts kEventsHostParts = THostPart::Settings | THostPart::Search | THostPart::Application |
                                               THostPart::Scheduler | THostPart::Reports;

} // namespace kestrova::test

struct EventsModule
{
    explicit EventsModule(kestrova::test::TStandInHost &host)
    {
        controller.ModuleCreate();
        controller.AttachHost(&host);
    }
    ~EventsModule()
    {
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
    }
    EventsModule(const EventsModule &) = delete;
    EventsModule &operator=(const EventsModule &) = delete;

    TDAEvents &Data() { return *controller.DataModule(); }

    TRvEventsController controller;
};
