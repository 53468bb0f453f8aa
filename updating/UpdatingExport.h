// Symbol visibility of the updating library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(UPDATING_LIBRARY)
#define UPDATING_EXPORT Q_DECL_EXPORT
#else
#define UPDATING_EXPORT Q_DECL_IMPORT
#endif
