#include "contract/DAWire.h"

#include "foundation/QorDateTime.h"
#include "remoting/ROErrors.h"

#include <QDateTime>
#include <QUuid>

namespace DAWire {
namespace {

const QString kUtf8 = QStringLiteral("Utf8String");
const QString kVariant = QStringLiteral("Variant");
const QString kDataParameter = QStringLiteral("DataParameter");
const QString kTableRequestInfo = QStringLiteral("TableRequestInfo");
const QString kTableRequestInfoV5 = QStringLiteral("TableRequestInfoV5");
const QString kColumnSorting = QStringLiteral("ColumnSorting");
const QString kColumnSortDirection = QStringLiteral("ColumnSortDirection");
const QString kUserInfo = QStringLiteral("UserInfo");

ROValue stringArray(const QStringList &list)
{
    std::vector<ROValue> items;
    items.reserve(std::size_t(list.size()));
    for (const QString &s : list)
        items.push_back(ROValue::FromString(ROType::Utf8String, s));
    return ROValue::FromArray(kUtf8, std::move(items));
}

QStringList stringList(const ROValue &array)
{
    QStringList list;
    if (array.IsNil())
        return list;
    for (const ROValue &item : array.Items())
        list << item.ToString();
    return list;
}

ROValue parameterArray(const DataParameterArray &params)
{
    std::vector<ROValue> items;
    items.reserve(std::size_t(params.size()));
    for (const DataParameter &p : params)
        items.push_back(ROValue::FromRecord(kDataParameter, {{QStringLiteral("Name"), ROValue::FromString(ROType::Utf8String, p.Name)},
                                                             {QStringLiteral("Value"), ROValue::FromVariant(ToWire(p.Value))}}));
    return ROValue::FromArray(kDataParameter, std::move(items));
}

const ROValue &field(const ROValue &record, const QString &name)
{
    for (const RONamedValue &f : record.Fields())
        if (f.Name == name)
            return f.Value;
    throw EROMessageError(QStringLiteral("The record %1 has no field \"%2\"").arg(record.TypeName(), name));
}

DataParameterArray parameters(const ROValue &array)
{
    DataParameterArray params;
    if (array.IsNil())
        return params;
    for (const ROValue &item : array.Items())
        params.append(DataParameter{field(item, QStringLiteral("Name")).ToString(),
                                    FromWire(field(item, QStringLiteral("Value")).Inner())});
    return params;
}

ROValue readArray(TROSerializer &s, const QString &name)
{
    return s.ReadValue(name, ROType::Array);
}

} // namespace

ROValue ToWire(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return ROValue();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return ROValue::FromInteger(value.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong: return ROValue::FromInt64(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: return ROValue::FromDouble(value.toDouble());
    case QMetaType::Bool: return ROValue::FromBoolean(value.toBool());
    case QMetaType::QString: return ROValue::FromString(ROType::Utf8String, value.toString());
    case QMetaType::QDateTime: return ROValue::FromDateTime(DateTimeToOle(value.toDateTime()));
    case QMetaType::QDate: return ROValue::FromDateTime(DateTimeToOle(WallClock(value.toDate())));
    case QMetaType::QByteArray: return ROValue::FromBinary(value.toByteArray());
    case QMetaType::QUuid: return ROValue::FromGuid(value.toUuid());
    default:
        throw EROMessageError(QStringLiteral("A value of type %1 cannot travel as a Variant")
                                  .arg(QString::fromLatin1(value.typeName())));
    }
}

QVariant FromWire(const ROValue &value)
{
    if (value.IsNil())
        return {};
    switch (value.Type()) {
    case ROType::Integer: return value.ToInteger();
    case ROType::Int64: return value.ToInt64();
    case ROType::Double: return value.ToDouble();
    case ROType::Currency: return double(value.ToCurrency()) / 10000.0;
    case ROType::Boolean: return value.ToBoolean();
    case ROType::DateTime: {
        const QDateTime when = OleToDateTime(value.ToDateTime());
        if (!when.isValid())
            throw EROMessageError(QStringLiteral("A DateTime of %1 days lies outside the years 1 to 9999").arg(value.ToDateTime()));
        return when;
    }
    case ROType::AnsiString:
    case ROType::Utf8String:
    case ROType::WideString:
    case ROType::Xml: return value.ToString();
    case ROType::Guid: return value.ToGuid();
    case ROType::Binary: return value.ToBinary();
    case ROType::Variant: return FromWire(value.Inner());
    default:
        throw EROMessageError(QStringLiteral("A %1 cannot be a Variant").arg(ROTypeName(value.Type())));
    }
}

void WriteVariant(TROSerializer &s, const QString &name, const QVariant &value)
{
    s.WriteVariant(name, ToWire(value));
}

QVariant ReadVariant(TROSerializer &s, const QString &name)
{
    return FromWire(s.ReadVariant(name));
}

void WriteStringArray(TROSerializer &s, const QString &name, const QStringList &value)
{
    s.WriteValue(name, stringArray(value));
}

QStringList ReadStringArray(TROSerializer &s, const QString &name)
{
    return stringList(readArray(s, name));
}

void WriteDataParameterArray(TROSerializer &s, const QString &name, const DataParameterArray &value)
{
    s.WriteValue(name, parameterArray(value));
}

DataParameterArray ReadDataParameterArray(TROSerializer &s, const QString &name)
{
    return parameters(readArray(s, name));
}

void WriteTableRequestInfoArray(TROSerializer &s, const QString &name, const QList<TableRequestInfoV5> &value)
{
    // The array's element type is the older record; each element goes as the newer one, whose
    // first four fields are the older record's.
    std::vector<ROValue> items;
    items.reserve(std::size_t(value.size()));
    for (const TableRequestInfoV5 &info : value) {
        const ROValue sorting = ROValue::FromRecord(
            kColumnSorting, {{QStringLiteral("FieldName"), ROValue::FromString(ROType::Utf8String, info.Sorting.FieldName)},
                             {QStringLiteral("SortDirection"),
                              ROValue::FromEnum(kColumnSortDirection, info.Sorting.SortDirection == ColumnSortDirection::Descending ? 1 : 0)}});
        items.push_back(ROValue::FromRecord(kTableRequestInfoV5,
                                            {{QStringLiteral("UserFilter"), ROValue::FromString(ROType::Utf8String, info.UserFilter)},
                                             {QStringLiteral("IncludeSchema"), ROValue::FromBoolean(info.IncludeSchema)},
                                             {QStringLiteral("MaxRecords"), ROValue::FromInteger(info.MaxRecords)},
                                             {QStringLiteral("Parameters"), parameterArray(info.Parameters)},
                                             {QStringLiteral("WhereClause"), ROValue::FromXml(info.WhereClause)},
                                             {QStringLiteral("DynamicSelectFieldNames"), stringArray(info.DynamicSelectFieldNames)},
                                             {QStringLiteral("Sorting"), sorting}}));
    }
    s.WriteValue(name, ROValue::FromArray(kTableRequestInfo, std::move(items)));
}

QList<TableRequestInfoV5> ReadTableRequestInfoArray(TROSerializer &s, const QString &name)
{
    QList<TableRequestInfoV5> list;
    const ROValue array = readArray(s, name);
    if (array.IsNil())
        return list;
    for (const ROValue &item : array.Items()) {
        TableRequestInfoV5 info;
        info.UserFilter = field(item, QStringLiteral("UserFilter")).ToString();
        info.IncludeSchema = field(item, QStringLiteral("IncludeSchema")).ToBoolean();
        info.MaxRecords = field(item, QStringLiteral("MaxRecords")).ToInteger();
        info.Parameters = parameters(field(item, QStringLiteral("Parameters")));
        // An older caller sends the four-field record; it has no condition, columns or order.
        if (item.TypeName() == kTableRequestInfoV5) {
            info.WhereClause = field(item, QStringLiteral("WhereClause")).ToString();
            info.DynamicSelectFieldNames = stringList(field(item, QStringLiteral("DynamicSelectFieldNames")));
            const ROValue &sorting = field(item, QStringLiteral("Sorting"));
            if (!sorting.IsNil()) {
                info.Sorting.FieldName = field(sorting, QStringLiteral("FieldName")).ToString();
                info.Sorting.SortDirection = field(sorting, QStringLiteral("SortDirection")).Ordinal() == 1 ? ColumnSortDirection::Descending
                                                                                                              : ColumnSortDirection::Ascending;
            }
        } else if (item.TypeName() != kTableRequestInfo) {
            throw EROMessageError(QStringLiteral("A table request cannot be a %1 record").arg(item.TypeName()));
        }
        list.append(info);
    }
    return list;
}

void WriteUserInfo(TROSerializer &s, const QString &name, const UserInfo &value)
{
    std::vector<ROValue> attributes;
    for (const QVariant &v : value.Attributes)
        attributes.push_back(ROValue::FromVariant(ToWire(v)));
    s.WriteValue(name, ROValue::FromRecord(kUserInfo,
                                           {{QStringLiteral("SessionID"), ROValue::FromString(ROType::Utf8String, value.SessionID)},
                                            {QStringLiteral("UserID"), ROValue::FromString(ROType::Utf8String, value.UserID)},
                                            {QStringLiteral("Privileges"), stringArray(value.Privileges)},
                                            {QStringLiteral("Attributes"), ROValue::FromArray(kVariant, std::move(attributes))},
                                            {QStringLiteral("UserData"), ROValue::FromBinary(value.UserData)}}));
}

UserInfo ReadUserInfo(TROSerializer &s, const QString &name)
{
    UserInfo info;
    const ROValue record = s.ReadValue(name, ROType::Record);
    if (record.IsNil())
        return info;
    info.SessionID = field(record, QStringLiteral("SessionID")).ToString();
    info.UserID = field(record, QStringLiteral("UserID")).ToString();
    info.Privileges = stringList(field(record, QStringLiteral("Privileges")));
    for (const ROValue &v : field(record, QStringLiteral("Attributes")).Items())
        info.Attributes << FromWire(v.Inner());
    const ROValue &data = field(record, QStringLiteral("UserData"));
    info.UserData = data.IsNil() ? QByteArray() : data.ToBinary();
    return info;
}

} // namespace DAWire
