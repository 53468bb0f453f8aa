// Which implementation of each host component a start-up gets (HostComponents.h), and how the
// message loop runs. Tests derive from it to put fakes in; each later component is added here.
#pragma once

#include "client/HostComponents.h"

#include <memory>

class THostComponentFactory
{
public:
    virtual ~THostComponentFactory() = default;
    virtual std::unique_ptr<IQuorvaMainWindow> CreateMainWindow();
    // Gives the data module its components; called right after it is made.
    virtual void InstallComponents(TDMClient &client);
    // Shows the main window and runs until it closes.
    virtual void RunMessageLoop(IQuorvaMainWindow &window);
};
