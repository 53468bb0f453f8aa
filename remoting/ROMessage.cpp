#include "remoting/ROMessage.h"

#include "remoting/ROErrors.h"

#include "foundation/MemoryBudget.h"

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

const char kMagic[4] = {'K', 'Q', 'M', '1'};
constexpr quint8 kVersion = 1;
constexpr quint8 kFlagCompressed = 0x01;
constexpr std::size_t kHeaderSize = 4 + 1 + 1 + 1 + 16;
constexpr qsizetype kFlagsAt = 4 + 1 + 1;
// Every named value needs at least its name length and its tag; every element its tag.
constexpr std::size_t kMinNamedValue = 5;
constexpr std::size_t kMinElement = 1;
// What one value read costs in memory beside its payload, for the shared budget: the value and
// the room its list keeps for growing.
constexpr std::size_t kValueMemory = 2 * sizeof(RONamedValue);
// Counts never size an allocation beyond this; longer arrays grow as their elements arrive.
constexpr std::size_t kMaxReserve = 1024;

// What reading one message may take: a number of values proportional to its body, and the
// memory it allocates from the shared budget when one is given.
class Allowance
{
public:
    explicit Allowance(TMemoryBudget *shared) : m_lease(shared) {}

    void SetBody(std::size_t bodySize)
    {
        m_values = RemotingLimits::kMinValueBudget + bodySize / RemotingLimits::kBodyBytesPerValue;
    }
    // Taken when a count is read, before any of its values: a hostile count is refused at
    // once instead of after reading (and allocating) all the values the budget allows.
    void Values(std::size_t n)
    {
        if (n > m_values)
            throw EROMessageError(QStringLiteral("The message holds more values than its size allows"));
        m_values -= n;
        Memory(n * kValueMemory);
    }
    void Memory(std::size_t bytes)
    {
        if (!m_lease.Take(bytes))
            throw EROMessageError(QStringLiteral("The server is reading too many messages at once; try again later"));
    }

private:
    TMemoryLease m_lease;
    std::size_t m_values = 0;
};

// A stretch of a message body laid out for TROMessageWriter: bytes, or a Binary that stands for a file.
struct BodyPart
{
    QByteArray Bytes;
    ROValue File;
};

// Writes a message body. Given where the packed message goes, a body that grows past
// kPackWhileWritingAfter is deflated from then on as it is written, so a large reply is never
// held plain and packed at once. Given parts instead, files are left where they are: the body
// is laid out as the bytes around them.
class Writer
{
public:
    explicit Writer(std::size_t limit, QByteArray *packed = nullptr, std::vector<BodyPart> *parts = nullptr)
        : m_limit(limit), m_packed(packed), m_parts(parts)
    {
    }
    ~Writer()
    {
        if (m_packing)
            deflateEnd(&m_zs);
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void Byte(quint8 v) { Append(&v, 1); }
    void U32(quint32 v)
    {
        const quint32 le = qToLittleEndian(v);
        Append(&le, 4);
    }
    void I64(qint64 v)
    {
        const qint64 le = qToLittleEndian(v);
        Append(&le, 8);
    }
    void F64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        I64(qint64(bits));
    }
    void Bytes(const QByteArray &b)
    {
        if (std::size_t(b.size()) > std::numeric_limits<quint32>::max())
            throw EROMessageError(QStringLiteral("A value is too large for a message"));
        U32(quint32(b.size()));
        Append(b.constData(), std::size_t(b.size()));
    }
    void Str(const QString &s) { Bytes(s.toUtf8()); }

    void Value(const ROValue &v, int depth)
    {
        if (depth > RemotingLimits::kMaxNesting)
            throw EROMessageError(QStringLiteral("Values nest too deep"));
        Byte(static_cast<quint8>(v.Type()));
        Payload(v, depth);
    }

    void Payload(const ROValue &v, int depth)
    {
        switch (v.Type()) {
        case ROType::Nil:
            return;
        case ROType::Integer:
            U32(quint32(v.ToInteger()));
            return;
        case ROType::Int64:
            I64(v.ToInt64());
            return;
        case ROType::Double:
            F64(v.ToDouble());
            return;
        case ROType::Currency:
            I64(v.ToCurrency());
            return;
        case ROType::Boolean:
            Byte(v.ToBoolean() ? 1 : 0);
            return;
        case ROType::DateTime:
            F64(v.ToDateTime());
            return;
        case ROType::AnsiString:
        case ROType::Utf8String:
        case ROType::WideString:
        case ROType::Xml:
            Str(v.ToString());
            return;
        case ROType::Guid: {
            const QByteArray raw = v.ToGuid().toRfc4122();
            Append(raw.constData(), 16);
            return;
        }
        case ROType::Binary:
            Byte(v.IsNil() ? 0 : 1);
            if (v.IsNil())
                return;
            if (m_parts && v.IsFile())
                File(v);
            else
                Bytes(v.ToBinary());
            return;
        case ROType::Variant:
            Value(v.Inner(), depth + 1);
            return;
        case ROType::Record:
            Byte(v.IsNil() ? 0 : 1);
            if (v.IsNil())
                return;
            Str(v.TypeName());
            U32(quint32(v.Fields().size()));
            for (const RONamedValue &f : v.Fields()) {
                Str(f.Name);
                Value(f.Value, depth + 1);
            }
            return;
        case ROType::Array:
            Byte(v.IsNil() ? 0 : 1);
            if (v.IsNil())
                return;
            Str(v.TypeName());
            U32(quint32(v.Items().size()));
            for (const ROValue &item : v.Items())
                Value(item, depth + 1);
            return;
        case ROType::Enum:
            Str(v.TypeName());
            U32(v.Ordinal());
            return;
        }
    }

    // The plain body, when it was not packed as it was written.
    QByteArray Take() { return std::move(m_out); }
    // Whether the body went packed into the given array; its end is then written by Finish.
    bool Packed() const { return m_packing; }
    std::size_t Size() const { return m_size; }
    void Finish()
    {
        Deflate(nullptr, 0, Z_FINISH);
        m_packed->truncate(m_packedSize);
    }

private:
    void File(const ROValue &v)
    {
        const qint64 size = v.FileSize();
        if (quint64(size) > std::numeric_limits<quint32>::max())
            throw EROMessageError(QStringLiteral("A value is too large for a message"));
        U32(quint32(size));
        Grow(std::size_t(size));
        m_parts->push_back({std::exchange(m_out, QByteArray()), ROValue()});
        m_parts->push_back({QByteArray(), v});
    }

    void Grow(std::size_t size)
    {
        if (size > m_limit - m_size)
            throw EROMessageError(QStringLiteral("The message exceeds %1 bytes").arg(m_limit));
        m_size += size;
    }

    void Append(const void *data, std::size_t size)
    {
        Grow(size);
        if (!m_packing && m_packed && m_size > RemotingLimits::kPackWhileWritingAfter) {
            if (deflateInit(&m_zs, Z_BEST_SPEED) != Z_OK)
                throw EROMessageError(QStringLiteral("Compression could not start"));
            m_packing = true;
            m_packedSize = m_packed->size();
            const QByteArray head = std::move(m_out);
            m_out = QByteArray();
            Deflate(head.constData(), std::size_t(head.size()), Z_NO_FLUSH);
        }
        if (m_packing)
            Deflate(data, size, Z_NO_FLUSH);
        else
            m_out.append(static_cast<const char *>(data), qsizetype(size));
    }

    void Deflate(const void *data, std::size_t size, int flush)
    {
        m_zs.next_in = static_cast<Bytef *>(const_cast<void *>(data));
        m_zs.avail_in = uInt(size);
        for (;;) {
            if (m_packedSize == m_packed->size())
                m_packed->resize(m_packedSize + qMax<qsizetype>(m_packedSize / 2, qsizetype(size / 2) + 64 * 1024));
            m_zs.next_out = reinterpret_cast<Bytef *>(m_packed->data() + m_packedSize);
            m_zs.avail_out = uInt(m_packed->size() - m_packedSize);
            const int rc = deflate(&m_zs, flush);
            m_packedSize = m_packed->size() - qsizetype(m_zs.avail_out);
            if (rc == Z_STREAM_ERROR)
                throw EROMessageError(QStringLiteral("Compression failed (%1)").arg(rc));
            if (flush == Z_FINISH ? rc == Z_STREAM_END : m_zs.avail_in == 0 && m_zs.avail_out > 0)
                return;
        }
    }

    std::size_t m_limit;
    std::size_t m_size = 0;
    QByteArray m_out;
    QByteArray *m_packed;
    std::vector<BodyPart> *m_parts;
    bool m_packing = false;
    qsizetype m_packedSize = 0;
    z_stream m_zs{};
};

class Reader
{
public:
    Reader(const char *data, std::size_t size, Allowance *allowance = nullptr)
        : m_data(data), m_size(size), m_allowance(allowance)
    {
    }

    std::size_t Remaining() const { return m_size - m_pos; }

    const char *Raw(std::size_t n)
    {
        if (n > Remaining())
            throw EROMessageError(QStringLiteral("The message is truncated"));
        const char *p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    quint8 Byte() { return quint8(*Raw(1)); }
    quint32 U32() { return qFromLittleEndian<quint32>(Raw(4)); }
    qint64 I64() { return qFromLittleEndian<qint64>(Raw(8)); }
    double F64()
    {
        const quint64 bits = quint64(I64());
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    QByteArray Bytes()
    {
        const quint32 n = U32();
        const char *p = Raw(n);
        Spend(n);
        return QByteArray(p, qsizetype(n));
    }
    QString Str()
    {
        const quint32 n = U32();
        const char *p = Raw(n);
        Spend(std::size_t(n) * 2);
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString s = decoder(QByteArrayView(p, qsizetype(n)));
        if (decoder.hasError())
            throw EROMessageError(QStringLiteral("A text is not valid UTF-8"));
        return s;
    }
    // A count of values, each at least minItemSize bytes on the wire.
    quint32 Count(std::size_t minItemSize)
    {
        const quint32 n = U32();
        if (std::size_t(n) > Remaining() / minItemSize)
            throw EROMessageError(QStringLiteral("A count of %1 exceeds what the message holds").arg(n));
        TakeValues(n);
        return n;
    }
    void TakeValues(std::size_t n)
    {
        if (m_allowance)
            m_allowance->Values(n);
    }
    bool Present()
    {
        const quint8 b = Byte();
        if (b > 1)
            throw EROMessageError(QStringLiteral("Bad presence marker %1").arg(b));
        return b == 1;
    }

    ROValue Value(int depth)
    {
        if (depth > RemotingLimits::kMaxNesting)
            throw EROMessageError(QStringLiteral("Values nest too deep"));
        const quint8 tag = Byte();
        if (tag > kROTypeLast)
            throw EROMessageError(QStringLiteral("Unknown type tag %1").arg(tag));
        const auto type = static_cast<ROType>(tag);
        switch (type) {
        case ROType::Nil:
            return ROValue();
        case ROType::Integer:
            return ROValue::FromInteger(qint32(U32()));
        case ROType::Int64:
            return ROValue::FromInt64(I64());
        case ROType::Double:
            return ROValue::FromDouble(F64());
        case ROType::Currency:
            return ROValue::FromCurrency(I64());
        case ROType::Boolean: {
            const quint8 b = Byte();
            if (b > 1)
                throw EROMessageError(QStringLiteral("Bad Boolean %1").arg(b));
            return ROValue::FromBoolean(b == 1);
        }
        case ROType::DateTime:
            return ROValue::FromDateTime(F64());
        case ROType::AnsiString:
        case ROType::Utf8String:
        case ROType::WideString:
            return ROValue::FromString(type, Str());
        case ROType::Xml:
            return ROValue::FromXml(Str());
        case ROType::Guid:
            return ROValue::FromGuid(QUuid::fromRfc4122(QByteArrayView(Raw(16), 16)));
        case ROType::Binary:
            return Present() ? ROValue::FromBinary(Bytes()) : ROValue::NilOf(ROType::Binary);
        case ROType::Variant:
            // FromVariant refuses inner records, arrays, enums and variants.
            TakeValues(1);
            return ROValue::FromVariant(Value(depth + 1));
        case ROType::Record: {
            if (!Present())
                return ROValue::NilOf(ROType::Record);
            const QString typeName = Str();
            const quint32 n = Count(kMinNamedValue);
            std::vector<RONamedValue> fields;
            fields.reserve(std::min<std::size_t>(n, kMaxReserve));
            for (quint32 i = 0; i < n; ++i) {
                QString name = Str();
                fields.push_back({std::move(name), Value(depth + 1)});
            }
            return ROValue::FromRecord(typeName, std::move(fields));
        }
        case ROType::Array: {
            if (!Present())
                return ROValue::NilOf(ROType::Array);
            const QString elementType = Str();
            const quint32 n = Count(kMinElement);
            std::vector<ROValue> items;
            items.reserve(std::min<std::size_t>(n, kMaxReserve));
            for (quint32 i = 0; i < n; ++i)
                items.push_back(Value(depth + 1));
            return ROValue::FromArray(elementType, std::move(items));
        }
        case ROType::Enum: {
            const QString typeName = Str();
            return ROValue::FromEnum(typeName, U32());
        }
        }
        throw EROMessageError(QStringLiteral("Unknown type tag %1").arg(tag));
    }

private:
    void Spend(std::size_t bytes)
    {
        if (m_allowance)
            m_allowance->Memory(bytes);
    }

    const char *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    Allowance *m_allowance;
};

// Appends the packed body to out, straight into its buffer: a large reply is held twice at
// most (plain and packed), never three times.
void CompressInto(const QByteArray &body, QByteArray &out)
{
    const qsizetype at = out.size();
    uLongf bound = compressBound(uLong(body.size()));
    out.resize(at + qsizetype(bound));
    const int rc = compress2(reinterpret_cast<Bytef *>(out.data() + at), &bound,
                             reinterpret_cast<const Bytef *>(body.constData()), uLong(body.size()), Z_BEST_SPEED);
    if (rc != Z_OK)
        throw EROMessageError(QStringLiteral("Compression failed (%1)").arg(rc));
    out.truncate(at + qsizetype(bound));
}

// Inflates into a buffer of the stated size, taken from the allowance first. Pages the stream
// does not fill are never touched, so a forged size claim costs address space, not memory.
QByteArray Decompress(const char *data, std::size_t size, std::size_t expected, Allowance &allowance)
{
    allowance.Memory(expected);
    QByteArray out(qsizetype(expected), Qt::Uninitialized);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        throw EROMessageError(QStringLiteral("Decompression could not start"));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    zs.avail_in = uInt(size);
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(expected);
    const int rc = inflate(&zs, Z_FINISH);
    const uInt unfilled = zs.avail_out;
    const uInt trailing = zs.avail_in;
    inflateEnd(&zs);
    if (rc == Z_BUF_ERROR && unfilled == 0)
        throw EROMessageError(QStringLiteral("The body unpacks to more than its stated size"));
    if (rc == Z_BUF_ERROR)
        throw EROMessageError(QStringLiteral("The compressed body is truncated"));
    if (rc != Z_STREAM_END)
        throw EROMessageError(QStringLiteral("The compressed body is damaged"));
    if (unfilled != 0 || trailing != 0)
        throw EROMessageError(QStringLiteral("The compressed body does not match its stated size"));
    return out;
}

// The header; a compressed message's unpacked size is the writer's to append.
QByteArray Head(const TROMessage &message, bool compressed)
{
    QByteArray out;
    out.reserve(qsizetype(kHeaderSize + 4));
    out.append(kMagic, 4);
    out.append(char(kVersion));
    out.append(char(message.Kind()));
    out.append(char(compressed ? kFlagCompressed : 0));
    out.append(message.ClientID().toRfc4122());
    return out;
}

void WriteBody(const TROMessage &message, Writer &body)
{
    body.Str(message.LibraryName());
    body.Str(message.InterfaceName());
    body.Str(message.MessageName());
    body.U32(quint32(message.Values().size()));
    for (const RONamedValue &v : message.Values()) {
        body.Str(v.Name);
        body.Value(v.Value, 0);
    }
}

} // namespace

void TROMessage::Reset(ROMessageKind kind, const QString &library, const QString &interfaceName, const QString &name)
{
    ClearValues();
    m_kind = kind;
    m_library = library;
    m_interface = interfaceName;
    m_messageName = name;
}

void TROMessage::InitializeRequest(const QString &library, const QString &interfaceName, const QString &operation)
{
    Reset(ROMessageKind::Request, library, interfaceName, operation);
}

void TROMessage::InitializeResponse(const QString &library, const QString &interfaceName, const QString &operation)
{
    Reset(ROMessageKind::Response, library, interfaceName, operation + ResponseSuffix);
}

void TROMessage::InitializeEvent(const QString &library, const QString &sinkName, const QString &eventName)
{
    Reset(ROMessageKind::Event, library, sinkName, eventName);
}

void TROMessage::InitializeError(const QString &library, const QString &interfaceName, const QString &operation,
                                 const QString &className, const QString &text)
{
    Reset(ROMessageKind::Error, library, interfaceName, operation);
    WriteUtf8String(ErrorClassValue, className);
    WriteUtf8String(ErrorMessageValue, text);
}

QByteArray TROMessage::SaveToBytes(std::size_t limit) const
{
    // The head of a packed message, with room for the stated size; a body packed as it is
    // written follows straight away.
    QByteArray out = Head(*this, true);
    out.append(4, '\0');
    Writer body(limit, &out);
    WriteBody(*this, body);
    if (body.Packed()) {
        body.Finish();
        qToLittleEndian(quint32(body.Size()), out.data() + kHeaderSize);
        return out;
    }
    QByteArray plain = body.Take();
    const bool compress = std::size_t(plain.size()) > RemotingLimits::kCompressThreshold;

    out.truncate(qsizetype(kHeaderSize));
    out[kFlagsAt] = char(compress ? kFlagCompressed : 0);
    out.reserve(qsizetype(kHeaderSize + 4) + (compress ? qsizetype(compressBound(uLong(plain.size()))) : plain.size()));
    if (compress) {
        char size[4];
        qToLittleEndian(quint32(plain.size()), size);
        out.append(size, 4);
        CompressInto(plain, out);
    } else {
        out.append(plain);
    }
    return out;
}

void TROMessage::LoadFromBytes(const QByteArray &data, std::size_t limit, TMemoryBudget *shared)
{
    Reset(ROMessageKind::Request, QString(), QString(), QString());
    m_clientId = QUuid();
    Reader header(data.constData(), std::size_t(data.size()));
    if (std::memcmp(header.Raw(4), kMagic, 4) != 0)
        throw EROMessageError(QStringLiteral("Not a message (bad signature)"));
    const quint8 version = header.Byte();
    if (version != kVersion)
        throw EROMessageError(QStringLiteral("Unsupported message version %1").arg(version));
    const quint8 kind = header.Byte();
    if (kind < quint8(ROMessageKind::Request) || kind > quint8(ROMessageKind::Event))
        throw EROMessageError(QStringLiteral("Unknown message kind %1").arg(kind));
    const quint8 flags = header.Byte();
    if ((flags & ~kFlagCompressed) != 0)
        throw EROMessageError(QStringLiteral("Unknown message flags %1").arg(flags));
    const QUuid clientId = QUuid::fromRfc4122(QByteArrayView(header.Raw(16), 16));

    // Declared before the unpacked body, so its memory is given back only once the body is freed.
    Allowance allowance(shared);
    QByteArray unpacked;
    const char *bodyData = nullptr;
    std::size_t bodySize = 0;
    if (flags & kFlagCompressed) {
        const quint32 stated = header.U32();
        if (stated > limit)
            throw EROMessageError(QStringLiteral("The body would unpack to %1 bytes, more than %2").arg(stated).arg(limit));
        unpacked = Decompress(data.constData() + kHeaderSize + 4, header.Remaining(), stated, allowance);
        bodyData = unpacked.constData();
        bodySize = std::size_t(unpacked.size());
    } else {
        bodyData = data.constData() + kHeaderSize;
        bodySize = header.Remaining();
        if (bodySize > limit)
            throw EROMessageError(QStringLiteral("The message exceeds %1 bytes").arg(limit));
    }

    allowance.SetBody(bodySize);
    Reader body(bodyData, bodySize, &allowance);
    const QString library = body.Str();
    const QString interfaceName = body.Str();
    const QString messageName = body.Str();
    const quint32 count = body.Count(kMinNamedValue);
    std::vector<RONamedValue> values;
    values.reserve(std::min<std::size_t>(count, kMaxReserve));
    for (quint32 i = 0; i < count; ++i) {
        QString name = body.Str();
        values.push_back({std::move(name), body.Value(0)});
    }
    if (body.Remaining() != 0)
        throw EROMessageError(QStringLiteral("%1 stray bytes follow the message").arg(body.Remaining()));

    m_kind = static_cast<ROMessageKind>(kind);
    m_library = library;
    m_interface = interfaceName;
    m_messageName = messageName;
    m_clientId = clientId;
    SetValues(std::move(values));
}

void TROMessage::RaiseIfError() const
{
    if (m_kind != ROMessageKind::Error)
        return;
    QString className = QStringLiteral("EROServerError");
    QString text;
    for (const RONamedValue &v : Values()) {
        if (v.Name == ErrorClassValue && ROTypeIsString(v.Value.Type()))
            className = v.Value.ToString();
        else if (v.Name == ErrorMessageValue && ROTypeIsString(v.Value.Type()))
            text = v.Value.ToString();
    }
    throw EROServerError(className, text);
}

bool TROMessage::IsErrorMessage(const QByteArray &data)
{
    return std::size_t(data.size()) >= kHeaderSize && std::memcmp(data.constData(), kMagic, 4) == 0
           && quint8(data.at(5)) == quint8(ROMessageKind::Error);
}

bool TROMessage::HoldsFiles() const
{
    return std::any_of(Values().begin(), Values().end(), [](const RONamedValue &v) { return v.Value.HoldsFile(); });
}

struct TROMessageWriter::Impl
{
    QByteArray Head;
    std::vector<BodyPart> Parts;
    bool Compressed = false;
    std::size_t Length = 0;

    // Where the writing stands.
    bool HeadWritten = false;
    std::size_t Part = 0;
    qint64 Offset = 0;
    std::size_t Written = 0;
    QFile File;
    QByteArray Plain; // body bytes on their way into the packer
    z_stream Zs{};
    bool Deflating = false;
    bool PlainDone = false;
    bool PackDone = false;

    ~Impl()
    {
        if (Deflating)
            deflateEnd(&Zs);
    }

    void Rewind()
    {
        HeadWritten = PlainDone = PackDone = false;
        Part = Written = 0;
        Offset = 0;
        File.close();
        if (Deflating)
            deflateReset(&Zs);
        Zs.avail_in = 0;
    }

    // The message's next bytes, at most room of them; none once it is written.
    std::size_t Fill(char *into, std::size_t room)
    {
        std::size_t used = 0;
        if (!HeadWritten) {
            std::memcpy(into, Head.constData(), std::size_t(Head.size()));
            used = std::size_t(Head.size());
            HeadWritten = true;
        }
        if (Compressed)
            return used + Pack(into + used, room - used);
        while (used < room) {
            const std::size_t n = Take(into + used, room - used);
            if (n == 0)
                break;
            used += n;
        }
        return used;
    }

    std::size_t Pack(char *into, std::size_t room)
    {
        Zs.next_out = reinterpret_cast<Bytef *>(into);
        Zs.avail_out = uInt(room);
        while (Zs.avail_out > 0 && !PackDone) {
            if (Zs.avail_in == 0 && !PlainDone) {
                const std::size_t n = Take(Plain.data(), std::size_t(Plain.size()));
                PlainDone = n == 0;
                Zs.next_in = reinterpret_cast<Bytef *>(Plain.data());
                Zs.avail_in = uInt(n);
            }
            const int rc = deflate(&Zs, PlainDone ? Z_FINISH : Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                PackDone = true;
            else if (rc != Z_OK && rc != Z_BUF_ERROR)
                throw EROMessageError(QStringLiteral("Compression failed (%1)").arg(rc));
        }
        return room - Zs.avail_out;
    }

    // The next plain bytes of the body, at most room of them (room > 0); none at its end.
    std::size_t Take(char *into, std::size_t room)
    {
        for (; Part < Parts.size(); ++Part, Offset = 0) {
            const BodyPart &part = Parts[Part];
            const bool file = part.File.IsFile();
            const qint64 size = file ? part.File.FileSize() : part.Bytes.size();
            const qint64 n = std::min(qint64(room), size - Offset);
            if (n > 0) {
                if (!file) {
                    std::memcpy(into, part.Bytes.constData() + Offset, std::size_t(n));
                } else {
                    if (!File.isOpen())
                        part.File.OpenFile(File);
                    part.File.ReadFile(File, into, n);
                }
                Offset += n;
                return std::size_t(n);
            }
            File.close();
        }
        return 0;
    }
};

TROMessageWriter::TROMessageWriter(const TROMessage &message, std::size_t limit) : d(std::make_unique<Impl>())
{
    Writer body(limit, nullptr, &d->Parts);
    WriteBody(message, body);
    d->Parts.push_back({body.Take(), ROValue()});
    d->Compressed = body.Size() > RemotingLimits::kCompressThreshold;
    d->Head = Head(message, d->Compressed);
    if (!d->Compressed) {
        d->Length = std::size_t(d->Head.size()) + body.Size();
        return;
    }
    char size[4];
    qToLittleEndian(quint32(body.Size()), size);
    d->Head.append(size, 4);
    if (deflateInit(&d->Zs, Z_BEST_SPEED) != Z_OK)
        throw EROMessageError(QStringLiteral("Compression could not start"));
    d->Deflating = true;
    d->Plain.resize(qsizetype(RemotingLimits::kReplyPieceSize));
    QByteArray piece(qsizetype(RemotingLimits::kReplyPieceSize), Qt::Uninitialized);
    for (std::size_t n; (n = d->Fill(piece.data(), std::size_t(piece.size()))) > 0;)
        d->Length += n;
    d->Rewind();
}

TROMessageWriter::~TROMessageWriter() = default;

std::size_t TROMessageWriter::Length() const
{
    return d->Length;
}

bool TROMessageWriter::Next(QByteArray &piece)
{
    piece.resize(qsizetype(RemotingLimits::kReplyPieceSize));
    const std::size_t n = d->Fill(piece.data(), std::size_t(piece.size()));
    piece.resize(qsizetype(n));
    d->Written += n;
    if (d->Written > d->Length || (n == 0 && d->Written != d->Length))
        throw EROMessageError(QStringLiteral("The files of the message changed while it was written"));
    return n > 0;
}
