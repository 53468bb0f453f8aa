// A client table's way to its data service over the network: the table's fetches and deltas go
// through the service's generated proxy on the program's channel and message.
#pragma once

#include "contract/ContractExport.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <memory>

class IDataAbstractService;

class CONTRACT_EXPORT TDAProxyDataAdapter : public TDARemoteDataAdapter
{
public:
    explicit TDAProxyDataAdapter(std::shared_ptr<IDataAbstractService> service);
    ~TDAProxyDataAdapter() override;

    QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) override;
    QByteArray UpdateData(const QByteArray &delta) override;

    std::shared_ptr<IDataAbstractService> Service() const { return m_service; }

private:
    std::shared_ptr<IDataAbstractService> m_service;
};
