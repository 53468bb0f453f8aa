// A client table's way to a data service through the service's generated proxy, so tests use
// client tables over HTTP as the plug-ins do.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <memory>

namespace kestrova::test {

class ProxyDataAdapter : public TDARemoteDataAdapter
{
public:
    explicit ProxyDataAdapter(std::shared_ptr<IDataAbstractService> service) : m_service(std::move(service)) {}

    QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) override
    {
        // The contract carries the older request record: parameters, filter and row limit.
        QList<TableRequestInfo> plain;
        for (const TableRequestInfoV5 &info : requestInfo)
            plain << static_cast<const TableRequestInfo &>(info);
        const std::unique_ptr<TROBinaryMemoryStream> data = m_service->GetData(tableNames, plain);
        return data ? data->Bytes() : QByteArray();
    }

    QByteArray UpdateData(const QByteArray &delta) override
    {
        const TROBinaryMemoryStream request(delta);
        const std::unique_ptr<TROBinaryMemoryStream> reply = m_service->UpdateData(&request);
        return reply ? reply->Bytes() : QByteArray();
    }

private:
    std::shared_ptr<IDataAbstractService> m_service;
};

} // namespace kestrova::test
