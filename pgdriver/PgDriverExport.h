// Symbol visibility of the database driver library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(PGDRIVER_LIBRARY)
#define PGDRIVER_EXPORT Q_DECL_EXPORT
#else
#define PGDRIVER_EXPORT Q_DECL_IMPORT
#endif
