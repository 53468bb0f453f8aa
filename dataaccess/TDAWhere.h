// Where conditions as structured terms (field, operator, value), joined by AND. They travel
// as XML and become SQL with bound values; field names are checked against the dataset's
// fields, so no client text ever reaches the SQL.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DataAccessExport.h"

#include <QList>
#include <QString>
#include <QVariant>

// What a condition from a client may hold, in text or in terms, so that reading it, writing
// its SQL and binding its values stay cheap: at most this many terms, and at most this many
// characters (in text: the text; in terms: the field names and values together).
namespace DAConditionLimits {
constexpr int kMaxTerms = 10000;
constexpr qsizetype kMaxCharacters = 256 * 1024;
} // namespace DAConditionLimits

enum class TDAWhereOperator { woEqual, woNotEqual, woLess, woLessOrEqual, woGreater, woGreaterOrEqual, woLike, woIsNull, woIsNotNull };

struct DATAACCESS_EXPORT TDAWhereTerm
{
    QString FieldName;
    TDAWhereOperator Operator = TDAWhereOperator::woEqual;
    QVariant Value;
};

class DATAACCESS_EXPORT TDAWhere
{
public:
    TDAWhere &AddCondition(const QString &fieldName, TDAWhereOperator op, const QVariant &value = {});
    const QList<TDAWhereTerm> &Terms() const { return m_terms; }
    bool IsEmpty() const { return m_terms.isEmpty(); }
    void Clear() { m_terms.clear(); }

    QString ToXml() const;
    // Throws EDAException on anything but the form ToXml writes, and on a condition beyond
    // DAConditionLimits (read no further than the term past the limit).
    static TDAWhere FromXml(const QString &xml);

    // SQL condition over the given fields with ":prefixN" markers; values go to params.
    // Throws EDAException for a field the dataset does not have.
    QString BuildSQL(const TDAFieldList &fields, const QString &prefix, TDAParamCollection &params) const;

private:
    QList<TDAWhereTerm> m_terms;
};
