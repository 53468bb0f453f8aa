#include "remoting/ROValue.h"

#include "remoting/ROErrors.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

const char *const kTypeNames[] = {"Nil",       "Integer",    "Int64",      "Double", "Currency", "Boolean",
                                  "DateTime",  "AnsiString", "Utf8String", "WideString", "Guid",  "Binary",
                                  "Xml",       "Variant",    "Record",     "Array",  "Enum"};

EROMessageError FileChanged(const QString &path, qint64 size)
{
    return EROMessageError(QStringLiteral("The file %1 can no longer be sent: it is not the file of %2 bytes it was")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(size));
}

bool SameDouble(double a, double b)
{
    // Bitwise, so that NaN equals itself and a round trip is checked exactly.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

QString ROTypeName(ROType type)
{
    const auto index = static_cast<quint8>(type);
    return index <= kROTypeLast ? QString::fromLatin1(kTypeNames[index]) : QStringLiteral("Type%1").arg(index);
}

bool ROTypeIsNillable(ROType type)
{
    return type == ROType::Binary || type == ROType::Record || type == ROType::Array;
}

bool ROTypeIsString(ROType type)
{
    return type == ROType::AnsiString || type == ROType::Utf8String || type == ROType::WideString;
}

ROValue ROValue::FromInteger(qint32 value)
{
    ROValue v;
    v.m_type = ROType::Integer;
    v.m_nil = false;
    v.m_int = value;
    return v;
}

ROValue ROValue::FromInt64(qint64 value)
{
    ROValue v;
    v.m_type = ROType::Int64;
    v.m_nil = false;
    v.m_int = value;
    return v;
}

ROValue ROValue::FromDouble(double value)
{
    ROValue v;
    v.m_type = ROType::Double;
    v.m_nil = false;
    v.m_double = value;
    return v;
}

ROValue ROValue::FromCurrency(qint64 tenThousandths)
{
    ROValue v;
    v.m_type = ROType::Currency;
    v.m_nil = false;
    v.m_int = tenThousandths;
    return v;
}

ROValue ROValue::FromBoolean(bool value)
{
    ROValue v;
    v.m_type = ROType::Boolean;
    v.m_nil = false;
    v.m_int = value ? 1 : 0;
    return v;
}

ROValue ROValue::FromDateTime(double oleDays)
{
    ROValue v;
    v.m_type = ROType::DateTime;
    v.m_nil = false;
    v.m_double = oleDays;
    return v;
}

ROValue ROValue::FromString(ROType type, const QString &value)
{
    if (!ROTypeIsString(type))
        throw EROMessageError(QStringLiteral("%1 is not a string type").arg(ROTypeName(type)));
    ROValue v;
    v.m_type = type;
    v.m_nil = false;
    v.m_text = value;
    return v;
}

ROValue ROValue::FromGuid(const QUuid &value)
{
    ROValue v;
    v.m_type = ROType::Guid;
    v.m_nil = false;
    v.m_guid = value;
    return v;
}

ROValue ROValue::FromBinary(const QByteArray &value)
{
    ROValue v;
    v.m_type = ROType::Binary;
    v.m_nil = false;
    v.m_bytes = value;
    return v;
}

ROValue ROValue::FromBinaryFile(const QString &path, qint64 size)
{
    ROValue v;
    v.m_type = ROType::Binary;
    v.m_nil = false;
    v.m_file = true;
    v.m_text = path;
    v.m_int = size;
    return v;
}

ROValue ROValue::FromXml(const QString &value)
{
    ROValue v;
    v.m_type = ROType::Xml;
    v.m_nil = false;
    v.m_text = value;
    return v;
}

ROValue ROValue::FromVariant(const ROValue &inner)
{
    const ROType t = inner.Type();
    if (t == ROType::Variant || t == ROType::Record || t == ROType::Array || t == ROType::Enum)
        throw EROMessageError(QStringLiteral("A variant cannot hold a %1").arg(ROTypeName(t)));
    ROValue v;
    v.m_type = ROType::Variant;
    v.m_nil = false;
    v.m_inner = std::make_shared<const ROValue>(inner);
    return v;
}

ROValue ROValue::FromRecord(const QString &typeName, std::vector<RONamedValue> fields)
{
    ROValue v;
    v.m_type = ROType::Record;
    v.m_nil = false;
    v.m_text = typeName;
    v.m_fields = std::make_shared<const std::vector<RONamedValue>>(std::move(fields));
    return v;
}

ROValue ROValue::FromArray(const QString &elementType, std::vector<ROValue> items)
{
    ROValue v;
    v.m_type = ROType::Array;
    v.m_nil = false;
    v.m_text = elementType;
    v.m_items = std::make_shared<const std::vector<ROValue>>(std::move(items));
    return v;
}

ROValue ROValue::FromEnum(const QString &typeName, quint32 ordinal)
{
    ROValue v;
    v.m_type = ROType::Enum;
    v.m_nil = false;
    v.m_text = typeName;
    v.m_int = ordinal;
    return v;
}

ROValue ROValue::NilOf(ROType type)
{
    if (type != ROType::Nil && !ROTypeIsNillable(type))
        throw EROMessageError(QStringLiteral("%1 cannot be nil").arg(ROTypeName(type)));
    ROValue v;
    v.m_type = type;
    return v;
}

void ROValue::Expect(ROType type) const
{
    if (m_type != type)
        throw EROMessageError(QStringLiteral("A %1 value was read as %2").arg(ROTypeName(m_type), ROTypeName(type)));
}

qint32 ROValue::ToInteger() const
{
    Expect(ROType::Integer);
    return static_cast<qint32>(m_int);
}

qint64 ROValue::ToInt64() const
{
    Expect(ROType::Int64);
    return m_int;
}

double ROValue::ToDouble() const
{
    Expect(ROType::Double);
    return m_double;
}

qint64 ROValue::ToCurrency() const
{
    Expect(ROType::Currency);
    return m_int;
}

bool ROValue::ToBoolean() const
{
    Expect(ROType::Boolean);
    return m_int != 0;
}

double ROValue::ToDateTime() const
{
    Expect(ROType::DateTime);
    return m_double;
}

QString ROValue::ToString() const
{
    if (!ROTypeIsString(m_type) && m_type != ROType::Xml)
        Expect(ROType::Utf8String);
    return m_text;
}

QUuid ROValue::ToGuid() const
{
    Expect(ROType::Guid);
    return m_guid;
}

QByteArray ROValue::ToBinary() const
{
    Expect(ROType::Binary);
    if (!m_file)
        return m_bytes;
    QFile file;
    OpenFile(file);
    QByteArray bytes(qsizetype(m_int), Qt::Uninitialized);
    ReadFile(file, bytes.data(), m_int);
    return bytes;
}

QString ROValue::FilePath() const
{
    Expect(ROType::Binary);
    return m_file ? m_text : QString();
}

qint64 ROValue::FileSize() const
{
    Expect(ROType::Binary);
    return m_file ? m_int : 0;
}

void ROValue::OpenFile(QFile &file) const
{
    file.setFileName(m_text);
    if (!m_file || !file.open(QIODevice::ReadOnly) || file.size() != m_int)
        throw FileChanged(m_text, m_int);
}

void ROValue::ReadFile(QFile &file, char *into, qint64 size) const
{
    for (qint64 done = 0; done < size;) {
        const qint64 n = file.read(into + done, size - done);
        if (n <= 0)
            throw FileChanged(m_text, m_int);
        done += n;
    }
}

bool ROValue::HoldsFile() const
{
    if (m_nil)
        return false;
    switch (m_type) {
    case ROType::Binary:
        return m_file;
    case ROType::Variant:
        return m_inner->HoldsFile();
    case ROType::Record:
        return std::any_of(m_fields->begin(), m_fields->end(), [](const RONamedValue &f) { return f.Value.HoldsFile(); });
    case ROType::Array:
        return std::any_of(m_items->begin(), m_items->end(), [](const ROValue &item) { return item.HoldsFile(); });
    default:
        return false;
    }
}

const ROValue &ROValue::Inner() const
{
    Expect(ROType::Variant);
    return *m_inner;
}

QString ROValue::TypeName() const
{
    if (m_type != ROType::Record && m_type != ROType::Array && m_type != ROType::Enum)
        Expect(ROType::Record);
    return m_text;
}

const std::vector<RONamedValue> &ROValue::Fields() const
{
    Expect(ROType::Record);
    if (m_nil)
        throw EROMessageError(QStringLiteral("The record is nil"));
    return *m_fields;
}

const std::vector<ROValue> &ROValue::Items() const
{
    Expect(ROType::Array);
    if (m_nil)
        throw EROMessageError(QStringLiteral("The array is nil"));
    return *m_items;
}

quint32 ROValue::Ordinal() const
{
    Expect(ROType::Enum);
    return static_cast<quint32>(m_int);
}

bool ROValue::operator==(const ROValue &other) const
{
    if (m_type != other.m_type || m_nil != other.m_nil)
        return false;
    if (m_nil)
        return true;
    switch (m_type) {
    case ROType::Nil:
        return true;
    case ROType::Integer:
    case ROType::Int64:
    case ROType::Currency:
    case ROType::Boolean:
        return m_int == other.m_int;
    case ROType::Double:
    case ROType::DateTime:
        return SameDouble(m_double, other.m_double);
    case ROType::AnsiString:
    case ROType::Utf8String:
    case ROType::WideString:
    case ROType::Xml:
        return m_text == other.m_text;
    case ROType::Guid:
        return m_guid == other.m_guid;
    case ROType::Binary:
        return m_file == other.m_file && m_bytes == other.m_bytes && m_text == other.m_text && m_int == other.m_int;
    case ROType::Variant:
        return *m_inner == *other.m_inner;
    case ROType::Record:
        return m_text == other.m_text && *m_fields == *other.m_fields;
    case ROType::Array:
        return m_text == other.m_text && *m_items == *other.m_items;
    case ROType::Enum:
        return m_text == other.m_text && m_int == other.m_int;
    }
    return false;
}

QString ROValue::Describe() const
{
    if (m_nil)
        return QStringLiteral("nil %1").arg(ROTypeName(m_type));
    switch (m_type) {
    case ROType::Integer:
    case ROType::Int64:
    case ROType::Currency:
    case ROType::Boolean:
        return QStringLiteral("%1 %2").arg(ROTypeName(m_type)).arg(m_int);
    case ROType::Double:
    case ROType::DateTime:
        return QStringLiteral("%1 %2").arg(ROTypeName(m_type)).arg(m_double, 0, 'g', 17);
    case ROType::Guid:
        return QStringLiteral("Guid %1").arg(m_guid.toString());
    case ROType::Binary:
        if (m_file)
            return QStringLiteral("Binary of %1 bytes in %2").arg(m_int).arg(m_text);
        return QStringLiteral("Binary of %1 bytes").arg(m_bytes.size());
    case ROType::Variant:
        return QStringLiteral("Variant(%1)").arg(m_inner->Describe());
    case ROType::Record:
        return QStringLiteral("Record %1 of %2 fields").arg(m_text).arg(m_fields->size());
    case ROType::Array:
        return QStringLiteral("Array of %1, %2 items").arg(m_text).arg(m_items->size());
    case ROType::Enum:
        return QStringLiteral("Enum %1 %2").arg(m_text).arg(m_int);
    default:
        return QStringLiteral("%1 \"%2\"").arg(ROTypeName(m_type), m_text.left(80));
    }
}
