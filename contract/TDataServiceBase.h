// A data service object of the server: the contract's generic data operations answered by the
// data-access service over the service's schema, on a connection of its own for the request.
// Services with their own operations derive from this and from their contract interface.
#pragma once

#include "Quorva_Data_Service_Intf.h"
#include "contract/ContractExport.h"
#include "dataaccess/TDataAbstractService.h"
#include "remoting/ROService.h"

class CONTRACT_EXPORT TDataServiceBase : public TRORemoteDataModule, public virtual IDataAbstractService
{
public:
    TDataServiceBase(const TDASchema &schema, TDAConnectionManager &manager,
                     const QString &connectionName = QStringLiteral("MSSQL"));
    TDataServiceBase(const TDASchema &schema, std::unique_ptr<IDAConnection> connection);

    TDataAbstractService &DataService() { return m_service; }
    // Asked before a client's command runs, with its name and parameters; it throws to refuse.
    // The service's own calls of DataService() are not asked.
    using TCommandCheck = std::function<void(const QString &commandName, const DataParameterArray &parameters)>;
    void SetCommandCheck(TCommandCheck check) { m_commandCheck = std::move(check); }
    bool queryInterface(const QUuid &interfaceId, void **object) override;

    QString GetSchema(const QString &aFilter) override;
    std::unique_ptr<TROBinaryMemoryStream> GetData(const QStringList &aTableNameArray,
                                                   const QList<TableRequestInfoV5> &aTableRequestInfoArray) override;
    std::unique_ptr<TROBinaryMemoryStream> UpdateData(const TROBinaryMemoryStream *aDelta) override;
    qint32 ExecuteCommand(const QString &aCommandName, const DataParameterArray &aParameterArray) override;
    qint32 ExecuteCommandEx(const QString &aCommandName, const DataParameterArray &aInputParameters,
                            DataParameterArray &aOutputParameters) override;
    QString GetTableSchema(const QStringList &aTableNameArray) override;
    QString GetCommandSchema(const QStringList &aCommandNameArray) override;
    std::unique_ptr<TROBinaryMemoryStream> SQLGetData(const QString &aSQLText, bool aIncludeSchema, qint32 aMaxRecords) override;
    qint32 SQLExecuteCommand(const QString &aSQLText) override;
    QString GetDatasetScripts(const QString &DatasetNames) override;
    // Nothing in the system sends data-change notifications; registering is accepted and has no effect.
    void RegisterForDataChangeNotification(const QString &aTableName) override;
    void UnregisterForDataChangeNotification(const QString &aTableName) override;

private:
    void ProtectEdits();

    TDataAbstractService m_service;
    TCommandCheck m_commandCheck;
};
