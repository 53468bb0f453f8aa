#include "server/core/uFailureReport.h"

#include "dataaccess/DAException.h"
#include "foundation/LogText.h"
#include "foundation/QuorvaLogFile.h"

QString ReportRequestFailure(const QString &service, const QString &operation, const std::exception &error, bool alreadyLogged)
{
    const QString text = QString::fromUtf8(error.what());
    if (!alreadyLogged)
        AddToLog(llSevere, service, operation, LogExcerpt(text));
    if (const auto *database = dynamic_cast<const EDAException *>(&error))
        return DAClientMessage(*database);
    return text;
}
