#include "contract/TDAProxyDataAdapter.h"

#include "Quorva_Data_Service_Intf.h"

TDAProxyDataAdapter::TDAProxyDataAdapter(std::shared_ptr<IDataAbstractService> service) : m_service(std::move(service)) {}

TDAProxyDataAdapter::~TDAProxyDataAdapter() = default;

QByteArray TDAProxyDataAdapter::GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo)
{
    const std::unique_ptr<TROBinaryMemoryStream> data = m_service->GetData(tableNames, requestInfo);
    return data ? data->Bytes() : QByteArray();
}

QByteArray TDAProxyDataAdapter::UpdateData(const QByteArray &delta)
{
    const TROBinaryMemoryStream request(delta);
    const std::unique_ptr<TROBinaryMemoryStream> reply = m_service->UpdateData(&request);
    return reply ? reply->Bytes() : QByteArray();
}
