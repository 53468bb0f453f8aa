#include "dataaccess/TDAWhere.h"

#include "dataaccess/DAException.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

struct OperatorInfo
{
    TDAWhereOperator op;
    const char *name;
    const char *sql;
};

const OperatorInfo kOperators[] = {
    {TDAWhereOperator::woEqual, "Equal", "="},
    {TDAWhereOperator::woNotEqual, "NotEqual", "<>"},
    {TDAWhereOperator::woLess, "Less", "<"},
    {TDAWhereOperator::woLessOrEqual, "LessOrEqual", "<="},
    {TDAWhereOperator::woGreater, "Greater", ">"},
    {TDAWhereOperator::woGreaterOrEqual, "GreaterOrEqual", ">="},
    {TDAWhereOperator::woLike, "Like", "LIKE"},
    {TDAWhereOperator::woIsNull, "IsNull", "IS NULL"},
    {TDAWhereOperator::woIsNotNull, "IsNotNull", "IS NOT NULL"},
};

const OperatorInfo &info(TDAWhereOperator op)
{
    for (const OperatorInfo &i : kOperators)
        if (i.op == op)
            return i;
    return kOperators[0];
}

QString valueText(const QVariant &v, TDADataType type)
{
    switch (DAValueKind(type)) {
    case TDAValueKind::DateTime: return AsWallClock(v.toDateTime()).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    case TDAValueKind::Bytes: return QString::fromLatin1(v.toByteArray().toBase64());
    case TDAValueKind::Boolean: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case TDAValueKind::Double: return QString::number(v.toDouble(), 'g', 17);
    default: return v.toString();
    }
}

QVariant valueFromText(const QString &text, TDADataType type)
{
    if (DAValueKind(type) == TDAValueKind::Bytes)
        return QByteArray::fromBase64(text.toLatin1());
    return DAConvertValue(text, type);
}

} // namespace

TDAWhere &TDAWhere::AddCondition(const QString &fieldName, TDAWhereOperator op, const QVariant &value)
{
    m_terms << TDAWhereTerm{fieldName, op, value};
    return *this;
}

QString TDAWhere::ToXml() const
{
    QString out;
    QXmlStreamWriter w(&out);
    w.writeStartElement(QStringLiteral("Where"));
    for (const TDAWhereTerm &t : m_terms) {
        w.writeStartElement(QStringLiteral("Term"));
        w.writeAttribute(QStringLiteral("Field"), t.FieldName);
        w.writeAttribute(QStringLiteral("Op"), QLatin1String(info(t.Operator).name));
        if (DAIsNull(t.Value)) {
            w.writeAttribute(QStringLiteral("Null"), QStringLiteral("true"));
        } else {
            TDADataType type = DADataTypeOfValue(t.Value);
            if (type == TDADataType::datUnknown)
                type = TDADataType::datString;
            w.writeAttribute(QStringLiteral("Type"), DADataTypeName(type));
            w.writeCharacters(valueText(DAConvertValue(t.Value, type), type));
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    return out;
}

TDAWhere TDAWhere::FromXml(const QString &xml)
{
    TDAWhere where;
    QXmlStreamReader r(xml);
    auto bad = [&](const QString &why) -> EDAException {
        return EDAException(QStringLiteral("Invalid where condition: %1").arg(why));
    };
    if (!r.readNextStartElement() || r.name() != QLatin1String("Where"))
        throw bad(QStringLiteral("no <Where> element"));
    qsizetype characters = 0;
    while (r.readNextStartElement()) {
        if (r.name() != QLatin1String("Term"))
            throw bad(QStringLiteral("unexpected <%1>").arg(r.name()));
        if (where.m_terms.size() == DAConditionLimits::kMaxTerms)
            throw bad(QStringLiteral("more than %1 terms").arg(DAConditionLimits::kMaxTerms));
        const auto attrs = r.attributes();
        TDAWhereTerm t;
        t.FieldName = attrs.value(QStringLiteral("Field")).toString();
        const QString op = attrs.value(QStringLiteral("Op")).toString();
        bool known = false;
        for (const OperatorInfo &i : kOperators)
            if (op == QLatin1String(i.name)) {
                t.Operator = i.op;
                known = true;
            }
        if (!known)
            throw bad(QStringLiteral("unknown operator \"%1\"").arg(op));
        const bool isNull = attrs.value(QStringLiteral("Null")) == QLatin1String("true");
        const TDADataType type = DADataTypeFromName(attrs.value(QStringLiteral("Type")).toString());
        const QString text = r.readElementText();
        if (r.hasError())
            throw bad(r.errorString());
        characters += t.FieldName.size() + text.size();
        if (characters > DAConditionLimits::kMaxCharacters)
            throw bad(QStringLiteral("its field names and values hold more than %1 characters").arg(DAConditionLimits::kMaxCharacters));
        if (!isNull) {
            if (type == TDADataType::datUnknown)
                throw bad(QStringLiteral("a value without a known type"));
            t.Value = valueFromText(text, type);
        }
        where.m_terms << t;
    }
    if (r.hasError())
        throw bad(r.errorString());
    return where;
}

QString TDAWhere::BuildSQL(const TDAFieldList &fields, const QString &prefix, TDAParamCollection &params) const
{
    QStringList parts;
    int n = 0;
    for (const TDAWhereTerm &t : m_terms) {
        const int index = DAFindField(fields, t.FieldName);
        if (index < 0)
            throw EDAException(QStringLiteral("Field \"%1\" cannot be used in a condition here").arg(t.FieldName));
        const QString column = fields[index].Name;
        if (t.Operator == TDAWhereOperator::woIsNull || t.Operator == TDAWhereOperator::woIsNotNull) {
            parts << column + QLatin1Char(' ') + QLatin1String(info(t.Operator).sql);
            continue;
        }
        if (DAIsNull(t.Value)) {
            // "= NULL" is never true; an equality with nothing asks for NULL.
            parts << column + (t.Operator == TDAWhereOperator::woNotEqual ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
            continue;
        }
        const QString name = prefix + QString::number(++n);
        TDAParam &p = params.Add(name, DAConvertValue(t.Value, fields[index].DataType));
        p.DataType = fields[index].DataType;
        parts << QStringLiteral("%1 %2 :%3").arg(column, QLatin1String(info(t.Operator).sql), name);
    }
    return parts.join(QStringLiteral(" AND "));
}
