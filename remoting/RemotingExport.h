// Symbol visibility of the remoting library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(REMOTING_LIBRARY)
#define REMOTING_EXPORT Q_DECL_EXPORT
#else
#define REMOTING_EXPORT Q_DECL_IMPORT
#endif
