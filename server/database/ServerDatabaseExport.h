// Symbol visibility of the server's database library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(SERVER_DATABASE_LIBRARY)
#define SERVER_DATABASE_EXPORT Q_DECL_EXPORT
#else
#define SERVER_DATABASE_EXPORT Q_DECL_IMPORT
#endif
