// Field and parameter types of the data-access layer and the canonical value each holds.
// The numbers of TDADataType travel in dataset streams and deltas: never renumber them.
#pragma once

#include "dataaccess/DataAccessExport.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

enum class TDADataType : quint8 {
    datUnknown = 0,
    datString = 1,
    datDateTime = 2,
    datFloat = 3,
    datCurrency = 4,
    datAutoInc = 5,
    datInteger = 6,
    datLargeInt = 7,
    datBoolean = 8,
    datMemo = 9,
    datBlob = 10,
    datWideString = 11,
    datWideMemo = 12,
    datLargeAutoInc = 13,
    datByte = 14,
    datShortInt = 15,
    datWord = 16,
    datSmallInt = 17,
    datCardinal = 18,
    datLargeUInt = 19,
    datGuid = 20,
    datXml = 21,
    datDecimal = 22,
    datSingleFloat = 23,
};
constexpr int kDADataTypeCount = 24;

enum class TDAParamType : quint8 { daptUnknown, daptInput, daptOutput, daptInputOutput, daptResult };

// The kind of value a type holds, which decides its stream encoding and its QVariant type.
enum class TDAValueKind { Text, Int32, Int64, Double, Boolean, DateTime, Bytes, None };

DATAACCESS_EXPORT TDAValueKind DAValueKind(TDADataType type);
// Names used in schema files ("String", "DateTime", ...); unknown names give datUnknown.
DATAACCESS_EXPORT QString DADataTypeName(TDADataType type);
DATAACCESS_EXPORT TDADataType DADataTypeFromName(const QString &name);
// The type a value of this QVariant naturally has (a QString gives datString).
DATAACCESS_EXPORT TDADataType DADataTypeOfValue(const QVariant &value);
// Converts a value to the canonical QVariant of the type (QString, int, qlonglong, double,
// bool, QDateTime, QByteArray); null stays null. Throws EDAException when it cannot.
DATAACCESS_EXPORT QVariant DAConvertValue(const QVariant &value, TDADataType type);
DATAACCESS_EXPORT bool DAIsNull(const QVariant &value);
// True when a non-null value already is the canonical QVariant of the kind (DAConvertValue
// would give it back unchanged), so callers on hot paths can skip the conversion.
DATAACCESS_EXPORT bool DAIsCanonical(const QVariant &value, TDAValueKind kind);

// A named parameter of a statement or stored procedure.
struct DATAACCESS_EXPORT TDAParam
{
    QString Name;
    TDADataType DataType = TDADataType::datUnknown;
    TDAParamType ParamType = TDAParamType::daptInput;
    int Size = 0;
    QVariant Value;
};

// Parameters in order; names match without regard to case. Look-ups by name go through an
// index, so binding a statement of thousands of values costs no more per value than one of
// few. A parameter keeps the name it was added under (its other members may change).
class DATAACCESS_EXPORT TDAParamCollection
{
public:
    int Count() const { return int(m_items.size()); }
    TDAParam &operator[](int index) { return m_items[index]; }
    const TDAParam &operator[](int index) const { return m_items[index]; }
    TDAParam *FindParam(const QString &name);
    const TDAParam *FindParam(const QString &name) const;
    // Throws EDAException naming the parameter when there is none of that name.
    TDAParam &ParamByName(const QString &name);
    TDAParam &Add(const QString &name, const QVariant &value = {},
                  TDAParamType type = TDAParamType::daptInput);
    void Clear()
    {
        m_items.clear();
        m_index.clear();
    }
    QList<TDAParam>::iterator begin() { return m_items.begin(); }
    QList<TDAParam>::iterator end() { return m_items.end(); }
    QList<TDAParam>::const_iterator begin() const { return m_items.begin(); }
    QList<TDAParam>::const_iterator end() const { return m_items.end(); }

private:
    int IndexOf(const QString &name) const;

    QList<TDAParam> m_items;
    QHash<QString, int> m_index; // case-folded name: its first parameter
};

// One column of a dataset, as a schema or a driver describes it.
struct DATAACCESS_EXPORT TDAField
{
    QString Name;
    TDADataType DataType = TDADataType::datString;
    int Size = 0;
    bool InPrimaryKey = false;
    bool Required = false;
    // Not a column of the dataset's table (a joined or computed value): never written back.
    bool ReadOnly = false;
    QString DefaultValue;
    QString Description;
};
using TDAFieldList = QList<TDAField>;
// Index of the field of that name, without regard to case; -1 when absent.
DATAACCESS_EXPORT int DAFindField(const TDAFieldList &fields, const QString &name);

struct DATAACCESS_EXPORT TDAForeignKey
{
    QString FKTable;
    QString PKTable;
    QString FKField;   // comma-separated for keys of several columns
    QString PKField;
};
