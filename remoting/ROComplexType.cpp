#include "remoting/ROComplexType.h"

#include "remoting/ROValue.h"

TROComplexType::~TROComplexType() = default;

void TROComplexType::Assign(const TROComplexType &source)
{
    Q_UNUSED(source);
}

TROObjectDisposer::~TROObjectDisposer() = default;

void TROObjectDisposer::Add(std::unique_ptr<TROComplexType> object)
{
    if (object)
        m_objects.push_back(std::move(object));
}

void TROObjectDisposer::Add(std::unique_ptr<TROBinaryMemoryStream> stream)
{
    if (stream)
        m_streams.push_back(std::move(stream));
}

const QByteArray &TROBinaryMemoryStream::Bytes() const
{
    if (IsFile() && !m_read) {
        m_bytes = ROValue::FromBinaryFile(m_path, m_fileSize).ToBinary();
        m_read = true;
    }
    return m_bytes;
}

void TROBinaryMemoryStream::SetBytes(const QByteArray &bytes)
{
    m_bytes = bytes;
    m_path.clear();
    m_fileSize = 0;
    m_read = false;
}

void TROBinaryMemoryStream::SetFile(const QString &path, qint64 size)
{
    m_bytes.clear();
    m_path = path;
    m_fileSize = size;
    m_read = false;
}
