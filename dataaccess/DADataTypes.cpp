#include "dataaccess/DADataTypes.h"

#include "foundation/QorDateTime.h"

#include "dataaccess/DAException.h"

#include <QDateTime>
#include <QUuid>

#include <array>
#include <cmath>

namespace {

const std::array<const char *, kDADataTypeCount> kTypeNames = {
    "Unknown", "String", "DateTime", "Float", "Currency", "AutoInc", "Integer", "LargeInt",
    "Boolean", "Memo", "Blob", "WideString", "WideMemo", "LargeAutoInc", "Byte", "ShortInt",
    "Word", "SmallInt", "Cardinal", "LargeUInt", "Guid", "Xml", "Decimal", "SingleFloat"};

[[noreturn]] void cannotConvert(const QVariant &value, TDADataType type)
{
    throw EDAException(QStringLiteral("The value \"%1\" cannot be used as a %2 value")
                           .arg(value.toString().left(60), DADataTypeName(type)));
}

} // namespace

TDAValueKind DAValueKind(TDADataType type)
{
    switch (type) {
    case TDADataType::datString:
    case TDADataType::datMemo:
    case TDADataType::datWideString:
    case TDADataType::datWideMemo:
    case TDADataType::datGuid:
    case TDADataType::datXml:
        return TDAValueKind::Text;
    case TDADataType::datAutoInc:
    case TDADataType::datInteger:
    case TDADataType::datByte:
    case TDADataType::datShortInt:
    case TDADataType::datWord:
    case TDADataType::datSmallInt:
        return TDAValueKind::Int32;
    case TDADataType::datLargeInt:
    case TDADataType::datLargeAutoInc:
    case TDADataType::datCardinal:
    case TDADataType::datLargeUInt:
        return TDAValueKind::Int64;
    case TDADataType::datFloat:
    case TDADataType::datCurrency:
    case TDADataType::datDecimal:
    case TDADataType::datSingleFloat:
        return TDAValueKind::Double;
    case TDADataType::datBoolean:
        return TDAValueKind::Boolean;
    case TDADataType::datDateTime:
        return TDAValueKind::DateTime;
    case TDADataType::datBlob:
        return TDAValueKind::Bytes;
    case TDADataType::datUnknown:
        break;
    }
    return TDAValueKind::None;
}

QString DADataTypeName(TDADataType type)
{
    const auto i = static_cast<size_t>(type);
    return i < kTypeNames.size() ? QString::fromLatin1(kTypeNames[i]) : QStringLiteral("Unknown");
}

TDADataType DADataTypeFromName(const QString &name)
{
    // "DateTime" and "datDateTime" both name the same type.
    const QString n = name.trimmed();
    for (const QString &candidate : {n, n.startsWith(QLatin1String("dat"), Qt::CaseInsensitive) ? n.mid(3) : QString()})
        for (size_t i = 0; i < kTypeNames.size(); ++i)
            if (!candidate.isEmpty() && candidate.compare(QLatin1String(kTypeNames[i]), Qt::CaseInsensitive) == 0)
                return static_cast<TDADataType>(i);
    return TDADataType::datUnknown;
}

bool DAIsNull(const QVariant &value)
{
    return !value.isValid() || value.isNull();
}

TDADataType DADataTypeOfValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return TDADataType::datBoolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return TDADataType::datInteger;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return TDADataType::datLargeInt;
    case QMetaType::Double:
    case QMetaType::Float:
        return TDADataType::datFloat;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::QTime:
        return TDADataType::datDateTime;
    case QMetaType::QByteArray:
        return TDADataType::datBlob;
    case QMetaType::QUuid:
        return TDADataType::datGuid;
    case QMetaType::QString:
        return TDADataType::datString;
    default:
        return TDADataType::datUnknown;
    }
}

bool DAIsCanonical(const QVariant &value, TDAValueKind kind)
{
    switch (kind) {
    case TDAValueKind::Text: return value.typeId() == QMetaType::QString;
    case TDAValueKind::Int32: return value.typeId() == QMetaType::Int;
    case TDAValueKind::Int64: return value.typeId() == QMetaType::LongLong;
    case TDAValueKind::Double: return value.typeId() == QMetaType::Double;
    case TDAValueKind::Boolean: return value.typeId() == QMetaType::Bool;
    case TDAValueKind::DateTime: {
        if (value.typeId() != QMetaType::QDateTime)
            return false;
        const auto *dt = static_cast<const QDateTime *>(value.constData());
        return dt->timeSpec() == Qt::UTC && dt->isValid();
    }
    case TDAValueKind::Bytes: return value.typeId() == QMetaType::QByteArray;
    case TDAValueKind::None: break;
    }
    return false;
}

QVariant DAConvertValue(const QVariant &value, TDADataType type)
{
    if (DAIsNull(value))
        return {};
    const TDAValueKind kind = DAValueKind(type);
    if (DAIsCanonical(value, kind))
        return value;
    bool ok = true;
    switch (kind) {
    case TDAValueKind::Text:
        if (value.typeId() == QMetaType::QUuid)
            return value.toUuid().toString(QUuid::WithBraces).toUpper();
        if (value.typeId() == QMetaType::QByteArray)
            return QString::fromUtf8(value.toByteArray());
        return value.toString();
    case TDAValueKind::Int32: {
        if (value.typeId() == QMetaType::Bool)
            return int(value.toBool());
        const int v = value.toInt(&ok);
        if (!ok) {
            const double d = value.toDouble(&ok);
            if (ok && d == std::floor(d) && std::fabs(d) < 2147483648.0)
                return int(d);
            cannotConvert(value, type);
        }
        return v;
    }
    case TDAValueKind::Int64: {
        if (value.typeId() == QMetaType::Bool)
            return qlonglong(value.toBool());
        const qlonglong v = value.toLongLong(&ok);
        if (!ok) {
            const double d = value.toDouble(&ok);
            if (ok && d == std::floor(d) && std::fabs(d) < 9.2e18)
                return qlonglong(d);
            cannotConvert(value, type);
        }
        return v;
    }
    case TDAValueKind::Double: {
        const double v = value.toDouble(&ok);
        if (!ok)
            cannotConvert(value, type);
        return v;
    }
    case TDAValueKind::Boolean:
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1"))
                return true;
            if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || s == QLatin1String("0"))
                return false;
            cannotConvert(value, type);
        }
        if (value.canConvert<qlonglong>() && value.typeId() != QMetaType::Bool)
            return value.toLongLong() != 0;
        return value.toBool();
    case TDAValueKind::DateTime: {
        // Wall-clock values: a local one keeps its calendar fields (see QorDateTime.h).
        if (value.typeId() == QMetaType::QDateTime)
            return AsWallClock(value.toDateTime());
        if (value.typeId() == QMetaType::QDate)
            return WallClock(value.toDate());
        QDateTime dt;
        if (value.typeId() == QMetaType::QString)
            dt = WallClockFromIso(value.toString());
        if (!dt.isValid())
            cannotConvert(value, type);
        return dt;
    }
    case TDAValueKind::Bytes:
        if (value.typeId() == QMetaType::QString)
            return value.toString().toUtf8();
        return value.toByteArray();
    case TDAValueKind::None:
        break;
    }
    return value;
}

int TDAParamCollection::IndexOf(const QString &name) const
{
    const auto it = m_index.constFind(name.toCaseFolded());
    return it == m_index.cend() ? -1 : it.value();
}

TDAParam *TDAParamCollection::FindParam(const QString &name)
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &m_items[i];
}

const TDAParam *TDAParamCollection::FindParam(const QString &name) const
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &m_items[i];
}

TDAParam &TDAParamCollection::ParamByName(const QString &name)
{
    if (TDAParam *p = FindParam(name))
        return *p;
    throw EDAException(QStringLiteral("Parameter \"%1\" not found").arg(name));
}

TDAParam &TDAParamCollection::Add(const QString &name, const QVariant &value, TDAParamType type)
{
    TDAParam p;
    p.Name = name;
    p.Value = value;
    p.ParamType = type;
    p.DataType = DADataTypeOfValue(value);
    const QString key = name.toCaseFolded();
    if (!m_index.contains(key))
        m_index.insert(key, int(m_items.size()));
    m_items.append(p);
    return m_items.last();
}

int DAFindField(const TDAFieldList &fields, const QString &name)
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
