// Reads the SQL fragments that clients compose (where-clauses, search queries, report criteria,
// sort orders) into structured terms and writes them back as SQL with bound values. No text of
// a client may reach a statement except through this rebuild: whatever falls outside the
// accepted shapes is refused with EClientSqlCondition. docs/client-conditions.md has the grammar.
#pragma once

#include "dataaccess/TDAWhere.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <stdexcept>
#include <vector>

// A fragment outside the accepted shapes; the message says what and where, for the log and
// the error reply.
class EClientSqlCondition : public std::runtime_error
{
public:
    explicit EClientSqlCondition(const QString &message);
    QString Message() const { return m_message; }

private:
    QString m_message;
};

// Limits on what a client may send, so that a hostile text costs little to refuse.
namespace ClientSqlLimits {
constexpr qsizetype kMaxTextLength = DAConditionLimits::kMaxCharacters;
constexpr int kMaxNesting = 64;
constexpr int kMaxTerms = DAConditionLimits::kMaxTerms;
constexpr int kMaxIntegerDigits = 18;
} // namespace ClientSqlLimits

// What a caller lets a client name.
class TClientSqlVocabulary
{
public:
    // A column as the client spells it ("tblGroups.PK_GroupID", "theID"), matched without
    // regard to case, and the SQL expression of ours that stands for it.
    TClientSqlVocabulary &AddColumn(const QString &clientSpelling, const QString &sqlExpression);
    // A piece the client sends as a fixed text (a predicate holding a sub-select, a sort
    // expression holding functions), matched token by token without regard to case or blanks,
    // and the SQL of ours that stands for it. Throws when the client text itself cannot be read.
    TClientSqlVocabulary &AddFixedText(const QString &clientText, const QString &sql);

    // The SQL expression of a column; empty when the column is not allowed.
    QString ColumnExpression(const QString &clientSpelling) const;

    struct Fixed;
    const std::vector<std::shared_ptr<const Fixed>> &FixedTexts() const { return m_fixed; }

private:
    QList<QPair<QString, QString>> m_columns; // lower-case spelling, expression
    std::vector<std::shared_ptr<const Fixed>> m_fixed;
};

enum class TClientSqlOperator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Like, IsNull, IsNotNull };

struct TClientSqlTerm
{
    QString Column;     // as the client wrote it
    QString Expression; // ours, from the vocabulary
    TClientSqlOperator Operator = TClientSqlOperator::Equal;
    QVariant Value;     // QString, qlonglong or QDate; null for IS [NOT] NULL
};

struct TClientSqlNode
{
    enum class Kind { Term, Fixed, And, Or, Not };
    Kind NodeKind = Kind::Term;
    TClientSqlTerm Term;            // Kind::Term
    QString FixedSql;               // Kind::Fixed
    QList<TClientSqlNode> Children; // And, Or: two or more; Not: one
};

struct TClientSqlParam
{
    QString Name; // without the colon
    QVariant Value;
};

struct TClientSqlText
{
    QString SQL; // with ":Name" markers
    QList<TClientSqlParam> Params;
};

struct TClientSqlBuildOptions
{
    QString ParamPrefix = QStringLiteral("cc"); // markers are ":<prefix>1", ":<prefix>2", ...
    bool LikeAsEquality = false;                // "col LIKE 'x'" is written "col = value"
};

class TClientSqlCondition
{
public:
    // An empty or blank text gives an empty condition. Throws EClientSqlCondition.
    static TClientSqlCondition Parse(const QString &text, const TClientSqlVocabulary &vocabulary);

    bool IsEmpty() const { return !m_root; }
    // Only when not empty.
    const TClientSqlNode &Root() const { return *m_root; }
    // Every term in the order written.
    QList<TClientSqlTerm> Terms() const;
    // Empty SQL for an empty condition.
    TClientSqlText BuildSQL(const TClientSqlBuildOptions &options = {}) const;

private:
    friend struct TClientSqlParser;
    std::shared_ptr<const TClientSqlNode> m_root;
};

struct TClientSqlOrderItem
{
    QString Column;     // as the client wrote it
    QString Expression; // ours
    bool Descending = false;
};

class TClientSqlOrderBy
{
public:
    // A comma list of known columns or fixed texts, each with an optional ASC or DESC; an empty
    // text gives an empty list. Throws EClientSqlCondition.
    static TClientSqlOrderBy Parse(const QString &text, const TClientSqlVocabulary &vocabulary);

    bool IsEmpty() const { return m_items.isEmpty(); }
    const QList<TClientSqlOrderItem> &Items() const { return m_items; }
    // "expr [DESC], ..." without the ORDER BY words; empty for an empty list.
    QString BuildSQL() const;

private:
    friend struct TClientSqlParser;
    QList<TClientSqlOrderItem> m_items;
};

// One query a client may send: its fixed SELECT text (compared without regard to case or runs
// of blanks) and what the condition and the sort list after it may name.
struct TClientSqlQueryShape
{
    QString Select;
    TClientSqlVocabulary Condition;
    TClientSqlVocabulary Order;
};

// A whole query of a client: one of the known SELECT texts, then a condition, then optionally
// ORDER BY and a sort list.
struct TClientSqlQuery
{
    int ShapeIndex = -1; // which of the shapes
    TClientSqlCondition Where;
    TClientSqlOrderBy OrderBy;

    // Throws EClientSqlCondition, also for an empty condition.
    static TClientSqlQuery Parse(const QString &text, const QList<TClientSqlQueryShape> &shapes);
};
