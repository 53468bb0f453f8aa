#include "reporting/ReportError.h"

EReportError::EReportError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
