// Symbol visibility of the reporting library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(REPORTING_LIBRARY)
#define REPORTING_EXPORT Q_DECL_EXPORT
#else
#define REPORTING_EXPORT Q_DECL_IMPORT
#endif
