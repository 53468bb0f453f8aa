// Symbol visibility of the data-access library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(DATAACCESS_LIBRARY)
#define DATAACCESS_EXPORT Q_DECL_EXPORT
#else
#define DATAACCESS_EXPORT Q_DECL_IMPORT
#endif
