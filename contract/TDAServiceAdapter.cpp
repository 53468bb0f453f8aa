#include "contract/TDAServiceAdapter.h"

#include "contract/TDAProxyDataAdapter.h"
#include "dataaccess/DAException.h"

TDAServiceAdapter::TDAServiceAdapter(QString notConnectedText) : m_notConnectedText(std::move(notConnectedText)) {}

TDAServiceAdapter::~TDAServiceAdapter() = default;

void TDAServiceAdapter::SetService(std::shared_ptr<IDataAbstractService> service)
{
    m_adapter = service ? std::make_unique<TDAProxyDataAdapter>(std::move(service)) : nullptr;
}

TDARemoteDataAdapter &TDAServiceAdapter::Adapter()
{
    if (!m_adapter)
        throw EDAException(m_notConnectedText);
    return *m_adapter;
}

QByteArray TDAServiceAdapter::GetData(const QStringList &tableNames, const QList<TableRequestInfoV5> &requestInfo)
{
    return Adapter().GetData(tableNames, requestInfo);
}

QByteArray TDAServiceAdapter::UpdateData(const QByteArray &delta)
{
    return Adapter().UpdateData(delta);
}
