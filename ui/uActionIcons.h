// Tool-bar pictures that the style's standard icons lack, drawn here so that every program shows
// the same one for the same action where the desktop has no icon theme.
#pragma once

#include "ui/UiExport.h"

#include <QIcon>

// A printer: the desktop theme's "document-print" when there is one, else a drawn printer.
UI_EXPORT QIcon PrintIcon();
