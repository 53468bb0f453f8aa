#include "pgdriver/PgValues.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QorDateTime.h"

#include <QDateTime>
#include <QUuid>

#include <iterator>

namespace pgdriver {
namespace {

constexpr Oid kOidName = 19;
constexpr Oid kOidNumeric = 1700;
constexpr Oid kOidDate = 1082;
constexpr Oid kOidTime = 1083;
constexpr Oid kOidTimestamp = 1114;
constexpr Oid kOidTimestampTz = 1184;
constexpr Oid kOidUuid = 2950;
constexpr Oid kOidXml = 142;
constexpr Oid kOidMoney = 790;
constexpr Oid kOidOid = 26;

// Latin-1 text widened into a buffer of at least length characters.
QStringView widened(const char *text, int length, char16_t *buffer)
{
    for (int i = 0; i < length; ++i)
        buffer[i] = char16_t(static_cast<unsigned char>(text[i]));
    return QStringView(buffer, length);
}

Oid oidOfType(TDADataType type)
{
    switch (DAValueKind(type)) {
    case TDAValueKind::Int32: return kOidInt4;
    case TDAValueKind::Int64: return kOidInt8;
    case TDAValueKind::Double: return kOidFloat8;
    case TDAValueKind::Boolean: return kOidInt2; // Boolean columns are smallint 0/1
    case TDAValueKind::DateTime: return kOidTimestamp;
    case TDAValueKind::Bytes: return kOidBytea;
    case TDAValueKind::Text:
    case TDAValueKind::None: break;
    }
    return 0;
}

} // namespace

void BoundParams::add(const QVariant &value, TDADataType declared)
{
    m_formats.push_back(0);
    if (DAIsNull(value)) {
        m_types.push_back(DAValueKind(declared) == TDAValueKind::Text ? m_textOid : oidOfType(declared));
        m_data.append(QByteArray());
        m_null.push_back(true);
        m_lengths.push_back(0);
        return;
    }
    const TDADataType type = DADataTypeOfValue(value);
    QByteArray data;
    Oid oid = 0;
    switch (DAValueKind(type)) {
    case TDAValueKind::Boolean:
        oid = kOidInt2;
        data = value.toBool() ? "1" : "0";
        break;
    case TDAValueKind::Int32:
        oid = kOidInt4;
        data = QByteArray::number(value.toInt());
        break;
    case TDAValueKind::Int64:
        oid = kOidInt8;
        data = value.typeId() == QMetaType::ULongLong ? QByteArray::number(value.toULongLong())
                                                       : QByteArray::number(value.toLongLong());
        break;
    case TDAValueKind::Double:
        oid = kOidFloat8;
        data = QByteArray::number(value.toDouble(), 'g', 17);
        break;
    case TDAValueKind::DateTime: {
        // The calendar fields as they are: no zone is consulted on the way to the database.
        oid = kOidTimestamp;
        const QDateTime dt = DAConvertValue(value, TDADataType::datDateTime).toDateTime();
        if (!IsDateTimeInRange(dt))
            throw EDAException(QStringLiteral("The date-time %1 lies outside the years 1 to 9999").arg(dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        const QDate date = dt.date();
        const QTime time = dt.time();
        data = QStringLiteral("%1-%2-%3 %4:%5:%6.%7")
                   .arg(date.year(), 4, 10, QLatin1Char('0')).arg(date.month(), 2, 10, QLatin1Char('0'))
                   .arg(date.day(), 2, 10, QLatin1Char('0')).arg(time.hour(), 2, 10, QLatin1Char('0'))
                   .arg(time.minute(), 2, 10, QLatin1Char('0')).arg(time.second(), 2, 10, QLatin1Char('0'))
                   .arg(time.msec(), 3, 10, QLatin1Char('0'))
                   .toLatin1();
        break;
    }
    case TDAValueKind::Bytes:
        oid = kOidBytea;
        data = value.toByteArray();
        m_formats.back() = 1; // raw bytes, no escaping
        break;
    case TDAValueKind::Text:
    case TDAValueKind::None:
        oid = m_textOid;
        data = DAConvertValue(value, TDADataType::datString).toString().toUtf8();
        break;
    }
    m_types.push_back(oid);
    m_lengths.push_back(int(data.size()));
    m_data.append(data);
    m_null.push_back(false);
}

const char *const *BoundParams::values() const
{
    m_pointers.clear();
    for (size_t i = 0; i < m_null.size(); ++i)
        m_pointers.push_back(m_null[i] ? nullptr : m_data[qsizetype(i)].constData());
    return m_pointers.data();
}

TDADataType dataTypeOfOid(Oid oid)
{
    switch (oid) {
    case kOidBool: return TDADataType::datBoolean;
    case kOidInt2: return TDADataType::datSmallInt;
    case kOidInt4:
    case kOidOid: return TDADataType::datInteger;
    case kOidInt8: return TDADataType::datLargeInt;
    case kOidFloat4:
    case kOidFloat8:
    case kOidNumeric: return TDADataType::datFloat;
    case kOidMoney: return TDADataType::datCurrency;
    case kOidDate:
    case kOidTime:
    case kOidTimestamp:
    case kOidTimestampTz: return TDADataType::datDateTime;
    case kOidBytea: return TDADataType::datBlob;
    case kOidUuid: return TDADataType::datGuid;
    case kOidXml: return TDADataType::datXml;
    case kOidText:
    case kOidName:
    default: return TDADataType::datString; // varchar, bpchar, citext and the rest read as text
    }
}

namespace {

// How a type's text output is read; one place for valueFromText and writeValue.
enum class Form { Text, Bool, Int, Int8, Float, Money, Stamp, Time, Bytea, Uuid };

Form formOf(Oid oid)
{
    switch (oid) {
    case kOidBool: return Form::Bool;
    case kOidInt2:
    case kOidInt4:
    case kOidOid: return Form::Int;
    case kOidInt8: return Form::Int8;
    case kOidFloat4:
    case kOidFloat8:
    case kOidNumeric: return Form::Float;
    case kOidMoney: return Form::Money;
    case kOidTimestamp:
    case kOidTimestampTz:
    case kOidDate: return Form::Stamp;
    case kOidTime: return Form::Time;
    case kOidBytea: return Form::Bytea;
    case kOidUuid: return Form::Uuid;
    default: return Form::Text;
    }
}

QByteArray rawBytes(const char *text, int length)
{
    return QByteArray::fromRawData(text, length);
}

// ISO output, "2024-05-01 10:20:30.123456" (DateStyle=ISO on every connection), read as the
// wall-clock time it shows; a time stamp with zone shows the session's time.
QDateTime stampFromText(const char *text, int length)
{
    // Read from a copy on the stack: one per value on the heap would cost more than the parse.
    char16_t wide[64];
    const QDateTime dt = length <= int(std::size(wide)) ? WallClockFromIso(widened(text, length, wide))
                                                        : WallClockFromIso(QString::fromLatin1(text, length));
    if (!IsDateTimeInRange(dt))
        throw EDAException(QStringLiteral("The database holds the date-time \"%1\", which lies outside the years 1 to 9999")
                               .arg(QString::fromLatin1(text, length)));
    return dt;
}

bool isAscii(const char *text, int length)
{
    for (int i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

} // namespace

QVariant valueFromText(const char *text, int length, Oid oid)
{
    switch (formOf(oid)) {
    case Form::Bool:
        return length > 0 && text[0] == 't';
    case Form::Int:
        return rawBytes(text, length).toInt();
    case Form::Int8:
        return rawBytes(text, length).toLongLong();
    case Form::Float:
        return rawBytes(text, length).toDouble();
    case Form::Money: {
        QByteArray digits;
        for (int i = 0; i < length; ++i)
            if ((text[i] >= '0' && text[i] <= '9') || text[i] == '.' || text[i] == '-')
                digits += text[i];
        return digits.toDouble();
    }
    case Form::Stamp:
        return stampFromText(text, length);
    case Form::Time: {
        const QDateTime dt = WallClockFromIso(QStringLiteral("1899-12-30 ") + QString::fromLatin1(text, length));
        return dt.isValid() ? QVariant(dt) : QVariant(QMetaType::fromType<QDateTime>());
    }
    case Form::Bytea: {
        if (length >= 2 && text[0] == '\\' && text[1] == 'x')
            return QByteArray::fromHex(QByteArray::fromRawData(text + 2, length - 2));
        size_t size = 0;
        unsigned char *raw = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
        QByteArray bytes(reinterpret_cast<const char *>(raw), qsizetype(size));
        PQfreemem(raw);
        return bytes;
    }
    case Form::Uuid:
        return QUuid::fromString(QLatin1String(text, length)).toString(QUuid::WithBraces).toUpper();
    case Form::Text:
        break;
    }
    return QString::fromUtf8(text, length);
}

bool writesDirectly(Oid oid, TDAValueKind kind)
{
    // Pairs whose value valueFromText gives in the kind's own form (DAConvertValue keeps it),
    // and smallint 0/1 for Booleans (any other number is true, as DAConvertValue reads it).
    const Form form = formOf(oid);
    switch (kind) {
    case TDAValueKind::Text: return form == Form::Text;
    case TDAValueKind::Int32: return form == Form::Int;
    case TDAValueKind::Int64: return form == Form::Int8;
    case TDAValueKind::Double: return form == Form::Float;
    case TDAValueKind::Boolean: return form == Form::Bool || form == Form::Int;
    case TDAValueKind::DateTime: return form == Form::Stamp;
    case TDAValueKind::Bytes:
    case TDAValueKind::None: break;
    }
    return false;
}

void writeValue(TDADatasetWriter &out, const char *text, int length, Oid oid, TDAValueKind kind)
{
    switch (formOf(oid)) {
    case Form::Text:
        // The database sends valid UTF-8; plain ASCII goes as it came.
        if (isAscii(text, length))
            out.PutUtf8(text, length);
        else
            out.PutText(QString::fromUtf8(text, length));
        return;
    case Form::Bool: out.PutBoolean(length > 0 && text[0] == 't'); return;
    case Form::Int: {
        const int value = rawBytes(text, length).toInt();
        if (kind == TDAValueKind::Boolean)
            out.PutBoolean(value != 0);
        else
            out.PutInt32(value);
        return;
    }
    case Form::Int8: out.PutInt64(rawBytes(text, length).toLongLong()); return;
    case Form::Float: out.PutDouble(rawBytes(text, length).toDouble()); return;
    case Form::Stamp: out.PutDateTime(stampFromText(text, length)); return;
    case Form::Money:
    case Form::Time:
    case Form::Bytea:
    case Form::Uuid: break;
    }
    out.PutValue(valueFromText(text, length, oid));
}

} // namespace pgdriver
