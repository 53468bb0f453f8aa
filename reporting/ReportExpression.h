// The small expression language of report templates: literals, field names, "+" (sum of
// numbers, else joined text), "=" and "<>", and a fixed set of functions (page numbers,
// dates, counts and sums over a group, text functions, If). Parsed once when a template is
// read; evaluating never changes the expression, so renderings on several threads share it.
#pragma once

#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportingExport.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

// What an expression sees while a band is laid out.
struct REPORTING_EXPORT ReportContext
{
    const TDATableData *Data = nullptr;
    // Lower-case field name to column, built once per rendering; without it names are looked up.
    const QHash<QString, int> *FieldIndex = nullptr;
    int Row = -1;          // the current row; -1 when there is none
    int ScopeFirst = 0;    // the rows Count() and Sum() run over: the group's, or the report's
    int ScopeLast = -1;
    int PageNumber = 1;
    int PageCount = 0;     // 0 while the number of pages is not known yet
    QDateTime Now;
    QString Title;
};

class REPORTING_EXPORT ReportExpression
{
public:
    static constexpr int kMaxLength = 4096;  // characters of one expression
    static constexpr int kMaxDepth = 64;     // nesting of parentheses and calls

    ~ReportExpression();

    // Throws EReportError naming the expression and the position of the fault.
    static std::shared_ptr<const ReportExpression> Parse(const QString &text);

    QVariant Evaluate(const ReportContext &context) const;
    QString Source() const { return m_source; }
    // The field names the expression reads, as written.
    QStringList FieldNames() const;
    bool UsesPageCount() const;

    // A value as a report shows it: dates as month/day/year (with the time when it is not
    // midnight) unless a format is given (Qt date format, or "0.00" for decimals); NULL and
    // binary values as nothing.
    static QString ToText(const QVariant &value, const QString &format = {});

    struct Node;

private:
    ReportExpression() = default;
    QString m_source;
    std::unique_ptr<Node> m_root;
};
