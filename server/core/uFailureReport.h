// What the data module's dispatcher does with an error that escaped a request: one Severe
// session-log line with the service, the operation and the full text, unless the operation has
// written its own; and for the client a plain account without the database's insides.
#pragma once

#include "remoting/ROServer.h"

QString ReportRequestFailure(const QString &service, const QString &operation, const std::exception &error, bool alreadyLogged);
