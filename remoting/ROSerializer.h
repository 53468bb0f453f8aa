// Reads and writes named values in order: the body of a message, the fields of a record or the
// elements of an array. The contract's records, invokers and proxies are written against this
// class only. Writes append in call order; reads take the value of the given name and type
// (the next one in order first, so the usual strict-order read costs nothing) and throw
// EROMessageError when it is missing or of another type. Array mode ignores names and goes by position.
#pragma once

#include "remoting/ROComplexType.h"
#include "remoting/RemotingExport.h"
#include "remoting/ROValue.h"

#include <QDateTime>

#include <memory>
#include <vector>

class REMOTING_EXPORT TROSerializer
{
public:
    TROSerializer() = default;
    explicit TROSerializer(std::vector<RONamedValue> values);
    // An array's elements, read or written by position.
    static TROSerializer ForArray(const std::vector<ROValue> &items);
    static TROSerializer ForArrayWriting();
    virtual ~TROSerializer();

    // Fields always go in contract order in this format.
    bool IsStrictOrder() const { return true; }

    void WriteInteger(const QString &name, qint32 value);
    void WriteInt64(const QString &name, qint64 value);
    void WriteDouble(const QString &name, double value);
    void WriteCurrency(const QString &name, qint64 tenThousandths);
    void WriteBoolean(const QString &name, bool value);
    void WriteDateTime(const QString &name, const QDateTime &value);
    void WriteDateTime(const QString &name, double oleDays);
    void WriteAnsiString(const QString &name, const QString &value);
    void WriteUtf8String(const QString &name, const QString &value);
    void WriteWideString(const QString &name, const QString &value);
    void WriteGuid(const QString &name, const QUuid &value);
    // A null pointer travels as nil.
    void WriteBinary(const QString &name, const TROBinaryMemoryStream *value);
    void WriteXml(const QString &name, const QString &value);
    void WriteVariant(const QString &name, const ROValue &value);
    void WriteEnum(const QString &name, const QString &typeName, quint32 ordinal);
    // A null pointer travels as nil; arrays travel as arrays, other classes as records.
    void WriteComplex(const QString &name, const TROComplexType *value);
    void WriteValue(const QString &name, const ROValue &value);

    qint32 ReadInteger(const QString &name);
    qint64 ReadInt64(const QString &name);
    double ReadDouble(const QString &name);
    qint64 ReadCurrency(const QString &name);
    bool ReadBoolean(const QString &name);
    // A wall-clock value rounded to the millisecond; a day count that is not finite or lies
    // outside the years 1 to 9999 raises EROMessageError.
    QDateTime ReadDateTime(const QString &name);
    double ReadDateTimeDays(const QString &name);
    QString ReadAnsiString(const QString &name);
    QString ReadUtf8String(const QString &name);
    QString ReadWideString(const QString &name);
    QUuid ReadGuid(const QString &name);
    // Nil gives a null pointer; otherwise a new stream the caller owns.
    std::unique_ptr<TROBinaryMemoryStream> ReadBinary(const QString &name);
    QString ReadXml(const QString &name);
    // The variant's inner value (the untyped nil for an empty variant).
    ROValue ReadVariant(const QString &name);
    quint32 ReadEnum(const QString &name, const QString &typeName);
    // Fills target from a record or array of its class; false (target untouched) when nil.
    bool ReadComplexInto(const QString &name, TROComplexType &target);
    // A new object of the class registered under className (RegisterROClass); null for nil.
    std::unique_ptr<TROComplexType> ReadComplex(const QString &name, const QString &className);
    template <class T> std::unique_ptr<T> ReadComplex(const QString &name)
    {
        auto object = std::make_unique<T>();
        if (!ReadComplexInto(name, *object))
            return nullptr;
        return object;
    }
    ROValue ReadValue(const QString &name, ROType type);
    bool HasValue(const QString &name) const;

    // The name an array element travels under (arrays carry no names; kept for the record classes).
    QString ArrayElementName(int index) const;
    bool IsArrayMode() const { return m_array; }
    int ArrayCount() const { return int(m_values.size()); }

    const std::vector<RONamedValue> &Values() const { return m_values; }
    std::vector<ROValue> Items() const;
    void ClearValues();

protected:
    void SetValues(std::vector<RONamedValue> values);

private:
    const ROValue &Take(const QString &name, ROType type);

    bool m_array = false;
    std::vector<RONamedValue> m_values;
    std::size_t m_cursor = 0;
};
