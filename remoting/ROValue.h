// The value model of the remoting layer: one value of any wire type (scalar, record, array,
// enumeration, nil), immutable once built, cheap to copy. Messages, records and the event
// store all hold these; typed access checks the type and throws EROMessageError on a mismatch.
#pragma once

#include "remoting/RemotingExport.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <memory>
#include <vector>

class QFile;

// Wire type tags; the numbers are the tags on the wire (docs/wire-format.md).
enum class ROType : quint8 {
    Nil = 0,
    Integer = 1,
    Int64 = 2,
    Double = 3,
    Currency = 4,
    Boolean = 5,
    DateTime = 6,
    AnsiString = 7,
    Utf8String = 8,
    WideString = 9,
    Guid = 10,
    Binary = 11,
    Xml = 12,
    Variant = 13,
    Record = 14,
    Array = 15,
    Enum = 16,
};
constexpr quint8 kROTypeLast = 16;

REMOTING_EXPORT QString ROTypeName(ROType type);
// Binary, records and arrays may be nil as well as hold a value.
REMOTING_EXPORT bool ROTypeIsNillable(ROType type);
REMOTING_EXPORT bool ROTypeIsString(ROType type);

struct RONamedValue;

class REMOTING_EXPORT ROValue
{
public:
    ROValue() = default; // the untyped nil

    static ROValue FromInteger(qint32 value);
    static ROValue FromInt64(qint64 value);
    static ROValue FromDouble(double value);
    // Currency is a fixed-point amount counted in ten-thousandths.
    static ROValue FromCurrency(qint64 tenThousandths);
    static ROValue FromBoolean(bool value);
    // Days since 1899-12-30 (foundation/QorDateTime.h converts).
    static ROValue FromDateTime(double oleDays);
    // type is AnsiString, Utf8String or WideString: all three travel as UTF-8.
    static ROValue FromString(ROType type, const QString &value);
    static ROValue FromGuid(const QUuid &value);
    static ROValue FromBinary(const QByteArray &value);
    // A Binary whose bytes stay in a file of that size until they are written or asked for: a
    // reply of client-update files is sent from disk piece by piece (TROMessageWriter).
    static ROValue FromBinaryFile(const QString &path, qint64 size);
    static ROValue FromXml(const QString &value);
    // A variant holds one scalar (or nil for "empty"); nesting variants, records or arrays is refused.
    static ROValue FromVariant(const ROValue &inner);
    static ROValue FromRecord(const QString &typeName, std::vector<RONamedValue> fields);
    // elementType names what the elements are: a type name ("Utf8String") or a record class.
    static ROValue FromArray(const QString &elementType, std::vector<ROValue> items);
    static ROValue FromEnum(const QString &typeName, quint32 ordinal);
    // A nil of a nillable type (Binary, Record, Array) or the untyped nil.
    static ROValue NilOf(ROType type);

    ROType Type() const { return m_type; }
    bool IsNil() const { return m_nil; }

    qint32 ToInteger() const;
    qint64 ToInt64() const;
    double ToDouble() const;
    qint64 ToCurrency() const;
    bool ToBoolean() const;
    double ToDateTime() const;
    // Any of the three string types, and Xml.
    QString ToString() const;
    QUuid ToGuid() const;
    // A file's bytes are read whole; EROMessageError when it is no longer of its stated size.
    QByteArray ToBinary() const;
    bool IsFile() const { return m_file; }
    QString FilePath() const;
    qint64 FileSize() const;
    // Opens the file, and reads the next size bytes of it; either throws EROMessageError when the
    // file cannot be read or is no longer the size it had when the value was made.
    void OpenFile(QFile &file) const;
    void ReadFile(QFile &file, char *into, qint64 size) const;
    // Whether this value or one inside it stands for a file.
    bool HoldsFile() const;
    const ROValue &Inner() const;
    // Record type, array element type or enumeration type.
    QString TypeName() const;
    const std::vector<RONamedValue> &Fields() const;
    const std::vector<ROValue> &Items() const;
    quint32 Ordinal() const;

    bool operator==(const ROValue &other) const;
    bool operator!=(const ROValue &other) const { return !(*this == other); }

    // For error texts and test output.
    QString Describe() const;

private:
    void Expect(ROType type) const;

    ROType m_type = ROType::Nil;
    bool m_nil = true;
    bool m_file = false; // a Binary of m_int bytes in the file m_text
    qint64 m_int = 0;
    double m_double = 0.0;
    QString m_text;
    QByteArray m_bytes;
    QUuid m_guid;
    std::shared_ptr<const ROValue> m_inner;
    std::shared_ptr<const std::vector<RONamedValue>> m_fields;
    std::shared_ptr<const std::vector<ROValue>> m_items;
};

struct RONamedValue
{
    QString Name;
    ROValue Value;

    bool operator==(const RONamedValue &other) const { return Name == other.Name && Value == other.Value; }
};
