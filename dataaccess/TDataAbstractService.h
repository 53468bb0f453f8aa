// The data service: the generic data operations over one schema and one connection of its
// own, as plain methods taking and returning values and byte streams. The remoting layer
// calls them. Only datasets and commands of the schema can be reached; SQL from clients is
// refused (AllowExecuteSQL and AllowWhereSQL stay off in this system).
#pragma once

#include "dataaccess/DARecords.h"
#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDABusinessProcessor.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDASchema.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class DATAACCESS_EXPORT TDataAbstractService
{
public:
    // Takes a new connection of the manager's named definition.
    TDataAbstractService(const TDASchema &schema, TDAConnectionManager &manager,
                         const QString &connectionName = QStringLiteral("MSSQL"));
    TDataAbstractService(const TDASchema &schema, std::unique_ptr<IDAConnection> connection);
    virtual ~TDataAbstractService();
    TDataAbstractService(const TDataAbstractService &) = delete;
    TDataAbstractService &operator=(const TDataAbstractService &) = delete;

    IDAConnection &GetConnection() { return *m_connection; }
    const TDASchema &GetServiceSchema() const { return m_schema; }
    bool GetAllowExecuteSQL() const { return false; }
    bool GetAllowWhereSQL() const { return false; }
    bool GetAllowExecuteCommands() const { return m_allowExecuteCommands; }
    void SetAllowExecuteCommands(bool value) { m_allowExecuteCommands = value; }

    // The fields of a dataset whose values a client's GetData is not to learn (for this
    // service object's caller). GetData sends them null, and a condition, a sort order or a
    // column list naming one is refused as one naming an unknown field, so that no request
    // can learn them by filtering or sorting either.
    using TDAWithheldFields = std::function<QStringList(const QString &datasetName)>;
    void SetWithheldFields(TDAWithheldFields withheld) { m_withheld = std::move(withheld); }
    // The sender of the session-log line UpdateData writes for a change that failed, where the
    // dataset's processor has no OnProcessError handler to report it.
    void SetLogSender(const QString &sender) { m_logSender = sender; }

    // Asked with each delta of a client's change set that holds changes, before anything of the
    // set is written; it throws to refuse the whole set.
    using TDADeltaCheck = std::function<void(const TDADelta &delta)>;
    void SetDeltaCheck(TDADeltaCheck check) { m_deltaCheck = std::move(check); }

    // The processor of a dataset, made on first use (generated statements, the default mode).
    TDABusinessProcessor &BusinessProcessor(const QString &datasetName);
    // The update mode and uncompared fields of every processor, those made already and those
    // to come; key-only unless set.
    void SetDefaultUpdateMode(TDAUpdateMode mode, const QStringList &uncomparedFields = {});

    QString GetSchema(const QString &aFilter);
    QByteArray GetData(const QStringList &aTableNameArray, const QList<TableRequestInfoV5> &aTableRequestInfoArray);
    QByteArray UpdateData(const QByteArray &aDelta);
    int ExecuteCommand(const QString &aCommandName, const DataParameterArray &aParameterArray);
    int ExecuteCommandEx(const QString &aCommandName, const DataParameterArray &aInputParameters,
                         DataParameterArray &aOutputParameters);
    QString GetTableSchema(const QStringList &aTableNameArray);
    QString GetCommandSchema(const QStringList &aCommandNameArray);
    QByteArray SQLGetData(const QString &aSQLText, bool aIncludeSchema, int aMaxRecords);
    int SQLExecuteCommand(const QString &aSQLText);
    QString GetDatasetScripts(const QString &DatasetNames);

    // One dataset as GetData reads it, for callers on the server itself.
    TDATableData ReadDataset(const QString &datasetName, const TableRequestInfoV5 &info = {});
    // A dataset of the schema read on a statement the server itself extended from the schema's
    // (a condition and an order it built, their values in extra); fields as ReadDataset gives them.
    TDATableData ReadDatasetStatement(const QString &datasetName, const QString &sql, const TDAParamCollection &extra,
                                      const DataParameterArray &parameters = {});

private:
    // A read of a dataset: its statement with the parameters bound and, once it has run, the
    // column of each field.
    struct TDARead
    {
        const TDASchemaDataset *Dataset = nullptr;
        TDAFieldList Fields;
        std::unique_ptr<TDAEDataset> Statement;
        QList<int> Columns;
    };
    TDARead PrepareRead(const QString &datasetName, const TableRequestInfoV5 &info, bool forClient);
    TDARead PrepareStatement(const TDASchemaDataset &dataset, const TDAFieldList &fields, const QString &sql,
                             const TDAParamCollection &extra, const DataParameterArray &parameters);
    static void FindColumns(TDARead &read);
    static TDATableData ReadRows(TDARead read);
    std::unique_ptr<TDAEDataset> PrepareCommand(const QString &commandName, const DataParameterArray &parameters);

    const TDASchema &m_schema;
    std::unique_ptr<IDAConnection> m_connection;
    bool m_allowExecuteCommands = true;
    TDAUpdateMode m_updateMode = TDAUpdateMode::updWhereKeyOnly;
    QStringList m_uncompared;
    std::map<QString, std::unique_ptr<TDABusinessProcessor>> m_processors;
    TDAWithheldFields m_withheld;
    QString m_logSender = QStringLiteral("DataAbstractService");
    TDADeltaCheck m_deltaCheck;
};
