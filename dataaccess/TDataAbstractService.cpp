#include "dataaccess/TDataAbstractService.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAWhere.h"
#include "foundation/LogText.h"
#include "foundation/MemoryBudget.h"
#include "foundation/QuorvaLogFile.h"

#include <QSet>

#include <QXmlStreamWriter>

namespace {

[[noreturn]] void refuseSQL()
{
    throw EDAException(QStringLiteral("Executing SQL text is not allowed on this server"));
}

void bindParameters(TDAEDataset &statement, const TDASchemaElement &element, const DataParameterArray &parameters)
{
    for (const DataParameter &given : parameters) {
        TDAParam *p = statement.GetParams().FindParam(given.Name);
        if (!p || !element.Params.FindParam(given.Name))
            throw EDAException(QStringLiteral("\"%1\" has no parameter \"%2\"").arg(element.Name, given.Name));
        p->Value = p->DataType == TDADataType::datUnknown ? given.Value : DAConvertValue(given.Value, p->DataType);
    }
}

} // namespace

TDataAbstractService::TDataAbstractService(const TDASchema &schema, TDAConnectionManager &manager, const QString &connectionName)
    : m_schema(schema)
    , m_connection(manager.NewConnection(connectionName))
{
}

TDataAbstractService::TDataAbstractService(const TDASchema &schema, std::unique_ptr<IDAConnection> connection)
    : m_schema(schema)
    , m_connection(std::move(connection))
{
    if (!m_connection)
        throw EDAException(QStringLiteral("A data service needs a connection"));
}

TDataAbstractService::~TDataAbstractService() = default;

TDABusinessProcessor &TDataAbstractService::BusinessProcessor(const QString &datasetName)
{
    const QString key = m_schema.DatasetByName(datasetName).Name.toLower();
    auto &slot = m_processors[key];
    if (!slot) {
        slot = std::make_unique<TDABusinessProcessor>(m_schema.DatasetByName(datasetName).Name);
        slot->SetUpdateMode(m_updateMode);
        slot->SetUncomparedFields(m_uncompared);
    }
    return *slot;
}

void TDataAbstractService::SetDefaultUpdateMode(TDAUpdateMode mode, const QStringList &uncomparedFields)
{
    m_updateMode = mode;
    m_uncompared = uncomparedFields;
    for (auto &entry : m_processors) {
        entry.second->SetUpdateMode(mode);
        entry.second->SetUncomparedFields(uncomparedFields);
    }
}

QString TDataAbstractService::GetSchema(const QString &aFilter)
{
    if (aFilter.trimmed().isEmpty())
        return m_schema.ToClientXml();
    const QStringList names = aFilter.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QStringList trimmed;
    for (const QString &n : names)
        trimmed << n.trimmed();
    return m_schema.ToClientXml(trimmed, trimmed, false, false);
}

TDataAbstractService::TDARead TDataAbstractService::PrepareRead(const QString &datasetName, const TableRequestInfoV5 &info,
                                                                bool forClient)
{
    const TDASchemaDataset &dataset = m_schema.DatasetByName(datasetName);
    if (!info.UserFilter.trimmed().isEmpty())
        throw EDAException(QStringLiteral("Filters in SQL text are not allowed on this server"));

    // What the request may name: the fields whose values the reply would send to this caller.
    const QStringList withheld = forClient && m_withheld ? m_withheld(dataset.Name) : QStringList();
    TDAFieldList nameable;
    for (const TDAField &f : dataset.Fields)
        if (!withheld.contains(f.Name, Qt::CaseInsensitive))
            nameable << f;
    const auto findField = [&](const QString &name) {
        const int i = DAFindField(nameable, name);
        if (i < 0)
            throw EDAException(QStringLiteral("Dataset \"%1\" has no field \"%2\"").arg(dataset.Name, LogExcerpt(name)));
        return nameable[i];
    };

    TDAFieldList fields = dataset.Fields;
    if (!info.DynamicSelectFieldNames.isEmpty()) {
        // Each field at most once: a list that repeats one would multiply the reply without bound.
        fields.clear();
        QSet<QString> named;
        for (const QString &name : info.DynamicSelectFieldNames) {
            const TDAField &f = findField(name);
            if (named.contains(f.Name.toLower()))
                throw EDAException(QStringLiteral("Dataset \"%1\" has no field \"%2\" beyond the one named already")
                                       .arg(dataset.Name, LogExcerpt(name)));
            named.insert(f.Name.toLower());
            fields << f;
        }
    }

    QString sql = dataset.StatementFor(m_connection->GetName());
    TDAParamCollection extra;
    QString condition;
    if (!info.WhereClause.trimmed().isEmpty())
        condition = TDAWhere::FromXml(info.WhereClause).BuildSQL(nameable, QStringLiteral("da_where_"), extra);
    QString order;
    if (!info.Sorting.FieldName.isEmpty())
        order = findField(info.Sorting.FieldName).Name +
                (info.Sorting.SortDirection == ColumnSortDirection::Descending ? QStringLiteral(" DESC") : QString());
    // Withheld fields the reply carries are sent null, whatever the statement reads.
    QStringList columns;
    bool blanked = false;
    for (const TDAField &f : fields) {
        const bool blank = DAFindField(nameable, f.Name) < 0;
        columns << (blank ? QStringLiteral("NULL AS ") + f.Name : QStringLiteral("da_t.") + f.Name);
        blanked = blanked || blank;
    }
    if (!condition.isEmpty() || !order.isEmpty() || info.MaxRecords >= 0 || blanked) {
        sql = QStringLiteral("SELECT %1 FROM (%2) da_t").arg(blanked ? columns.join(QStringLiteral(", ")) : QStringLiteral("*"), sql);
        if (!condition.isEmpty())
            sql += QStringLiteral(" WHERE ") + condition;
        if (!order.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + order;
        if (info.MaxRecords >= 0)
            sql += QStringLiteral(" LIMIT ") + QString::number(info.MaxRecords);
    }
    return PrepareStatement(dataset, fields, sql, extra, info.Parameters);
}

TDataAbstractService::TDARead TDataAbstractService::PrepareStatement(const TDASchemaDataset &dataset, const TDAFieldList &fields,
                                                                     const QString &sql, const TDAParamCollection &extra,
                                                                     const DataParameterArray &parameters)
{
    TDARead read{&dataset, fields, m_connection->NewDataset(sql), {}};
    for (TDAParam &p : read.Statement->GetParams()) {
        if (const TDAParam *declared = dataset.Params.FindParam(p.Name)) {
            p.DataType = declared->DataType;
            p.Value = declared->Value;
        } else if (const TDAParam *w = extra.FindParam(p.Name)) {
            p = *w;
        }
    }
    bindParameters(*read.Statement, dataset, parameters);
    return read;
}

void TDataAbstractService::FindColumns(TDARead &read)
{
    for (const TDAField &f : read.Fields) {
        const int c = read.Statement->FieldIndex(f.Name);
        if (c < 0)
            throw EDAException(QStringLiteral("The statement of \"%1\" does not return field \"%2\"").arg(read.Dataset->Name, f.Name));
        read.Columns << c;
    }
}

TDATableData TDataAbstractService::ReadDataset(const QString &datasetName, const TableRequestInfoV5 &info)
{
    return ReadRows(PrepareRead(datasetName, info, false));
}

TDATableData TDataAbstractService::ReadDatasetStatement(const QString &datasetName, const QString &sql,
                                                        const TDAParamCollection &extra, const DataParameterArray &parameters)
{
    const TDASchemaDataset &dataset = m_schema.DatasetByName(datasetName);
    return ReadRows(PrepareStatement(dataset, dataset.Fields, sql, extra, parameters));
}

TDATableData TDataAbstractService::ReadRows(TDARead read)
{
    TDAEDataset &ds = *read.Statement;
    ds.Open();
    FindColumns(read);
    const TDAFieldList &fields = read.Fields;
    const QList<int> &columns = read.Columns;
    QList<TDAValueKind> kinds;
    bool sameColumns = fields.size() == ds.GetFields().size();
    for (int i = 0; i < fields.size(); ++i) {
        kinds << DAValueKind(fields[i].DataType);
        sameColumns = sameColumns && columns[i] == i;
    }
    auto convert = [&](const QVariant &v, int i) {
        return DAIsNull(v) ? QVariant() : DAConvertValue(v, fields[i].DataType);
    };
    TDATableData table;
    table.Name = read.Dataset->Name;
    table.Fields = fields;
    QList<QVariantList> rows = ds.TakeRows();
    if (sameColumns) {
        // The statement returns the fields in order: its rows are converted where they lie.
        for (QVariantList &row : rows)
            for (int i = 0; i < fields.size(); ++i) {
                QVariant &v = row[i];
                if (!DAIsCanonical(v, kinds[i]))
                    v = convert(v, i);
            }
        table.Rows = std::move(rows);
        return table;
    }
    table.Rows.reserve(rows.size());
    for (const QVariantList &row : rows) {
        QVariantList out;
        out.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i)
            out << convert(row.at(columns[i]), i);
        table.Rows << std::move(out);
    }
    return table;
}

QByteArray TDataAbstractService::GetData(const QStringList &aTableNameArray, const QList<TableRequestInfoV5> &aTableRequestInfoArray)
{
    // Rows go from each result straight into the stream; it is handed out only whole, so a
    // read that fails leaves none.
    TDADatasetWriter out(int(aTableNameArray.size()));
    for (int i = 0; i < aTableNameArray.size(); ++i) {
        TDARead read = PrepareRead(aTableNameArray[i], i < aTableRequestInfoArray.size() ? aTableRequestInfoArray[i] : TableRequestInfoV5(),
                                   true);
        read.Statement->OpenForStreaming();
        FindColumns(read);
        out.BeginTable(read.Dataset->Name, read.Fields);
        read.Statement->WriteRows(out, read.Fields, read.Columns);
        out.EndTable();
    }
    return out.Take();
}

QByteArray TDataAbstractService::UpdateData(const QByteArray &aDelta)
{
    // Deltas come from clients: many at once draw on one budget.
    QList<TDADelta> deltas = TDADataStreamer::ReadDeltas(aDelta, &PeerDataBudget());
    for (const TDADelta &d : deltas)
        m_schema.DatasetByName(d.LogicalName); // refuses names outside the schema up front
    if (m_deltaCheck)
        for (const TDADelta &d : deltas)
            if (!d.Changes.isEmpty())
                m_deltaCheck(d);
    QList<TDADelta> replies;
    bool ok = true;
    m_connection->BeginTransaction();
    try {
        for (TDADelta &d : deltas) {
            TDADelta reply;
            if (ok) {
                TDABusinessProcessor &processor = BusinessProcessor(d.LogicalName);
                ok = processor.ProcessDelta(*m_connection, m_schema, d, reply);
                // The client reads a plain message in the change; the log gets the database's.
                const QStringList failures = processor.TakeFailures();
                if (!processor.OnProcessError)
                    for (const QString &failure : failures)
                        AddToLog(llSevere, m_logSender, QStringLiteral("UpdateData"), reply.LogicalName + QStringLiteral(": ") + LogExcerpt(failure));
            } else {
                // Not attempted: an earlier table failed. Report its changes as still pending.
                reply.LogicalName = d.LogicalName;
                reply.Fields = d.Fields;
                for (const TDADeltaChange &c : d.Changes)
                    reply.Changes << TDADeltaChange(c.RecID, c.ChangeType, int(d.Fields.size()));
            }
            replies << reply;
        }
        if (ok)
            m_connection->CommitTransaction();
        else
            m_connection->RollbackTransaction();
    } catch (...) {
        m_connection->RollbackTransaction();
        throw;
    }
    if (!ok) {
        // Nothing was written: changes that had gone through are pending again, without the
        // values the server would have set.
        for (TDADelta &r : replies)
            for (TDADeltaChange &c : r.Changes)
                if (c.Status == TDAChangeStatus::csResolved) {
                    c = TDADeltaChange(c.RecID, c.ChangeType, int(r.Fields.size()));
                }
    }
    return TDADataStreamer::WriteDeltas(replies);
}

std::unique_ptr<TDAEDataset> TDataAbstractService::PrepareCommand(const QString &commandName, const DataParameterArray &parameters)
{
    if (!m_allowExecuteCommands)
        throw EDAException(QStringLiteral("Executing commands is not allowed on this server"));
    const TDASchemaCommand &command = m_schema.CommandByName(commandName);
    auto statement = m_schema.NewCommand(*m_connection, command.Name);
    bindParameters(*statement, command, parameters);
    return statement;
}

int TDataAbstractService::ExecuteCommand(const QString &aCommandName, const DataParameterArray &aParameterArray)
{
    return PrepareCommand(aCommandName, aParameterArray)->Execute();
}

int TDataAbstractService::ExecuteCommandEx(const QString &aCommandName, const DataParameterArray &aInputParameters,
                                           DataParameterArray &aOutputParameters)
{
    auto statement = PrepareCommand(aCommandName, aInputParameters);
    statement->Open();
    aOutputParameters.clear();
    const TDASchemaCommand &command = m_schema.CommandByName(aCommandName);
    for (const TDAParam &p : command.Params) {
        if (p.ParamType != TDAParamType::daptOutput && p.ParamType != TDAParamType::daptInputOutput)
            continue;
        QVariant value;
        const int column = statement->FieldIndex(p.Name);
        if (column >= 0 && statement->GetRecordCount() > 0)
            value = statement->Value(0, column);
        aOutputParameters << DataParameter{p.Name, value};
    }
    return statement->GetRowsAffected();
}

QString TDataAbstractService::GetTableSchema(const QStringList &aTableNameArray)
{
    for (const QString &n : aTableNameArray)
        m_schema.DatasetByName(n);
    return m_schema.ToClientXml(aTableNameArray, {}, false, false);
}

QString TDataAbstractService::GetCommandSchema(const QStringList &aCommandNameArray)
{
    for (const QString &n : aCommandNameArray)
        m_schema.CommandByName(n);
    return m_schema.ToClientXml({}, aCommandNameArray, false, false);
}

QByteArray TDataAbstractService::SQLGetData(const QString &aSQLText, bool aIncludeSchema, int aMaxRecords)
{
    Q_UNUSED(aSQLText)
    Q_UNUSED(aIncludeSchema)
    Q_UNUSED(aMaxRecords)
    refuseSQL();
}

int TDataAbstractService::SQLExecuteCommand(const QString &aSQLText)
{
    Q_UNUSED(aSQLText)
    refuseSQL();
}

QString TDataAbstractService::GetDatasetScripts(const QString &DatasetNames)
{
    // No dataset of this system carries client-side scripts: each named dataset gets an empty one.
    QString out;
    QXmlStreamWriter w(&out);
    w.writeStartElement(QStringLiteral("Scripts"));
    for (const QString &raw : DatasetNames.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const TDASchemaDataset &d = m_schema.DatasetByName(raw.trimmed());
        w.writeStartElement(QStringLiteral("Script"));
        w.writeAttribute(QStringLiteral("Dataset"), d.Name);
        w.writeEndElement();
    }
    w.writeEndElement();
    return out;
}
