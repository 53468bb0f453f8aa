// What the X server of this desktop says of the mouse, the bell, the screen saver, display
// power and the keyboard's accessibility controls, for the crash report's "system settings".
// The X libraries are looked up at run time: without them, or without a display, every value
// stays 0 or false.
#pragma once

struct TX11Desktop
{
    bool Display = false;
    // XGetPointerControl: the threshold in pixels, the acceleration as a whole factor.
    int MouseThreshold = 0;
    int MouseAcceleration = 0;
    // XGetKeyboardControl: the bell sounds.
    bool Beep = false;
    // XGetScreenSaver, in seconds; XScreenSaverQueryInfo (libXss) for a saver shown now.
    int ScreenSaveTimeout = 0;
    bool ScreenSaverRunning = false;
    // DPMS (libXext), in seconds: standby for low power, off for power off.
    bool PowerManagement = false;
    int LowPowerTimeout = 0;
    int PowerOffTimeout = 0;
    // XkbGetControls: the enabled controls and their times in milliseconds.
    bool Xkb = false;
    bool StickyKeys = false;
    bool StickyTwoKeysOff = false;
    bool StickyLatchToLock = false;
    bool StickyFeedback = false;
    bool MouseKeys = false;
    int MouseKeysMaxSpeed = 0;
    int MouseKeysTimeToMax = 0;
    bool SlowKeys = false;
    bool BounceKeys = false;
    int SlowKeysDelay = 0;
    int RepeatDelay = 0;
    int RepeatInterval = 0;
    int BounceDelay = 0;
    bool IndicatorFeedback = false;
    bool AccessTimeout = false;
    bool AccessFeedback = false;
    int AccessTimeoutMs = 0;

    // Read from the display DISPLAY names.
    static TX11Desktop Read();
};
