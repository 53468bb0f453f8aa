#include "remoting/ROSerializer.h"

#include "remoting/ROErrors.h"
#include "remoting/RORegistry.h"

#include "foundation/QorDateTime.h"

#include <limits>

TROSerializer::TROSerializer(std::vector<RONamedValue> values) : m_values(std::move(values)) {}

TROSerializer::~TROSerializer() = default;

TROSerializer TROSerializer::ForArray(const std::vector<ROValue> &items)
{
    TROSerializer s;
    s.m_array = true;
    s.m_values.reserve(items.size());
    for (const ROValue &item : items)
        s.m_values.push_back({QString(), item});
    return s;
}

TROSerializer TROSerializer::ForArrayWriting()
{
    TROSerializer s;
    s.m_array = true;
    return s;
}

void TROSerializer::SetValues(std::vector<RONamedValue> values)
{
    m_values = std::move(values);
    m_cursor = 0;
}

void TROSerializer::ClearValues()
{
    m_values.clear();
    m_cursor = 0;
}

std::vector<ROValue> TROSerializer::Items() const
{
    std::vector<ROValue> items;
    items.reserve(m_values.size());
    for (const RONamedValue &v : m_values)
        items.push_back(v.Value);
    return items;
}

QString TROSerializer::ArrayElementName(int index) const
{
    return QStringLiteral("[%1]").arg(index);
}

void TROSerializer::WriteValue(const QString &name, const ROValue &value)
{
    m_values.push_back({m_array ? QString() : name, value});
}

void TROSerializer::WriteInteger(const QString &name, qint32 value) { WriteValue(name, ROValue::FromInteger(value)); }
void TROSerializer::WriteInt64(const QString &name, qint64 value) { WriteValue(name, ROValue::FromInt64(value)); }
void TROSerializer::WriteDouble(const QString &name, double value) { WriteValue(name, ROValue::FromDouble(value)); }
void TROSerializer::WriteCurrency(const QString &name, qint64 v) { WriteValue(name, ROValue::FromCurrency(v)); }
void TROSerializer::WriteBoolean(const QString &name, bool value) { WriteValue(name, ROValue::FromBoolean(value)); }

void TROSerializer::WriteDateTime(const QString &name, const QDateTime &value)
{
    WriteValue(name, ROValue::FromDateTime(DateTimeToOle(value)));
}

void TROSerializer::WriteDateTime(const QString &name, double oleDays)
{
    WriteValue(name, ROValue::FromDateTime(oleDays));
}

void TROSerializer::WriteAnsiString(const QString &name, const QString &value)
{
    WriteValue(name, ROValue::FromString(ROType::AnsiString, value));
}

void TROSerializer::WriteUtf8String(const QString &name, const QString &value)
{
    WriteValue(name, ROValue::FromString(ROType::Utf8String, value));
}

void TROSerializer::WriteWideString(const QString &name, const QString &value)
{
    WriteValue(name, ROValue::FromString(ROType::WideString, value));
}

void TROSerializer::WriteGuid(const QString &name, const QUuid &value) { WriteValue(name, ROValue::FromGuid(value)); }

void TROSerializer::WriteBinary(const QString &name, const TROBinaryMemoryStream *value)
{
    if (!value)
        WriteValue(name, ROValue::NilOf(ROType::Binary));
    else if (value->IsFile())
        WriteValue(name, ROValue::FromBinaryFile(value->FilePath(), value->Size()));
    else
        WriteValue(name, ROValue::FromBinary(value->Bytes()));
}

void TROSerializer::WriteXml(const QString &name, const QString &value) { WriteValue(name, ROValue::FromXml(value)); }

void TROSerializer::WriteVariant(const QString &name, const ROValue &value)
{
    WriteValue(name, ROValue::FromVariant(value));
}

void TROSerializer::WriteEnum(const QString &name, const QString &typeName, quint32 ordinal)
{
    WriteValue(name, ROValue::FromEnum(typeName, ordinal));
}

void TROSerializer::WriteComplex(const QString &name, const TROComplexType *value)
{
    if (!value) {
        WriteValue(name, ROValue::NilOf(ROType::Record));
        return;
    }
    if (value->IsArray()) {
        TROSerializer elements = ForArrayWriting();
        value->WriteComplex(elements);
        const auto &array = static_cast<const TROArray &>(*value);
        WriteValue(name, ROValue::FromArray(array.GetItemTypeName(), elements.Items()));
        return;
    }
    TROSerializer fields;
    value->WriteComplex(fields);
    WriteValue(name, ROValue::FromRecord(value->ClassName(), fields.m_values));
}

bool TROSerializer::HasValue(const QString &name) const
{
    for (const RONamedValue &v : m_values)
        if (v.Name == name)
            return true;
    return false;
}

const ROValue &TROSerializer::Take(const QString &name, ROType type)
{
    const RONamedValue *found = nullptr;
    if (m_array) {
        if (m_cursor >= m_values.size())
            throw EROMessageError(QStringLiteral("Array element %1 is missing").arg(m_cursor));
        found = &m_values[m_cursor++];
    } else if (m_cursor < m_values.size() && m_values[m_cursor].Name == name) {
        found = &m_values[m_cursor++];
    } else {
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            if (m_values[i].Name == name) {
                found = &m_values[i];
                m_cursor = i + 1;
                break;
            }
        }
    }
    if (!found)
        throw EROMessageError(QStringLiteral("The value \"%1\" is missing").arg(name));
    const ROValue &value = found->Value;
    // A nil record read as array or the other way round is still just nil.
    const bool nilComplex = value.IsNil() && (value.Type() == ROType::Record || value.Type() == ROType::Array)
                            && (type == ROType::Record || type == ROType::Array);
    if (value.Type() != type && !nilComplex)
        throw EROMessageError(QStringLiteral("The value \"%1\" is a %2, expected %3")
                                  .arg(name, ROTypeName(value.Type()), ROTypeName(type)));
    return value;
}

ROValue TROSerializer::ReadValue(const QString &name, ROType type) { return Take(name, type); }

qint32 TROSerializer::ReadInteger(const QString &name) { return Take(name, ROType::Integer).ToInteger(); }
qint64 TROSerializer::ReadInt64(const QString &name) { return Take(name, ROType::Int64).ToInt64(); }
double TROSerializer::ReadDouble(const QString &name) { return Take(name, ROType::Double).ToDouble(); }
qint64 TROSerializer::ReadCurrency(const QString &name) { return Take(name, ROType::Currency).ToCurrency(); }
bool TROSerializer::ReadBoolean(const QString &name) { return Take(name, ROType::Boolean).ToBoolean(); }

QDateTime TROSerializer::ReadDateTime(const QString &name)
{
    const double days = Take(name, ROType::DateTime).ToDateTime();
    const QDateTime value = OleToDateTime(days);
    if (!value.isValid())
        throw EROMessageError(QStringLiteral("The DateTime \"%1\" (%2 days) lies outside the years 1 to 9999").arg(name).arg(days));
    return value;
}

double TROSerializer::ReadDateTimeDays(const QString &name) { return Take(name, ROType::DateTime).ToDateTime(); }
QString TROSerializer::ReadAnsiString(const QString &name) { return Take(name, ROType::AnsiString).ToString(); }
QString TROSerializer::ReadUtf8String(const QString &name) { return Take(name, ROType::Utf8String).ToString(); }
QString TROSerializer::ReadWideString(const QString &name) { return Take(name, ROType::WideString).ToString(); }
QUuid TROSerializer::ReadGuid(const QString &name) { return Take(name, ROType::Guid).ToGuid(); }

std::unique_ptr<TROBinaryMemoryStream> TROSerializer::ReadBinary(const QString &name)
{
    const ROValue &value = Take(name, ROType::Binary);
    if (value.IsNil())
        return nullptr;
    if (value.IsFile()) {
        auto stream = std::make_unique<TROBinaryMemoryStream>();
        stream->SetFile(value.FilePath(), value.FileSize());
        return stream;
    }
    return std::make_unique<TROBinaryMemoryStream>(value.ToBinary());
}

QString TROSerializer::ReadXml(const QString &name) { return Take(name, ROType::Xml).ToString(); }

ROValue TROSerializer::ReadVariant(const QString &name) { return Take(name, ROType::Variant).Inner(); }

quint32 TROSerializer::ReadEnum(const QString &name, const QString &typeName)
{
    const ROValue &value = Take(name, ROType::Enum);
    if (value.TypeName() != typeName)
        throw EROMessageError(QStringLiteral("The value \"%1\" is a %2, expected %3")
                                  .arg(name, value.TypeName(), typeName));
    return value.Ordinal();
}

bool TROSerializer::ReadComplexInto(const QString &name, TROComplexType &target)
{
    const ROValue value = Take(name, target.IsArray() ? ROType::Array : ROType::Record);
    if (value.IsNil())
        return false;
    if (target.IsArray()) {
        auto &array = static_cast<TROArray &>(target);
        if (value.TypeName() != array.GetItemTypeName())
            throw EROMessageError(QStringLiteral("The array \"%1\" holds %2, expected %3")
                                      .arg(name, value.TypeName(), array.GetItemTypeName()));
        const auto &items = value.Items();
        if (items.size() > std::size_t(std::numeric_limits<int>::max()))
            throw EROMessageError(QStringLiteral("The array \"%1\" is too long").arg(name));
        array.Resize(int(items.size()));
        TROSerializer elements = ForArray(items);
        array.ReadComplex(elements);
        return true;
    }
    if (value.TypeName() != target.ClassName())
        throw EROMessageError(QStringLiteral("The record \"%1\" is a %2, expected %3")
                                  .arg(name, value.TypeName(), target.ClassName()));
    TROSerializer fields(value.Fields());
    target.ReadComplex(fields);
    return true;
}

std::unique_ptr<TROComplexType> TROSerializer::ReadComplex(const QString &name, const QString &className)
{
    std::unique_ptr<TROComplexType> object = CreateROClass(className);
    if (!ReadComplexInto(name, *object))
        return nullptr;
    return object;
}
