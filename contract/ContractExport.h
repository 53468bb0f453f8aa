// Symbol visibility of the contract library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(CONTRACT_LIBRARY)
#define CONTRACT_EXPORT Q_DECL_EXPORT
#else
#define CONTRACT_EXPORT Q_DECL_IMPORT
#endif
