// The report definitions of the report folder: one "*.def" ini file per report, answered to a
// client as one comma-delimited line per file. Only "Category" is interpreted here; every other
// value passes through as text.
#pragma once

#include <QString>
#include <QStringList>

namespace ReportDefinition {

// The keys of [Report definition] in the order of the fields of a definition line.
const QStringList &Keys();

// Values joined by commas; a value holding a blank, a control character, a double quote or a
// comma is quoted with its inner quotes doubled, any other value (the empty one too) is not.
QString CommaText(const QStringList &values);

// The line of one definition file, or empty when its "Category" does not hold category (an
// empty category matches every file). Throws std::runtime_error when the file cannot be read.
QString ReadReportDefinition(const QString &fileName, const QString &category);

// One entry per "*.def" file of the folder in name order, each followed by CR LF: the file's
// line, or nothing when it does not match. A missing folder gives an empty text; any failure
// while reading gives an empty text and a Severe log line.
QString GenerateReportDefinition(const QString &folder, const QString &category);

} // namespace ReportDefinition
