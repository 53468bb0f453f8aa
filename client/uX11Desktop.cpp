#include "client/uX11Desktop.h"

// The X headers give the types and masks only; nothing is linked against them.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>

namespace {

// An extension library hooks itself into the display it was asked about and is called again
// when that display closes: it stays loaded once it was.
class TLibrary
{
public:
    explicit TLibrary(const char *name) : m_handle(dlopen(name, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE)) {}
    ~TLibrary()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    TLibrary(const TLibrary &) = delete;
    TLibrary &operator=(const TLibrary &) = delete;
    template <class Function> Function *Get(const char *name) const
    {
        return m_handle ? reinterpret_cast<Function *>(dlsym(m_handle, name)) : nullptr;
    }

private:
    void *m_handle;
};

void ReadXkb(const TLibrary &x11, ::Display *display, TX11Desktop &out)
{
    const auto getMap = x11.Get<XkbDescPtr(::Display *, unsigned int, unsigned int)>("XkbGetMap");
    const auto getControls = x11.Get<Status(::Display *, unsigned long, XkbDescPtr)>("XkbGetControls");
    const auto freeKeyboard = x11.Get<void(XkbDescPtr, unsigned int, Bool)>("XkbFreeKeyboard");
    if (!getMap || !getControls || !freeKeyboard)
        return;
    XkbDescPtr keyboard = getMap(display, 0, XkbUseCoreKbd);
    if (!keyboard)
        return;
    if (getControls(display, XkbAllControlsMask, keyboard) == Success && keyboard->ctrls) {
        const XkbControlsRec &c = *keyboard->ctrls;
        out.Xkb = true;
        out.StickyKeys = c.enabled_ctrls & XkbStickyKeysMask;
        out.StickyTwoKeysOff = c.ax_options & XkbAX_TwoKeysMask;
        out.StickyLatchToLock = c.ax_options & XkbAX_LatchToLockMask;
        out.StickyFeedback = c.ax_options & XkbAX_StickyKeysFBMask;
        out.MouseKeys = c.enabled_ctrls & XkbMouseKeysMask;
        out.MouseKeysMaxSpeed = c.mk_max_speed;
        out.MouseKeysTimeToMax = c.mk_time_to_max * c.mk_interval;
        out.SlowKeys = c.enabled_ctrls & XkbSlowKeysMask;
        out.BounceKeys = c.enabled_ctrls & XkbBounceKeysMask;
        out.SlowKeysDelay = c.slow_keys_delay;
        out.RepeatDelay = c.repeat_delay;
        out.RepeatInterval = c.repeat_interval;
        out.BounceDelay = c.debounce_delay;
        out.IndicatorFeedback = c.ax_options & XkbAX_IndicatorFBMask;
        out.AccessTimeout = c.enabled_ctrls & XkbAccessXTimeoutMask;
        out.AccessFeedback = c.ax_options & XkbAX_FeatureFBMask;
        out.AccessTimeoutMs = c.ax_timeout * 1000;
    }
    freeKeyboard(keyboard, 0, True);
}

void ReadPower(::Display *display, TX11Desktop &out)
{
    const TLibrary xext("libXext.so.6");
    const auto query = xext.Get<Bool(::Display *, int *, int *)>("DPMSQueryExtension");
    const auto info = xext.Get<Status(::Display *, CARD16 *, BOOL *)>("DPMSInfo");
    const auto timeouts = xext.Get<Status(::Display *, CARD16 *, CARD16 *, CARD16 *)>("DPMSGetTimeouts");
    int event = 0;
    int error = 0;
    if (!query || !info || !timeouts || !query(display, &event, &error))
        return;
    CARD16 level = 0;
    BOOL enabled = False;
    CARD16 standby = 0;
    CARD16 suspend = 0;
    CARD16 off = 0;
    if (info(display, &level, &enabled))
        out.PowerManagement = enabled;
    if (timeouts(display, &standby, &suspend, &off)) {
        out.LowPowerTimeout = standby;
        out.PowerOffTimeout = off;
    }
}

void ReadSaverState(::Display *display, TX11Desktop &out)
{
    const TLibrary xss("libXss.so.1");
    const auto alloc = xss.Get<XScreenSaverInfo *()>("XScreenSaverAllocInfo");
    const auto query = xss.Get<Status(::Display *, Drawable, XScreenSaverInfo *)>("XScreenSaverQueryInfo");
    const TLibrary x11("libX11.so.6");
    const auto root = x11.Get<Window(::Display *)>("XDefaultRootWindow");
    if (!alloc || !query || !root)
        return;
    XScreenSaverInfo *state = alloc();
    if (!state)
        return;
    if (query(display, root(display), state))
        out.ScreenSaverRunning = state->state == ScreenSaverOn;
    std::free(state);
}

} // namespace

TX11Desktop TX11Desktop::Read()
{
    TX11Desktop out;
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name)
        return out;
    const TLibrary x11("libX11.so.6");
    const auto open = x11.Get<::Display *(const char *)>("XOpenDisplay");
    const auto close = x11.Get<int(::Display *)>("XCloseDisplay");
    const auto pointer = x11.Get<int(::Display *, int *, int *, int *)>("XGetPointerControl");
    const auto keyboard = x11.Get<int(::Display *, XKeyboardState *)>("XGetKeyboardControl");
    const auto saver = x11.Get<int(::Display *, int *, int *, int *, int *)>("XGetScreenSaver");
    if (!open || !close)
        return out;
    ::Display *display = open(name);
    if (!display)
        return out;
    out.Display = true;
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
    if (pointer && pointer(display, &numerator, &denominator, &threshold)) {
        out.MouseThreshold = threshold;
        out.MouseAcceleration = denominator > 0 ? int(std::lround(double(numerator) / denominator)) : 0;
    }
    XKeyboardState state{};
    if (keyboard && keyboard(display, &state))
        out.Beep = state.bell_percent > 0;
    int timeout = 0;
    int interval = 0;
    int blanking = 0;
    int exposures = 0;
    if (saver && saver(display, &timeout, &interval, &blanking, &exposures))
        out.ScreenSaveTimeout = timeout;
    ReadXkb(x11, display, out);
    ReadPower(display, out);
    ReadSaverState(display, out);
    close(display);
    return out;
}
