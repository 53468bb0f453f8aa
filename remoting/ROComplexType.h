// Bases for the contract's classes that travel as values: records, arrays and byte streams,
// and the disposer that frees what travelled with one call. The contract's generated classes
// derive from these and say only their field names and order.
#pragma once

#include "remoting/RemotingExport.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class TROSerializer;

class REMOTING_EXPORT TROComplexType
{
public:
    virtual ~TROComplexType();
    // The name a record class is registered under and that travels as the record's type.
    virtual QString ClassName() const = 0;
    // The base copies nothing; a record class copies its fields from a source of its own class.
    virtual void Assign(const TROComplexType &source);
    virtual void ReadComplex(TROSerializer &serializer) = 0;
    virtual void WriteComplex(TROSerializer &serializer) const = 0;
    virtual bool IsArray() const { return false; }
};

// An array sizes itself before ReadComplex, and writes its elements one by one in WriteComplex
// (the serializer names them); the count itself is the serializer's business.
class REMOTING_EXPORT TROArray : public TROComplexType
{
public:
    bool IsArray() const override { return true; }
    virtual int GetCount() const = 0;
    virtual void Resize(int count) = 0;
    // The element type as it travels: a type name ("Utf8String") or a record class name.
    virtual QString GetItemTypeName() const = 0;
};

// The contract's Binary: a byte buffer that may be absent (a null pointer) where a value is expected.
// It may stand for a file instead: then the bytes stay on disk until they are asked for, and a
// message carrying it is written from the file (a reply of client-update files).
class REMOTING_EXPORT TROBinaryMemoryStream
{
public:
    TROBinaryMemoryStream() = default;
    explicit TROBinaryMemoryStream(const QByteArray &bytes) : m_bytes(bytes) {}

    // Copies the bytes (or the file it stands for), so that the two streams change independently.
    void Assign(const TROBinaryMemoryStream &source) { *this = source; }
    // A file's bytes are read the first time; EROMessageError when it is no longer of its size.
    const QByteArray &Bytes() const;
    void SetBytes(const QByteArray &bytes);
    void SetFile(const QString &path, qint64 size);
    bool IsFile() const { return !m_path.isEmpty(); }
    const QString &FilePath() const { return m_path; }
    qsizetype Size() const { return IsFile() ? qsizetype(m_fileSize) : m_bytes.size(); }
    void Clear() { SetBytes(QByteArray()); }

private:
    mutable QByteArray m_bytes;
    QString m_path;
    qint64 m_fileSize = 0;
    mutable bool m_read = false;
};

// Owns the objects read from a request or returned by an implementation for the length of one
// call; frees them when it goes, also when the call failed.
class REMOTING_EXPORT TROObjectDisposer
{
public:
    TROObjectDisposer() = default;
    TROObjectDisposer(const TROObjectDisposer &) = delete;
    TROObjectDisposer &operator=(const TROObjectDisposer &) = delete;
    ~TROObjectDisposer();

    // A null pointer is accepted and frees nothing.
    void Add(std::unique_ptr<TROComplexType> object);
    void Add(std::unique_ptr<TROBinaryMemoryStream> stream);
    std::size_t Count() const { return m_objects.size() + m_streams.size(); }

private:
    std::vector<std::unique_ptr<TROComplexType>> m_objects;
    std::vector<std::unique_ptr<TROBinaryMemoryStream>> m_streams;
};
