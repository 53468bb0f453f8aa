// A client table's way to one data service whose proxy comes and goes with the host's
// connection: while the module holds no proxy every fetch and delta is refused with the text
// the module gave, never sent.
#pragma once

#include "contract/ContractExport.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <QString>

#include <memory>

class IDataAbstractService;

class CONTRACT_EXPORT TDAServiceAdapter : public TDARemoteDataAdapter
{
public:
    explicit TDAServiceAdapter(QString notConnectedText);
    ~TDAServiceAdapter() override;

    // A null service takes the proxy off.
    void SetService(std::shared_ptr<IDataAbstractService> service);
    QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) override;
    QByteArray UpdateData(const QByteArray &delta) override;

private:
    TDARemoteDataAdapter &Adapter();

    QString m_notConnectedText;
    std::unique_ptr<TDARemoteDataAdapter> m_adapter;
};
