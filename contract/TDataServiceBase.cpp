#include "contract/TDataServiceBase.h"

TDataServiceBase::TDataServiceBase(const TDASchema &schema, TDAConnectionManager &manager, const QString &connectionName)
    : m_service(schema, manager, connectionName)
{
    ProtectEdits();
}

TDataServiceBase::TDataServiceBase(const TDASchema &schema, std::unique_ptr<IDAConnection> connection)
    : m_service(schema, std::move(connection))
{
    ProtectEdits();
}

void TDataServiceBase::ProtectEdits()
{
    // Planners edit the same rows at once: a change whose old values of the fields it sets are
    // no longer the stored ones is refused instead of silently undoing the other's edit. Every
    // save stamps who changed the row and when; that alone is no conflict.
    m_service.SetDefaultUpdateMode(TDAUpdateMode::updWhereChanged,
                                   {QStringLiteral("ModifiedDateTime"), QStringLiteral("F_ModifiedUserID")});
}

bool TDataServiceBase::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId != IDataAbstractService::IID)
        return false;
    *object = static_cast<IDataAbstractService *>(this);
    return true;
}

QString TDataServiceBase::GetSchema(const QString &aFilter)
{
    return m_service.GetSchema(aFilter);
}

std::unique_ptr<TROBinaryMemoryStream> TDataServiceBase::GetData(const QStringList &aTableNameArray,
                                                                 const QList<TableRequestInfoV5> &aTableRequestInfoArray)
{
    return std::make_unique<TROBinaryMemoryStream>(m_service.GetData(aTableNameArray, aTableRequestInfoArray));
}

std::unique_ptr<TROBinaryMemoryStream> TDataServiceBase::UpdateData(const TROBinaryMemoryStream *aDelta)
{
    return std::make_unique<TROBinaryMemoryStream>(m_service.UpdateData(aDelta ? aDelta->Bytes() : QByteArray()));
}

qint32 TDataServiceBase::ExecuteCommand(const QString &aCommandName, const DataParameterArray &aParameterArray)
{
    if (m_commandCheck)
        m_commandCheck(aCommandName, aParameterArray);
    return m_service.ExecuteCommand(aCommandName, aParameterArray);
}

qint32 TDataServiceBase::ExecuteCommandEx(const QString &aCommandName, const DataParameterArray &aInputParameters,
                                          DataParameterArray &aOutputParameters)
{
    if (m_commandCheck)
        m_commandCheck(aCommandName, aInputParameters);
    return m_service.ExecuteCommandEx(aCommandName, aInputParameters, aOutputParameters);
}

QString TDataServiceBase::GetTableSchema(const QStringList &aTableNameArray)
{
    return m_service.GetTableSchema(aTableNameArray);
}

QString TDataServiceBase::GetCommandSchema(const QStringList &aCommandNameArray)
{
    return m_service.GetCommandSchema(aCommandNameArray);
}

std::unique_ptr<TROBinaryMemoryStream> TDataServiceBase::SQLGetData(const QString &aSQLText, bool aIncludeSchema,
                                                                    qint32 aMaxRecords)
{
    return std::make_unique<TROBinaryMemoryStream>(m_service.SQLGetData(aSQLText, aIncludeSchema, aMaxRecords));
}

qint32 TDataServiceBase::SQLExecuteCommand(const QString &aSQLText)
{
    return m_service.SQLExecuteCommand(aSQLText);
}

QString TDataServiceBase::GetDatasetScripts(const QString &DatasetNames)
{
    return m_service.GetDatasetScripts(DatasetNames);
}

void TDataServiceBase::RegisterForDataChangeNotification(const QString &)
{
}

void TDataServiceBase::UnregisterForDataChangeNotification(const QString &)
{
}
