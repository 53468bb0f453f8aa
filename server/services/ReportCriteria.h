// The criteria and ORDER BY texts that the client host composes for a report, read with the
// shared client-condition parser and written back as SQL of ours with every value bound.
// Columns are those the host names; anything else is refused (EClientSqlCondition).
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/TDASchema.h"

#include <QDate>
#include <QList>
#include <QString>

struct TReportFilter
{
    QString Condition;          // without WHERE; empty for no criteria
    QString OrderBy;            // without ORDER BY; empty for no order
    TDAParamCollection Values;  // the values of the condition's markers
    QList<QDate> Dates;         // the date literals of the criteria, in the order written
};

namespace ReportCriteria {

// likeAsEquality: "col LIKE value" is written "col = value", as the server's database type asks.
TReportFilter Build(const TDASchemaDataset &dataset, const QString &criteria, const QString &orderBy, bool likeAsEquality);

} // namespace ReportCriteria
