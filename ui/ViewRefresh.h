// What a view's Refresh that failed leaves: the user is told why, and the view carries a line at
// its top saying that it shows what it held before, until a Refresh succeeds. Every plug-in's
// Refresh ends in one of the two.
#pragma once

#include "ui/UiExport.h"

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace ViewRefresh {

// The texts by these numbers, in every plug-in module's language file: the message's caption,
// the message (%1: the reason) and the line on the view.
constexpr int TextCaption = 10090;
constexpr int TextFailed = 10091;
constexpr int TextNotCurrent = 10092;

// A message box with the warning icon, then the line on the view; text gives the module's texts.
UI_EXPORT void Failed(QWidget &view, const std::function<QString(int)> &text, const std::exception &error);
// The view is current again: the line goes.
UI_EXPORT void Succeeded(QWidget &view);
// True while the view carries the line.
UI_EXPORT bool NotCurrent(const QWidget &view);

} // namespace ViewRefresh
