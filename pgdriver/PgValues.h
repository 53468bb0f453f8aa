// Conversions between data-access values and libpq's parameter and result forms. Internal
// to the driver. Every parameter is sent with a type taken from its value. Text goes as
// citext where the database has it, so comparisons with citext columns keep ignoring case
// (a plain text parameter would turn them into case-sensitive text comparisons).
#pragma once

#include "dataaccess/DADataTypes.h"

class TDADatasetWriter;

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <libpq-fe.h>

#include <vector>

namespace pgdriver {

constexpr Oid kOidBool = 16;
constexpr Oid kOidBytea = 17;
constexpr Oid kOidInt8 = 20;
constexpr Oid kOidInt2 = 21;
constexpr Oid kOidInt4 = 23;
constexpr Oid kOidText = 25;
constexpr Oid kOidFloat4 = 700;
constexpr Oid kOidFloat8 = 701;
constexpr Oid kOidVoid = 2278;

// Bound values in the layout PQexecParams wants; owns the bytes it points at.
class BoundParams
{
public:
    explicit BoundParams(Oid textOid) : m_textOid(textOid) {}
    void add(const QVariant &value, TDADataType declared);
    int count() const { return int(m_types.size()); }
    const Oid *types() const { return m_types.data(); }
    const char *const *values() const;
    const int *lengths() const { return m_lengths.data(); }
    const int *formats() const { return m_formats.data(); }

private:
    std::vector<Oid> m_types;
    QList<QByteArray> m_data;
    std::vector<bool> m_null;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
    mutable std::vector<const char *> m_pointers;
    Oid m_textOid;
};

TDADataType dataTypeOfOid(Oid oid);
// Reads one text-format result value of the given type; SQL NULL is handled by the caller.
QVariant valueFromText(const char *text, int length, Oid oid);
// True where a result value of the type goes into a stream field of the kind by writeValue,
// giving exactly what valueFromText and DAConvertValue to the field's type would.
bool writesDirectly(Oid oid, TDAValueKind kind);
// Writes one text-format result value into a stream field of the kind (where writesDirectly holds).
void writeValue(TDADatasetWriter &out, const char *text, int length, Oid oid, TDAValueKind kind);

} // namespace pgdriver
