// Request bytes a hostile peer could send, built by hand: the writer would refuse to make them
// or would need the memory they are meant to cost the reader.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <zlib.h>

namespace hostile {

inline void PutU32(QByteArray &out, quint32 v)
{
    char le[4];
    qToLittleEndian(v, le);
    out.append(le, 4);
}

inline void PutStr(QByteArray &out, const QByteArray &s)
{
    PutU32(out, quint32(s.size()));
    out.append(s);
}

// The 23-byte header of a request of the all-zero session.
inline QByteArray Header(bool compressed)
{
    QByteArray out("KQM1", 4);
    out.append(char(1));                     // version
    out.append(char(1));                     // request
    out.append(char(compressed ? 1 : 0));    // flags
    out.append(QByteArray(16, '\0'));        // session
    return out;
}

inline QByteArray Wrap(const QByteArray &body, bool compress)
{
    QByteArray out = Header(compress);
    if (!compress)
        return out + body;
    PutU32(out, quint32(body.size()));
    uLongf bound = compressBound(uLong(body.size()));
    QByteArray packed(qsizetype(bound), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef *>(packed.data()), &bound, reinterpret_cast<const Bytef *>(body.constData()),
              uLong(body.size()), Z_BEST_COMPRESSION);
    packed.truncate(qsizetype(bound));
    return out + packed;
}

// One value "A": an array of `elements` nil elements, each one byte on the wire.
inline QByteArray NilArray(quint32 elements, bool compress, const QByteArray &service = "TestService")
{
    QByteArray body;
    PutStr(body, "Quorva_Data_Service");
    PutStr(body, service);
    PutStr(body, "Echo");
    PutU32(body, 1);
    PutStr(body, "A");
    body.append(char(15)); // Array
    body.append(char(1));  // present
    PutStr(body, "Variant");
    PutU32(body, elements);
    body.append(QByteArray(qsizetype(elements), '\0'));
    return Wrap(body, compress);
}

} // namespace hostile
