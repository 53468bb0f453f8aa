#include "dataaccess/TDADataStreamer.h"

#include "dataaccess/DAException.h"
#include "foundation/MemoryBudget.h"
#include "foundation/QorDateTime.h"

#include <QLocale>
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

// Writes into a buffer it grows itself, so values go straight into the stream without a
// temporary of their own.
class Writer
{
public:
    explicit Writer(qsizetype expected = 0, std::size_t limit = TDADataStreamer::kMaxStreamSize)
        : m_limit(qsizetype(qMin<std::size_t>(limit, std::size_t(std::numeric_limits<qsizetype>::max()))))
    {
        m_out.resize(qBound<qsizetype>(256, expected, m_limit));
    }

    template <typename T> void put(T v)
    {
        T le = qToLittleEndian(v);
        std::memcpy(grow(sizeof le), &le, sizeof le);
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
        raw(b.constData(), b.size());
    }
    void putText(QStringView s)
    {
        // Most texts are ASCII: copied as they stand; from the first other character on the
        // UTF-8 encoder takes over.
        const qsizetype n = s.size();
        const qsizetype start = m_size;
        char *out = grow(4 + n) + 4;
        const char16_t *in = s.utf16();
        qsizetype i = 0;
        for (; i < n && in[i] < 0x80; ++i)
            out[i] = char(in[i]);
        if (i < n) {
            m_size = start + 4 + i;
            const QByteArray rest = s.sliced(i).toUtf8();
            raw(rest.constData(), rest.size());
        }
        const quint32 length = qToLittleEndian(quint32(m_size - start - 4));
        std::memcpy(m_out.data() + start, &length, sizeof length);
    }
    void raw(const char *data, qsizetype size)
    {
        if (size > 0)
            std::memcpy(grow(size), data, size_t(size));
    }

    void putValue(const QVariant &given, TDADataType type)
    {
        // Values read from the database are in their canonical form already.
        const TDAValueKind kind = streamKind(type);
        QVariant converted;
        const QVariant *v = &given;
        if (!DAIsCanonical(given, kind)) {
            converted = DAConvertValue(given, type);
            v = &converted;
        }
        switch (kind) {
        case TDAValueKind::Text:
            if (v->typeId() == QMetaType::QString)
                putText(*static_cast<const QString *>(v->constData()));
            else
                putText(v->toString());
            break;
        case TDAValueKind::Int32: put<qint32>(v->toInt()); break;
        case TDAValueKind::Int64: put<qint64>(v->toLongLong()); break;
        case TDAValueKind::Double: putDouble(v->toDouble()); break;
        case TDAValueKind::Boolean: put<quint8>(v->toBool() ? 1 : 0); break;
        case TDAValueKind::DateTime: putDouble(DateTimeToOle(v->toDateTime())); break;
        case TDAValueKind::Bytes: putBytes(v->toByteArray()); break;
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

    qsizetype size() const { return m_size; }
    template <typename T> void patch(qsizetype at, T v)
    {
        T le = qToLittleEndian(v);
        std::memcpy(m_out.data() + at, &le, sizeof le);
    }

    QByteArray take()
    {
        m_out.resize(m_size);
        return std::move(m_out);
    }

private:
    // Room for n more bytes; the pointer holds until the next call.
    char *grow(qsizetype n)
    {
        // Refused before the bytes are spent: a reply beyond the limit could never be sent.
        if (n > m_limit - m_size)
            throw EDAException(QStringLiteral("The data asked for would take more than %1; ask for fewer rows or columns")
                                   .arg(QLocale::c().formattedDataSize(m_limit, 0)));
        if (m_size + n > m_out.size())
            m_out.resize(qMin(qMax(m_out.size() * 2, m_size + n), m_limit));
        char *at = m_out.data() + m_size;
        m_size += n;
        return at;
    }

    QByteArray m_out;
    qsizetype m_size = 0;
    const qsizetype m_limit;
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
    // The next n bytes where they lie in the stream.
    const char *take(qsizetype n)
    {
        need(n);
        const char *at = m_in.constData() + m_pos;
        m_pos += n;
        return at;
    }
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
        const quint32 n = get<quint32>();
        need(qsizetype(n));
        spend(std::size_t(n) * 3);
        const QString text = QString::fromUtf8(m_in.constData() + m_pos, qsizetype(n));
        m_pos += qsizetype(n);
        return text;
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

struct TDADatasetWriter::Buffer : Writer
{
    using Writer::Writer;
};

TDADatasetWriter::TDADatasetWriter(int tableCount, qsizetype expectedSize, std::size_t sizeLimit)
    : m_out(std::make_unique<Buffer>(expectedSize + 64, sizeLimit))
    , m_tablesLeft(tableCount)
{
    m_out->raw(kDatasetMagic, 4);
    m_out->put<quint32>(quint32(tableCount));
}

TDADatasetWriter::~TDADatasetWriter() = default;

void TDADatasetWriter::BeginTable(const QString &name, const TDAFieldList &fields)
{
    if (m_tablesLeft <= 0 || m_inTable)
        throw EDAException(QStringLiteral("Table \"%1\" does not fit in the data stream").arg(name));
    // No reader takes more fields than this; a writer never makes what no reader takes.
    if (fields.size() > TDADataStreamer::kMaxFields)
        throw EDAException(QStringLiteral("Table \"%1\" has %2 fields, more than the %3 a data stream may carry")
                               .arg(name)
                               .arg(fields.size())
                               .arg(TDADataStreamer::kMaxFields));
    --m_tablesLeft;
    m_inTable = true;
    m_out->putText(name);
    m_out->putFields(fields);
    m_countAt = m_out->size();
    m_out->put<quint32>(0);
    m_rows = 0;
    m_fields = fields;
    m_nulls.clear();
    m_bitmap.resize((fields.size() + 7) / 8);
    m_next = 0;
}

void TDADatasetWriter::BeginRow(const bool *nulls)
{
    if (!m_inTable || m_next < m_nulls.size())
        throw EDAException(QStringLiteral("A row does not fit in the data stream"));
    ++m_rows;
    const int fieldCount = int(m_fields.size());
    m_nulls.resize(fieldCount);
    m_bitmap.fill(0);
    char *bitmap = m_bitmap.data();
    for (int i = 0; i < fieldCount; ++i) {
        m_nulls[i] = nulls[i];
        if (nulls[i])
            bitmap[i / 8] = char(bitmap[i / 8] | (1 << (i % 8)));
    }
    m_out->raw(bitmap, m_bitmap.size());
    m_next = 0;
    while (m_next < fieldCount && m_nulls[m_next])
        ++m_next;
}

void TDADatasetWriter::EndTable()
{
    if (!m_inTable || m_next < m_nulls.size())
        throw EDAException(QStringLiteral("The data stream was left incomplete"));
    m_inTable = false;
    m_out->patch<quint32>(m_countAt, m_rows);
}

const TDAField &TDADatasetWriter::Next(TDAValueKind kind)
{
    if (m_next >= m_nulls.size())
        throw EDAException(QStringLiteral("A value does not fit in the row of the data stream"));
    const TDAField &f = m_fields[m_next];
    if (kind != TDAValueKind::None && kind != streamKind(f.DataType))
        throw EDAException(QStringLiteral("A value of the wrong kind was given for field \"%1\"").arg(f.Name));
    do
        ++m_next;
    while (m_next < m_nulls.size() && m_nulls[m_next]);
    return f;
}

void TDADatasetWriter::PutValue(const QVariant &value)
{
    const TDAField &f = Next(TDAValueKind::None);
    m_out->putValue(value, f.DataType);
}

void TDADatasetWriter::PutText(QStringView text)
{
    Next(TDAValueKind::Text);
    m_out->putText(text);
}

void TDADatasetWriter::PutUtf8(const char *utf8, qsizetype size)
{
    Next(TDAValueKind::Text);
    m_out->put<quint32>(quint32(size));
    m_out->raw(utf8, size);
}

void TDADatasetWriter::PutInt32(qint32 value)
{
    Next(TDAValueKind::Int32);
    m_out->put<qint32>(value);
}

void TDADatasetWriter::PutInt64(qint64 value)
{
    Next(TDAValueKind::Int64);
    m_out->put<qint64>(value);
}

void TDADatasetWriter::PutDouble(double value)
{
    Next(TDAValueKind::Double);
    m_out->putDouble(value);
}

void TDADatasetWriter::PutBoolean(bool value)
{
    Next(TDAValueKind::Boolean);
    m_out->put<quint8>(value ? 1 : 0);
}

void TDADatasetWriter::PutDateTime(const QDateTime &value)
{
    Next(TDAValueKind::DateTime);
    m_out->putDouble(DateTimeToOle(value));
}

void TDADatasetWriter::PutBytes(const QByteArray &value)
{
    Next(TDAValueKind::Bytes);
    m_out->putBytes(value);
}

QByteArray TDADatasetWriter::Take()
{
    if (m_tablesLeft > 0 || m_inTable)
        throw EDAException(QStringLiteral("The data stream was left incomplete"));
    return m_out->take();
}

QByteArray TDADataStreamer::WriteDatasets(const QList<TDATableData> &tables)
{
    qsizetype expected = 0;
    for (const TDATableData &t : tables)
        expected += t.Rows.size() * (t.Fields.size() * 8 + 1);
    TDADatasetWriter w(int(tables.size()), expected);
    QList<bool> nulls;
    for (const TDATableData &t : tables) {
        w.BeginTable(t.Name, t.Fields);
        const int fieldCount = int(t.Fields.size());
        nulls.resize(fieldCount);
        for (const QVariantList &row : t.Rows) {
            if (row.size() != fieldCount)
                throw EDAException(QStringLiteral("A row of \"%1\" does not match its fields").arg(t.Name));
            for (int i = 0; i < fieldCount; ++i)
                nulls[i] = DAIsNull(row[i]);
            w.BeginRow(nulls.constData());
            for (int i = 0; i < fieldCount; ++i)
                if (!nulls[i])
                    w.PutValue(row[i]);
        }
        w.EndTable();
    }
    return w.Take();
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
            const char *bitmap = r.take(bitmapSize);
            QVariantList row;
            row.reserve(fieldCount);
            for (int f = 0; f < fieldCount; ++f) {
                if (bitmap[f / 8] & (1 << (f % 8)))
                    row.emplaceBack();
                else
                    row.emplaceBack(r.getValue(table.Fields[f].DataType));
            }
            table.Rows.emplaceBack(std::move(row));
        }
        tables << std::move(table);
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
            delta.Changes.emplaceBack(std::move(c));
        }
        deltas << std::move(delta);
    }
    if (!r.atEnd())
        Reader::bad("bytes after the end");
    return deltas;
}
