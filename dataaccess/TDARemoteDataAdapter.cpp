#include "dataaccess/TDARemoteDataAdapter.h"

#include "dataaccess/TDataAbstractService.h"

TDARemoteDataAdapter::~TDARemoteDataAdapter() = default;

QByteArray TDALocalDataAdapter::GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo)
{
    return m_service.GetData(tableNames, requestInfo);
}

QByteArray TDALocalDataAdapter::UpdateData(const QByteArray &delta)
{
    return m_service.UpdateData(delta);
}
