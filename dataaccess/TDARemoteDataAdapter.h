// How a client table reaches its data service: fetch datasets and apply deltas as byte
// streams. The contract's proxies provide one over the network; TDALocalDataAdapter calls a
// data service in the same process.
#pragma once

#include "dataaccess/DARecords.h"
#include "dataaccess/DataAccessExport.h"

#include <QByteArray>
#include <QStringList>

class TDataAbstractService;

class DATAACCESS_EXPORT TDARemoteDataAdapter
{
public:
    TDARemoteDataAdapter() = default;
    virtual ~TDARemoteDataAdapter();
    TDARemoteDataAdapter(const TDARemoteDataAdapter &) = delete;
    TDARemoteDataAdapter &operator=(const TDARemoteDataAdapter &) = delete;

    virtual QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) = 0;
    virtual QByteArray UpdateData(const QByteArray &delta) = 0;
};

class DATAACCESS_EXPORT TDALocalDataAdapter : public TDARemoteDataAdapter
{
public:
    explicit TDALocalDataAdapter(TDataAbstractService &service) : m_service(service) {}
    QByteArray GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo) override;
    QByteArray UpdateData(const QByteArray &delta) override;

private:
    TDataAbstractService &m_service;
};
