#include "remoting/ROComplexType.h"

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
