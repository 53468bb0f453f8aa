// The one exception of the report engine: a template that cannot be read, a template that
// names what its dataset lacks, an export that cannot be written. Its message says which.
#pragma once

#include "reporting/ReportingExport.h"

#include <QString>

#include <stdexcept>

class REPORTING_EXPORT EReportError : public std::runtime_error
{
public:
    explicit EReportError(const QString &message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};
