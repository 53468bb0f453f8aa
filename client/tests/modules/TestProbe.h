// What the in-tree test modules answer besides the host's plug-in interfaces, so that a test
// can look inside them: the calls their plug-ins received, and a probe that asks the host for
// every host interface.
#pragma once

#include "client/api/QorUnknown.h"

#include <QStringList>

class ITestProbe : public IQorUnknown
{
public:
    // What the plug-in was asked to do, in order ("SetProgressText:Connecting", ...).
    virtual QStringList Calls() = 0;
    // One line per host interface: its name, "reached" or "missing", and what one call answered.
    virtual QStringList ProbeHost() = 0;

protected:
    ~ITestProbe() = default;
};
QOR_DECLARE_INTERFACE(ITestProbe, "{7B0C4C0E-2F7E-4C55-9C0B-3F1E6C2A9D41}", void)
