// The crash report's "system settings" section: the desktop settings that shape how the client
// looks and reacts (accessibility, work area, fonts, input, menus, effects), grouped as the
// support staff read them and read afresh on every read. Only settings the desktop here
// reports are listed; a value that cannot be read is 0, false or empty.
#pragma once

#include "client/CrashHandler.h"

#include <QFont>
#include <QRect>

class TSystemParametersInfo
{
public:
    static inline const QString SectionName = QStringLiteral("system settings");
    static inline const QString SectionDescription = QStringLiteral("extended system settings report");

    // Accessibility: an assistive technology is listening.
    bool ScreenReader() const;
    // Desktop: the primary screen without its panels; text drawn antialiased.
    QRect WorkArea() const;
    bool FontSmoothing() const;
    // Icon: the font of icon titles (the desktop's general font).
    QFont IconTitleLogFont() const;
    // Input.
    bool KeyboardCues() const;
    // Milliseconds before a held key repeats: the X server's (XKB) where there is an X display,
    // else the desktop's setting (KDE's kcminputrc), else 0.
    int KeyboardDelay() const;
    int KeyboardSpeed() const;
    int MouseHoverTime() const;
    int DoubleClickTime() const;
    int WheelScrollLines() const;
    QString DefaultInputLanguage() const;
    // Menu.
    QString MenuDropAlignment() const;
    bool MenuFade() const;
    int MenuShowDelay() const;
    // UIEffects.
    bool ComboBoxAnimation() const;
    bool MenuAnimation() const;
    bool MenuUnderlines() const;
    bool TooltipAnimation() const;
    bool TooltipFade() const;
    bool GuiEffects() const;
    // Windows.
    int CaretWidth() const;
    int CaretBlinkTime() const;

    // "Group.Property" names in their order.
    TQorCrashHandler::Properties Properties() const;

    static void RegisterSection();
    static void UnregisterSection();
};
