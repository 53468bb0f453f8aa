#include "reporting/ZipArchive.h"

#include "reporting/ReportError.h"

#include <QDateTime>

#include <zlib.h>

#include <limits>

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kEndRecord = 0x06054b50;
constexpr quint16 kUtf8Names = 0x0800;
constexpr quint16 kEncrypted = 0x0001;
constexpr qsizetype kEndRecordSize = 22;

[[noreturn]] void Damaged(const QString &what)
{
    throw EReportError(QStringLiteral("The zip archive is damaged: %1").arg(what));
}

class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}

    quint32 U16(qsizetype at) const { return Byte(at) | Byte(at + 1) << 8; }
    quint32 U32(qsizetype at) const { return U16(at) | U16(at + 2) << 16; }
    QByteArray Slice(qsizetype at, qsizetype size) const
    {
        if (at < 0 || size < 0 || at > m_bytes.size() - size)
            Damaged(QStringLiteral("it ends early"));
        return m_bytes.mid(at, size);
    }

private:
    quint32 Byte(qsizetype at) const
    {
        if (at < 0 || at >= m_bytes.size())
            Damaged(QStringLiteral("it ends early"));
        return quint8(m_bytes[at]);
    }
    const QByteArray &m_bytes;
};

void Put16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xff)).append(char(value >> 8 & 0xff));
}

void Put32(QByteArray &out, quint32 value)
{
    Put16(out, value & 0xffff);
    Put16(out, value >> 16);
}

quint32 Crc(const QByteArray &data)
{
    return quint32(crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
}

QByteArray Inflate(const QByteArray &packed, qint64 limit, const QString &name)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        Damaged(QStringLiteral("zlib cannot start"));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    QByteArray out;
    char chunk[65536];
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            inflateEnd(&stream);
            Damaged(QStringLiteral("the entry %1 does not unpack").arg(name));
        }
        const qsizetype produced = qsizetype(sizeof chunk - stream.avail_out);
        if (out.size() + produced > limit) {
            inflateEnd(&stream);
            throw EReportError(QStringLiteral("The zip archive unpacks to more than %1 MiB").arg(limit / (1024 * 1024)));
        }
        out.append(chunk, produced);
        if (status == Z_OK && produced == 0 && stream.avail_in == 0) {
            inflateEnd(&stream);
            Damaged(QStringLiteral("the entry %1 ends early").arg(name));
        }
    }
    inflateEnd(&stream);
    return out;
}

QByteArray Deflate(const QByteArray &data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EReportError(QStringLiteral("zlib cannot start"));
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw EReportError(QStringLiteral("zlib cannot pack"));
    return out;
}

// The time of day and the date as the archive's entries keep them.
std::pair<quint32, quint32> DosTime(const QDateTime &when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    const int year = qBound(1980, date.year(), 2107);
    return {quint32(time.hour() << 11 | time.minute() << 5 | time.second() / 2),
            quint32((year - 1980) << 9 | date.month() << 5 | date.day())};
}

} // namespace

namespace ZipArchive {

Entries Unpack(const QByteArray &archive, const Limits &limits)
{
    const Reader in(archive);
    qsizetype end = -1;
    for (qsizetype at = archive.size() - kEndRecordSize; at >= 0 && at >= archive.size() - kEndRecordSize - 0xffff; --at)
        if (in.U32(at) == kEndRecord) {
            end = at;
            break;
        }
    if (end < 0)
        throw EReportError(QStringLiteral("This is not a zip archive"));
    const quint32 count = in.U16(end + 10);
    const qsizetype directory = in.U32(end + 16);
    if (count == 0xffff || directory == 0xffffffff)
        throw EReportError(QStringLiteral("The zip archive needs zip64, which is not read"));
    if (int(count) > limits.MaxEntries)
        throw EReportError(QStringLiteral("The zip archive has more than %1 entries").arg(limits.MaxEntries));

    Entries entries;
    qint64 total = 0;
    qsizetype at = directory;
    for (quint32 i = 0; i < count; ++i) {
        if (in.U32(at) != kCentralHeader)
            Damaged(QStringLiteral("its directory is out of shape"));
        const quint32 flags = in.U16(at + 8);
        const quint32 method = in.U16(at + 10);
        const quint32 crc = in.U32(at + 16);
        const qsizetype packedSize = in.U32(at + 20);
        const qint64 size = in.U32(at + 24);
        const qsizetype nameLength = in.U16(at + 28);
        const qsizetype extraLength = in.U16(at + 30);
        const qsizetype commentLength = in.U16(at + 32);
        const qsizetype local = in.U32(at + 42);
        const QByteArray rawName = in.Slice(at + 46, nameLength);
        at += 46 + nameLength + extraLength + commentLength;

        const QString name = flags & kUtf8Names ? QString::fromUtf8(rawName) : QString::fromLatin1(rawName);
        if (flags & kEncrypted)
            throw EReportError(QStringLiteral("The entry %1 of the zip archive is encrypted").arg(name));
        if (in.U32(local) != kLocalHeader)
            Damaged(QStringLiteral("the entry %1 has no header").arg(name));
        const QByteArray packed = in.Slice(local + 30 + in.U16(local + 26) + in.U16(local + 28), packedSize);
        if (name.endsWith(QLatin1Char('/')))
            continue; // a folder entry holds nothing
        const qint64 limit = qMin(limits.MaxEntryBytes, limits.MaxTotalBytes - total);
        QByteArray data;
        if (method == 0) {
            if (packed.size() > limit)
                throw EReportError(QStringLiteral("The zip archive unpacks to more than %1 MiB").arg(limit / (1024 * 1024)));
            data = packed;
        } else if (method == Z_DEFLATED) {
            data = Inflate(packed, limit, name);
        } else {
            throw EReportError(QStringLiteral("The entry %1 of the zip archive is packed in a way that is not read").arg(name));
        }
        if (data.size() != size || Crc(data) != crc)
            Damaged(QStringLiteral("the entry %1 does not match its checksum").arg(name));
        total += data.size();
        entries.append({name, data});
    }
    return entries;
}

QByteArray Pack(const Entries &entries)
{
    constexpr qint64 kMax = std::numeric_limits<quint32>::max() - 1;
    if (entries.size() >= 0xffff)
        throw EReportError(QStringLiteral("Too many entries for a zip archive"));
    const auto [time, date] = DosTime(QDateTime::currentDateTime());
    QByteArray out;
    QByteArray directory;
    for (const auto &[name, data] : entries) {
        const QByteArray rawName = name.toUtf8();
        const QByteArray packed = Deflate(data);
        if (data.size() > kMax || packed.size() > kMax || out.size() > kMax)
            throw EReportError(QStringLiteral("%1 is too large for a zip archive").arg(name));
        const quint32 crc = Crc(data);
        const quint32 offset = quint32(out.size());
        const auto header = [&](QByteArray &to) {
            Put16(to, 20); // version needed: deflate
            Put16(to, kUtf8Names);
            Put16(to, Z_DEFLATED);
            Put16(to, time);
            Put16(to, date);
            Put32(to, crc);
            Put32(to, quint32(packed.size()));
            Put32(to, quint32(data.size()));
            Put16(to, quint32(rawName.size()));
            Put16(to, 0); // extra
        };
        Put32(out, kLocalHeader);
        header(out);
        out.append(rawName).append(packed);

        Put32(directory, kCentralHeader);
        Put16(directory, 20); // made by
        header(directory);
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, 0); // external attributes
        Put32(directory, offset);
        directory.append(rawName);
    }
    const quint32 start = quint32(out.size());
    out.append(directory);
    Put32(out, kEndRecord);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, quint32(entries.size()));
    Put16(out, quint32(entries.size()));
    Put32(out, quint32(directory.size()));
    Put32(out, start);
    Put16(out, 0);
    return out;
}

} // namespace ZipArchive
