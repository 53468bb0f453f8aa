// The host shows copies of a plug-in's tool bars in its own window (the plug-in's own stay
// hidden); the picture programs make their windows the same way, so this lives in one place.
#pragma once

#include "ui/UiExport.h"

class QToolBar;
class QWidget;

// A bar with bar's title and actions, not movable, with 24-pixel pictures. A plug-in's menu bar
// ("barMenu") opens each menu at the press on its caption, as a menu bar does.
UI_EXPORT QToolBar *CopyPluginBar(const QToolBar *bar, QWidget *parent);
