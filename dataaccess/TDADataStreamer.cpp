#include "dataaccess/TDADataStreamer.h"

#include "dataaccess/DAException.h"
#include "foundation/MemoryBudget.h"
#include "foundation/QorDateTime.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr char kDatasetMagic[4] = {'K', 'D', 'S', '1'};
constexpr char kDeltaMagic[4] = {'K', 'D', 'D', '1'};
constexpr quint8 kFlagKey = 1;
constexpr quint8 kFlagRequired = 2;
constexpr quint8 kFlagReadOnly = 4;
constexpr quint8 kAbsent = 0;
constexpr quint8 kNull = 1;
constexpr quint8 kValue = 2;
// What the reader's results take in memory beside their texts and bytes.
constexpr std::size_t kFieldMemory = sizeof(TDAField) + 64;
constexpr std::size_t kRowMemory = sizeof(QVariantList) + 32;
constexpr std::size_t kChangeMemory = sizeof(TDADeltaChange) + 128;
constexpr std::size_t kSlotMemory = sizeof(QVariant) + 1;
// Counts never size an allocation beyond this; longer lists grow as their items arrive.
constexpr int kMaxReserve = 1024;

TDAValueKind streamKind(TDADataType type)
{
    const TDAValueKind kind = DAValueKind(type);
    return kind == TDAValueKind::None ? TDAValueKind::Text : kind;
}

class Writer
{
public:
    template <typename T> void put(T v)
    {
        T le = qToLittleEndian(v);
        m_out.append(reinterpret_cast<const char *>(&le), sizeof le);
    }
    void putDouble(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        put<quint64>(bits);
    }
    void putBytes(const QByteArray &b)
    {
        put<quint32>(quint32(b.size()));
        m_out.append(b);
    }
    void putText(const QString &s) { putBytes(s.toUtf8()); }
    void raw(const char *data, int size) { m_out.append(data, size); }

    void putValue(const QVariant &raw, TDADataType type)
    {
        const QVariant v = DAConvertValue(raw, type);
        switch (streamKind(type)) {
        case TDAValueKind::Text: putText(v.toString()); break;
        case TDAValueKind::Int32: put<qint32>(v.toInt()); break;
        case TDAValueKind::Int64: put<qint64>(v.toLongLong()); break;
        case TDAValueKind::Double: putDouble(v.toDouble()); break;
        case TDAValueKind::Boolean: put<quint8>(v.toBool() ? 1 : 0); break;
        case TDAValueKind::DateTime: putDouble(DateTimeToOle(v.toDateTime())); break;
        case TDAValueKind::Bytes: putBytes(v.toByteArray()); break;
        case TDAValueKind::None: break;
        }
    }

    void putFields(const TDAFieldList &fields)
    {
        put<quint32>(quint32(fields.size()));
        for (const TDAField &f : fields) {
            putText(f.Name);
            put<quint8>(quint8(f.DataType));
            put<qint32>(f.Size);
            put<quint8>(quint8((f.InPrimaryKey ? kFlagKey : 0) | (f.Required ? kFlagRequired : 0)
                               | (f.ReadOnly ? kFlagReadOnly : 0)));
        }
    }

    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

class Reader
{
public:
    explicit Reader(const QByteArray &in, TMemoryBudget *shared = nullptr)
        : m_in(in)
        , m_allowed(TDADataStreamer::kMemoryBase + std::size_t(in.size()) * TDADataStreamer::kMemoryPerByte)
        , m_lease(shared)
    {
    }

    // Counts what the results will take; refuses a stream whose results outgrow its size.
    void spend(std::size_t bytes)
    {
        m_spent += bytes;
        if (m_spent > m_allowed)
            bad("it would take more memory than its size allows");
        if (!m_lease.Take(bytes))
            throw EDAException(QStringLiteral("Too much data is being read at once; try again later"));
    }

    [[noreturn]] static void bad(const char *what)
    {
        throw EDAException(QStringLiteral("Malformed data stream: %1").arg(QLatin1String(what)));
    }
    qsizetype remaining() const { return m_in.size() - m_pos; }
    void need(qsizetype n) const
    {
        if (n < 0 || n > remaining())
            bad("truncated");
    }
    template <typename T> T get()
    {
        need(sizeof(T));
        T v;
        std::memcpy(&v, m_in.constData() + m_pos, sizeof v);
        m_pos += sizeof v;
        return qFromLittleEndian(v);
    }
    double getDouble()
    {
        const quint64 bits = get<quint64>();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    QByteArray getBytes()
    {
        const quint32 n = get<quint32>();
        need(qsizetype(n));
        spend(n);
        QByteArray b = m_in.mid(m_pos, qsizetype(n));
        m_pos += qsizetype(n);
        return b;
    }
    QString getText()
    {
        const QByteArray utf8 = getBytes();
        spend(std::size_t(utf8.size()) * 2);
        return QString::fromUtf8(utf8);
    }
    // A count of items that each take at least minSize bytes, checked against the rest.
    int getCount(qsizetype minSize, int limit)
    {
        const quint32 n = get<quint32>();
        if (n > quint32(limit) || (minSize > 0 && qsizetype(n) > remaining() / minSize))
            bad("count larger than the stream");
        return int(n);
    }
    void expectMagic(const char (&magic)[4])
    {
        need(4);
        if (std::memcmp(m_in.constData() + m_pos, magic, 4) != 0)
            bad("unknown format");
        m_pos += 4;
    }

    QVariant getValue(TDADataType type)
    {
        switch (streamKind(type)) {
        case TDAValueKind::Text: return getText();
        case TDAValueKind::Int32: return int(get<qint32>());
        case TDAValueKind::Int64: return qlonglong(get<qint64>());
        case TDAValueKind::Double: return getDouble();
        case TDAValueKind::Boolean: {
            const quint8 b = get<quint8>();
            if (b > 1)
                bad("boolean out of range");
            return b == 1;
        }
        case TDAValueKind::DateTime: {
            const QDateTime dt = OleToDateTime(getDouble());
            if (!dt.isValid())
                bad("date-time outside the years 1 to 9999");
            return dt;
        }
        case TDAValueKind::Bytes: return getBytes();
        case TDAValueKind::None: break;
        }
        return {};
    }

    TDAFieldList getFields()
    {
        TDAFieldList fields;
        const int n = getCount(10, TDADataStreamer::kMaxFields);
        for (int i = 0; i < n; ++i) {
            spend(kFieldMemory);
            TDAField f;
            f.Name = getText();
            const quint8 type = get<quint8>();
            if (type >= kDADataTypeCount)
                bad("unknown field type");
            f.DataType = static_cast<TDADataType>(type);
            f.Size = get<qint32>();
            const quint8 flags = get<quint8>();
            f.InPrimaryKey = flags & kFlagKey;
            f.Required = flags & kFlagRequired;
            f.ReadOnly = flags & kFlagReadOnly;
            fields << f;
        }
        return fields;
    }

    bool atEnd() const { return m_pos == m_in.size(); }

private:
    const QByteArray &m_in;
    qsizetype m_pos = 0;
    const std::size_t m_allowed;
    std::size_t m_spent = 0;
    TMemoryLease m_lease;
};

} // namespace

TDADeltaChange::TDADeltaChange(int recId, TDAChangeType type, int fieldCount)
    : RecID(recId)
    , ChangeType(type)
{
    Resize(fieldCount);
}

void TDADeltaChange::Resize(int fieldCount)
{
    m_old.resize(fieldCount);
    m_new.resize(fieldCount);
    m_hasOld.resize(fieldCount, false);
    m_hasNew.resize(fieldCount, false);
}

void TDADeltaChange::SetOldValue(int field, const QVariant &value)
{
    m_old[field] = value;
    m_hasOld[field] = true;
}

void TDADeltaChange::SetNewValue(int field, const QVariant &value)
{
    m_new[field] = value;
    m_hasNew[field] = true;
}

void TDADeltaChange::ClearNewValue(int field)
{
    m_new[field] = QVariant();
    m_hasNew[field] = false;
}

QByteArray TDADataStreamer::WriteDatasets(const QList<TDATableData> &tables)
{
    Writer w;
    w.raw(kDatasetMagic, 4);
    w.put<quint32>(quint32(tables.size()));
    for (const TDATableData &t : tables) {
        w.putText(t.Name);
        w.putFields(t.Fields);
        w.put<quint32>(quint32(t.Rows.size()));
        const int fieldCount = int(t.Fields.size());
        QByteArray bitmap((fieldCount + 7) / 8, '\0');
        for (const QVariantList &row : t.Rows) {
            if (row.size() != fieldCount)
                throw EDAException(QStringLiteral("A row of \"%1\" does not match its fields").arg(t.Name));
            bitmap.fill('\0');
            for (int i = 0; i < fieldCount; ++i)
                if (DAIsNull(row[i]))
                    bitmap[i / 8] = char(bitmap[i / 8] | (1 << (i % 8)));
            w.raw(bitmap.constData(), int(bitmap.size()));
            for (int i = 0; i < fieldCount; ++i)
                if (!DAIsNull(row[i]))
                    w.putValue(row[i], t.Fields[i].DataType);
        }
    }
    return w.take();
}

QList<TDATableData> TDADataStreamer::ReadDatasets(const QByteArray &stream)
{
    Reader r(stream);
    r.expectMagic(kDatasetMagic);
    QList<TDATableData> tables;
    const int tableCount = r.getCount(12, kMaxTables);
    for (int t = 0; t < tableCount; ++t) {
        TDATableData table;
        table.Name = r.getText();
        table.Fields = r.getFields();
        const int fieldCount = int(table.Fields.size());
        const int bitmapSize = (fieldCount + 7) / 8;
        const int rowCount = r.getCount(qMax(bitmapSize, 1), std::numeric_limits<int>::max());
        if (fieldCount == 0 && rowCount > 0)
            Reader::bad("rows without fields");
        table.Rows.reserve(std::min(rowCount, kMaxReserve));
        for (int i = 0; i < rowCount; ++i) {
            r.spend(kRowMemory + std::size_t(fieldCount) * kSlotMemory);
            QByteArray bitmap(bitmapSize, '\0');
            for (int b = 0; b < bitmapSize; ++b)
                bitmap[b] = char(r.get<quint8>());
            QVariantList row;
            row.reserve(fieldCount);
            for (int f = 0; f < fieldCount; ++f) {
                if (bitmap[f / 8] & (1 << (f % 8)))
                    row << QVariant();
                else
                    row << r.getValue(table.Fields[f].DataType);
            }
            table.Rows << row;
        }
        tables << table;
    }
    if (!r.atEnd())
        Reader::bad("bytes after the end");
    return tables;
}

QByteArray TDADataStreamer::WriteDeltas(const QList<TDADelta> &deltas)
{
    Writer w;
    w.raw(kDeltaMagic, 4);
    w.put<quint32>(quint32(deltas.size()));
    for (const TDADelta &d : deltas) {
        w.putText(d.LogicalName);
        w.putFields(d.Fields);
        w.put<quint32>(quint32(d.Changes.size()));
        for (const TDADeltaChange &c : d.Changes) {
            if (c.FieldCount() != d.Fields.size())
                throw EDAException(QStringLiteral("A change of \"%1\" does not match its fields").arg(d.LogicalName));
            w.put<qint32>(c.RecID);
            w.put<quint8>(quint8(c.ChangeType));
            w.put<quint8>(quint8(c.Status));
            w.putText(c.Message);
            for (int pass = 0; pass < 2; ++pass) {
                for (int f = 0; f < c.FieldCount(); ++f) {
                    const bool has = pass == 0 ? c.HasOldValue(f) : c.HasNewValue(f);
                    const QVariant v = pass == 0 ? c.OldValue(f) : c.NewValue(f);
                    if (!has) {
                        w.put<quint8>(kAbsent);
                    } else if (DAIsNull(v)) {
                        w.put<quint8>(kNull);
                    } else {
                        w.put<quint8>(kValue);
                        w.putValue(v, d.Fields[f].DataType);
                    }
                }
            }
        }
    }
    return w.take();
}

QList<TDADelta> TDADataStreamer::ReadDeltas(const QByteArray &stream, TMemoryBudget *shared)
{
    Reader r(stream, shared);
    r.expectMagic(kDeltaMagic);
    QList<TDADelta> deltas;
    const int deltaCount = r.getCount(12, kMaxTables);
    for (int d = 0; d < deltaCount; ++d) {
        TDADelta delta;
        delta.LogicalName = r.getText();
        delta.Fields = r.getFields();
        const int fieldCount = int(delta.Fields.size());
        const int changeCount = r.getCount(10 + 2 * fieldCount, std::numeric_limits<int>::max());
        for (int i = 0; i < changeCount; ++i) {
            // A change holds an old and a new slot per field, whether the stream carries them or not.
            r.spend(kChangeMemory + 2 * std::size_t(fieldCount) * kSlotMemory);
            TDADeltaChange c;
            c.RecID = r.get<qint32>();
            const quint8 type = r.get<quint8>();
            const quint8 status = r.get<quint8>();
            if (type > quint8(TDAChangeType::ctDelete) || status > quint8(TDAChangeStatus::csFailed))
                Reader::bad("unknown change kind or status");
            c.ChangeType = static_cast<TDAChangeType>(type);
            c.Status = static_cast<TDAChangeStatus>(status);
            c.Message = r.getText();
            c.Resize(fieldCount);
            for (int pass = 0; pass < 2; ++pass) {
                for (int f = 0; f < fieldCount; ++f) {
                    const quint8 tag = r.get<quint8>();
                    if (tag > kValue)
                        Reader::bad("unknown value tag");
                    if (tag == kAbsent)
                        continue;
                    const QVariant v = tag == kNull ? QVariant() : r.getValue(delta.Fields[f].DataType);
                    if (pass == 0)
                        c.SetOldValue(f, v);
                    else
                        c.SetNewValue(f, v);
                }
            }
            delta.Changes << c;
        }
        deltas << delta;
    }
    if (!r.atEnd())
        Reader::bad("bytes after the end");
    return deltas;
}
