// Where conditions as structured terms (field, operator, value), joined by AND. They travel
// as XML and become SQL with bound values; field names are checked against the dataset's
// fields, so no client text ever reaches the SQL.
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DataAccessExport.h"

#include <QList>
#include <QString>
#include <QVariant>

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
    // Throws EDAException on anything but the form ToXml writes.
    static TDAWhere FromXml(const QString &xml);

    // SQL condition over the given fields with ":prefixN" markers; values go to params.
    // Throws EDAException for a field the dataset does not have.
    QString BuildSQL(const TDAFieldList &fields, const QString &prefix, TDAParamCollection &params) const;

private:
    QList<TDAWhereTerm> m_terms;
};
