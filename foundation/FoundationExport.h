// Symbol visibility of the foundation library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(FOUNDATION_LIBRARY)
#define FOUNDATION_EXPORT Q_DECL_EXPORT
#else
#define FOUNDATION_EXPORT Q_DECL_IMPORT
#endif
