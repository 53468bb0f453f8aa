// Export macro of the scheduler library of the data server.
#pragma once

#include <QtGlobal>

#if defined(SCHEDULER_LIBRARY)
#define SCHEDULER_EXPORT Q_DECL_EXPORT
#else
#define SCHEDULER_EXPORT Q_DECL_IMPORT
#endif
