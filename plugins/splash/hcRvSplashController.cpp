// The splash module RvSplash: one visual plug-in, "plgSplash", that the host shows while it starts.
#include "plugins/splash/ufSplash.h"

namespace {

class TRvSplashController : public THYModuleController
{
public:
    TRvSplashController() : THYModuleController(QStringLiteral("RvSplash.Library"), QStringLiteral("The splash window of Kestrova"))
    {
        RegisterPlugin(QStringLiteral("plgSplash"), QStringLiteral("Splash window shown while the client starts"),
                       [] { return new TplgSplash; });
    }
};

} // namespace

QOR_EXPORT_MODULE_CONTROLLER(TRvSplashController)
