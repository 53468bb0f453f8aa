// The host shows copies of a plug-in's tool bars in its own window (the plug-in's own stay
// hidden); the picture programs make their windows the same way, so this lives in one place.
#pragma once

#include "ui/UiExport.h"

#include <QStringList>

class QToolBar;
class QWidget;

// A bar with bar's title and actions, not movable, with 24-pixel pictures. A plug-in's menu bar
// ("barMenu") works as a menu bar does: each menu opens at the press on its caption, with Alt and
// its underlined letter, and F10 opens the first.
UI_EXPORT QToolBar *CopyPluginBar(const QToolBar *bar, QWidget *parent);
// The menu captions with a mnemonic each: a caption's own "&" is kept, the others get their first
// letter that no caption before or with an "&" has, in any case.
UI_EXPORT QStringList MenuMnemonics(const QStringList &captions);
