#include "client/uSystemInfo.h"

#include "client/uX11Desktop.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethod>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QStyle>
#include <QStyleHints>

#include <dlfcn.h>

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Style and effect values need the application's widgets; without them they are not there.
bool haveWidgets()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

int styleHint(QStyle::StyleHint hint)
{
    return haveWidgets() && QApplication::style() ? QApplication::style()->styleHint(hint) : 0;
}

bool effect(Qt::UIEffect which)
{
    return haveWidgets() && QApplication::isEffectEnabled(which);
}

// The X server's delay before a held key repeats, in milliseconds, through XKB; 0 without an X
// display. The X library is looked up at run time: a desktop without X runs the client all the same.
int x11KeyboardDelay()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return 0;
    void *x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!x11)
        return 0;
    using OpenDisplay = void *(*)(const char *);
    using CloseDisplay = int (*)(void *);
    using GetAutoRepeatRate = int (*)(void *, unsigned int, unsigned int *, unsigned int *);
    constexpr unsigned int useCoreKeyboard = 0x0100;
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    const auto close = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
    const auto rate = reinterpret_cast<GetAutoRepeatRate>(dlsym(x11, "XkbGetAutoRepeatRate"));
    unsigned int delay = 0;
    unsigned int interval = 0;
    if (open && close && rate)
        if (void *connection = open(display.constData())) {
            if (!rate(connection, useCoreKeyboard, &delay, &interval))
                delay = 0;
            close(connection);
        }
    dlclose(x11);
    return int(delay);
}

// The desktop's own setting where it keeps one in a file (KDE's kcminputrc); 0 without it.
int desktopKeyboardDelay()
{
    const QString file = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, QStringLiteral("kcminputrc"));
    if (file.isEmpty())
        return 0;
    return QSettings(file, QSettings::IniFormat).value(QStringLiteral("Keyboard/RepeatDelay")).toInt();
}

// A set of flags as a list of the names of those that are on.
QString flagSet(const QList<std::pair<const char *, bool>> &flags)
{
    QStringList on;
    for (const auto &[name, set] : flags)
        if (set)
            on << QString::fromLatin1(name);
    return QLatin1Char('[') + on.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace

bool TSystemParametersInfo::ScreenReader() const
{
    return QAccessible::isActive();
}

QRect TSystemParametersInfo::WorkArea() const
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

bool TSystemParametersInfo::FontSmoothing() const
{
    return !(QGuiApplication::font().styleStrategy() & QFont::NoAntialias);
}

QFont TSystemParametersInfo::IconTitleLogFont() const
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

bool TSystemParametersInfo::KeyboardCues() const
{
    return styleHint(QStyle::SH_UnderlineShortcut) != 0;
}

int TSystemParametersInfo::KeyboardSpeed() const
{
    return QGuiApplication::styleHints() ? QGuiApplication::styleHints()->keyboardAutoRepeatRate() : 0;
}

int TSystemParametersInfo::KeyboardDelay() const
{
    const int delay = x11KeyboardDelay();
    return delay > 0 ? delay : desktopKeyboardDelay();
}

int TSystemParametersInfo::MouseHoverTime() const
{
    return styleHint(QStyle::SH_ToolTip_WakeUpDelay);
}

int TSystemParametersInfo::DoubleClickTime() const
{
    return QGuiApplication::styleHints() ? QGuiApplication::styleHints()->mouseDoubleClickInterval() : 0;
}

int TSystemParametersInfo::WheelScrollLines() const
{
    return QGuiApplication::styleHints() ? QGuiApplication::styleHints()->wheelScrollLines() : 0;
}

QString TSystemParametersInfo::DefaultInputLanguage() const
{
    return QGuiApplication::inputMethod() ? QGuiApplication::inputMethod()->locale().name() : QString();
}

QString TSystemParametersInfo::MenuDropAlignment() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("Right") : QStringLiteral("Left");
}

bool TSystemParametersInfo::MenuFade() const
{
    return effect(Qt::UI_FadeMenu);
}

int TSystemParametersInfo::MenuShowDelay() const
{
    return styleHint(QStyle::SH_Menu_SubMenuPopupDelay);
}

bool TSystemParametersInfo::ComboBoxAnimation() const
{
    return effect(Qt::UI_AnimateCombo);
}

bool TSystemParametersInfo::MenuAnimation() const
{
    return effect(Qt::UI_AnimateMenu);
}

bool TSystemParametersInfo::MenuUnderlines() const
{
    return KeyboardCues();
}

bool TSystemParametersInfo::TooltipAnimation() const
{
    return effect(Qt::UI_AnimateTooltip);
}

bool TSystemParametersInfo::TooltipFade() const
{
    return effect(Qt::UI_FadeTooltip);
}

bool TSystemParametersInfo::GuiEffects() const
{
    return effect(Qt::UI_General);
}

int TSystemParametersInfo::CaretWidth() const
{
    return haveWidgets() && QApplication::style() ? QApplication::style()->pixelMetric(QStyle::PM_TextCursorWidth) : 0;
}

int TSystemParametersInfo::CaretBlinkTime() const
{
    return QGuiApplication::styleHints() ? QGuiApplication::styleHints()->cursorFlashTime() : 0;
}

TQorCrashHandler::Properties TSystemParametersInfo::Properties() const
{
    const QRect area = WorkArea();
    const QFont font = IconTitleLogFont();
    const QString logFont = QStringLiteral("Icon.IconTitleLogFont.LogFont.");
    // The X server's values; 0 and false without one.
    const TX11Desktop x = TX11Desktop::Read();
    const QString filterKeys = QStringLiteral("Accessibility.FilterKeys.");
    const QString mouseKeys = QStringLiteral("Accessibility.MouseKeys.");
    const auto number = [](int value) { return QString::number(value); };
    return {
        {QStringLiteral("Accessibility.AccessTimeOut.flags"),
         flagSet({{"atfOnOffFeedBack", x.AccessFeedback}, {"atfTimeOutOn", x.AccessTimeout}})},
        {QStringLiteral("Accessibility.AccessTimeOut.TimeOutMSec"), number(x.AccessTimeoutMs)},
        {filterKeys + QStringLiteral("flags"),
         flagSet({{"fkfAvailable", x.Xkb}, {"fkfFilterKeysOn", x.SlowKeys || x.BounceKeys}})},
        {filterKeys + QStringLiteral("WaitMSec"), number(x.SlowKeysDelay)},
        {filterKeys + QStringLiteral("DelayMSec"), number(x.RepeatDelay)},
        {filterKeys + QStringLiteral("RepeatMSec"), number(x.RepeatInterval)},
        {filterKeys + QStringLiteral("BounceMSec"), number(x.BounceDelay)},
        {mouseKeys + QStringLiteral("flags"), flagSet({{"mkfAvailable", x.Xkb}, {"mkfMouseKeysOn", x.MouseKeys}})},
        {mouseKeys + QStringLiteral("MaxSpeed"), number(x.MouseKeysMaxSpeed)},
        {mouseKeys + QStringLiteral("TimeToMaxSpeed"), number(x.MouseKeysTimeToMax)},
        {mouseKeys + QStringLiteral("CtrlSpeed"), number(0)},
        {QStringLiteral("Accessibility.ScreenReader"), boolText(ScreenReader())},
        {QStringLiteral("Accessibility.StickyKeys.flags"),
         flagSet({{"skfAudibleFeedback", x.StickyFeedback}, {"skfAvailable", x.Xkb}, {"skfStickyKeysOn", x.StickyKeys},
                  {"skfTriState", x.StickyLatchToLock}, {"skfTwoKeysOff", x.StickyTwoKeysOff}})},
        {QStringLiteral("Accessibility.ToggleKeys.flags"),
         flagSet({{"tkfAvailable", x.Xkb}, {"tkfToggleKeysOn", x.IndicatorFeedback}})},
        // Right and bottom lie just outside the area.
        {QStringLiteral("Desktop.WorkArea.Rect.Left"), QString::number(area.x())},
        {QStringLiteral("Desktop.WorkArea.Rect.Top"), QString::number(area.y())},
        {QStringLiteral("Desktop.WorkArea.Rect.Right"), QString::number(area.x() + area.width())},
        {QStringLiteral("Desktop.WorkArea.Rect.Bottom"), QString::number(area.y() + area.height())},
        {QStringLiteral("Desktop.FontSmoothing"), boolText(FontSmoothing())},
        // A negative height is the height of the characters, in pixels.
        {logFont + QStringLiteral("Height"), QString::number(-QFontInfo(font).pixelSize())},
        {logFont + QStringLiteral("Weight"), QString::number(font.weight())},
        {logFont + QStringLiteral("Italics"), boolText(font.italic())},
        {logFont + QStringLiteral("Strikeout"), boolText(font.strikeOut())},
        {logFont + QStringLiteral("FaceName"), QFontInfo(font).family()},
        {QStringLiteral("Input.Beep"), boolText(x.Beep)},
        {QStringLiteral("Input.DefaultInputLanguage"), DefaultInputLanguage()},
        {QStringLiteral("Input.KeyboardCues"), boolText(KeyboardCues())},
        {QStringLiteral("Input.KeyboardDelay"), QString::number(KeyboardDelay())},
        {QStringLiteral("Input.KeyboardSpeed"), QString::number(KeyboardSpeed())},
        {QStringLiteral("Input.Mouse.ThresholdX"), number(x.MouseThreshold)},
        {QStringLiteral("Input.Mouse.ThresholdY"), number(x.MouseThreshold)},
        {QStringLiteral("Input.Mouse.Acceleration"), number(x.MouseAcceleration)},
        {QStringLiteral("Input.MouseHoverTime"), QString::number(MouseHoverTime())},
        {QStringLiteral("Input.DoubleClickTime"), QString::number(DoubleClickTime())},
        {QStringLiteral("Input.WheelScrollLines"), QString::number(WheelScrollLines())},
        {QStringLiteral("Menu.MenuDropAlignment"), MenuDropAlignment()},
        {QStringLiteral("Menu.MenuFade"), boolText(MenuFade())},
        {QStringLiteral("Menu.MenuShowDelay"), QString::number(MenuShowDelay())},
        {QStringLiteral("Power.LowPowerActive"), boolText(x.PowerManagement && x.LowPowerTimeout > 0)},
        {QStringLiteral("Power.LowPowerTimeout"), number(x.LowPowerTimeout)},
        {QStringLiteral("Power.PowerOffActive"), boolText(x.PowerManagement && x.PowerOffTimeout > 0)},
        {QStringLiteral("Power.PowerOffTimeout"), number(x.PowerOffTimeout)},
        {QStringLiteral("ScreenSaver.ScreenSaveActive"), boolText(x.ScreenSaveTimeout > 0)},
        {QStringLiteral("ScreenSaver.ScreenSaverRunning"), boolText(x.ScreenSaverRunning)},
        {QStringLiteral("ScreenSaver.ScreenSaveTimeout"), number(x.ScreenSaveTimeout)},
        {QStringLiteral("UIEffects.ComboBoxAnimation"), boolText(ComboBoxAnimation())},
        {QStringLiteral("UIEffects.MenuAnimation"), boolText(MenuAnimation())},
        {QStringLiteral("UIEffects.MenuUnderlines"), boolText(MenuUnderlines())},
        {QStringLiteral("UIEffects.TooltipAnimation"), boolText(TooltipAnimation())},
        {QStringLiteral("UIEffects.TooltipFade"), boolText(TooltipFade())},
        {QStringLiteral("UIEffects.GuiEffects"), boolText(GuiEffects())},
        {QStringLiteral("Windows.CaretWidth"), QString::number(CaretWidth())},
        {QStringLiteral("Windows.CaretBlinkTime"), QString::number(CaretBlinkTime())},
    };
}

void TSystemParametersInfo::RegisterSection()
{
    TQorCrashHandler::RegisterSection(SectionName, SectionDescription,
                                      [] { return TQorCrashHandler::NameValueText(TSystemParametersInfo().Properties()); });
}

void TSystemParametersInfo::UnregisterSection()
{
    TQorCrashHandler::UnregisterSection(SectionName);
}
