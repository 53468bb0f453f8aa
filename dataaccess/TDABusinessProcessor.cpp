#include "dataaccess/TDABusinessProcessor.h"

#include "dataaccess/DAException.h"

namespace {

bool sameValue(const QVariant &a, const QVariant &b, TDADataType type)
{
    if (DAIsNull(a) || DAIsNull(b))
        return DAIsNull(a) && DAIsNull(b);
    try {
        return DAConvertValue(a, type) == DAConvertValue(b, type);
    } catch (const EDAException &) {
        return false;
    }
}

} // namespace

TDABusinessProcessor::TDABusinessProcessor(const QString &referencedDataset)
    : m_referencedDataset(referencedDataset)
{
}

int TDABusinessProcessor::FieldIndex(const QString &fieldName) const
{
    const int index = m_fields ? DAFindField(*m_fields, fieldName) : -1;
    if (index < 0)
        throw EDAException(QStringLiteral("Field \"%1\" is not part of the delta of \"%2\"").arg(fieldName, m_referencedDataset));
    return index;
}

QVariant TDABusinessProcessor::GetNewValue(const TDADeltaChange &change, const QString &fieldName) const
{
    const int i = FieldIndex(fieldName);
    return change.HasNewValue(i) ? change.NewValue(i) : change.OldValue(i);
}

QVariant TDABusinessProcessor::GetOldValue(const TDADeltaChange &change, const QString &fieldName) const
{
    return change.OldValue(FieldIndex(fieldName));
}

void TDABusinessProcessor::SetNewValue(TDADeltaChange &change, const QString &fieldName, const QVariant &value) const
{
    change.SetNewValue(FieldIndex(fieldName), value);
}

void TDABusinessProcessor::ClearNewValue(TDADeltaChange &change, const QString &fieldName) const
{
    const int index = m_fields ? DAFindField(*m_fields, fieldName) : -1;
    if (index >= 0)
        change.ClearNewValue(index);
}

bool TDABusinessProcessor::ProcessDelta(IDAConnection &connection, const TDASchema &schema, TDADelta &delta, TDADelta &reply)
{
    const TDASchemaDataset &dataset = schema.DatasetByName(delta.LogicalName);
    QList<int> schemaIndex;
    for (TDAField &f : delta.Fields) {
        const int si = DAFindField(dataset.Fields, f.Name);
        if (si < 0)
            throw EDAException(QStringLiteral("Field \"%1\" is not part of dataset \"%2\"").arg(f.Name, dataset.Name));
        // The schema decides types, keys and which fields are written, not the client.
        f = dataset.Fields[si];
        schemaIndex << si;
    }
    reply.LogicalName = dataset.Name;
    reply.Fields = delta.Fields;
    reply.Changes.clear();
    m_fields = &delta.Fields;
    reply.Changes.reserve(delta.Changes.size());
    bool ok = true;
    for (TDADeltaChange &change : delta.Changes) {
        TDADeltaChange answer(change.RecID, change.ChangeType, int(delta.Fields.size()));
        if (!ok) {
            reply.Changes << answer; // not attempted: an earlier change failed
            continue;
        }
        try {
            if (OnProcessError)
                connection.RunInSavepoint([&] { ProcessChange(connection, schema, dataset, schemaIndex, change, answer); });
            else
                ProcessChange(connection, schema, dataset, schemaIndex, change, answer);
            answer.Status = TDAChangeStatus::csResolved;
        } catch (const EDAException &e) {
            answer.Status = TDAChangeStatus::csFailed;
            answer.Message = DAClientMessage(e);
            m_failures << e.Message();
            for (int i = 0; i < answer.FieldCount(); ++i)
                answer.ClearNewValue(i);
            bool canContinue = false;
            if (OnProcessError)
                OnProcessError(*this, change, e, canContinue);
            if (!canContinue)
                ok = false;
        }
        change.Status = answer.Status;
        change.Message = answer.Message;
        reply.Changes << std::move(answer);
    }
    m_fields = nullptr;
    return ok;
}

void TDABusinessProcessor::ProcessChange(IDAConnection &connection, const TDASchema &schema, const TDASchemaDataset &dataset,
                                         const QList<int> &schemaIndex, TDADeltaChange &change, TDADeltaChange &answer)
{
    const TDAFieldList &fields = *m_fields;
    // What the client sent, so values changed later (hook, database) can be told apart.
    TDADeltaChange sent = change;
    if (OnBeforeProcessDelta)
        OnBeforeProcessDelta(*this, change);
    Q_UNUSED(schemaIndex)

    const QString commandName = change.ChangeType == TDAChangeType::ctInsert   ? m_insertCommand
                                : change.ChangeType == TDAChangeType::ctUpdate ? m_updateCommand
                                                                               : m_deleteCommand;
    auto effective = [&](int i) { return change.HasNewValue(i) ? change.NewValue(i) : change.OldValue(i); };
    std::unique_ptr<TDAEDataset> statement;
    if (!commandName.isEmpty()) {
        // A named command takes each field's value under the field's name and the old value
        // under "OLD_" + name.
        statement = schema.NewCommand(connection, commandName);
        for (TDAParam &p : statement->GetParams()) {
            const bool old = p.Name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
            const int i = DAFindField(fields, old ? p.Name.mid(4) : p.Name);
            if (i < 0)
                continue; // a parameter the command fills itself
            p.Value = old ? change.OldValue(i) : effective(i);
            if (p.DataType == TDADataType::datUnknown)
                p.DataType = fields[i].DataType;
        }
        statement->Open();
    } else {
        if (dataset.TableName.isEmpty())
            throw EDAException(QStringLiteral("Dataset \"%1\" cannot be changed").arg(dataset.Name));
        TDAParamCollection params;
        auto bind = [&](const QVariant &value, TDADataType type) {
            const QString name = QLatin1Char('p') + QString::number(params.Count() + 1);
            TDAParam &p = params.Add(name, value);
            p.DataType = type;
            return QLatin1Char(':') + name;
        };
        QStringList where;
        bool hasKey = false;
        for (int i = 0; i < fields.size(); ++i) {
            const bool useInWhere = fields[i].InPrimaryKey
                                    || (m_updateMode == TDAUpdateMode::updWhereAll && !fields[i].ReadOnly && change.HasOldValue(i))
                                    || (m_updateMode == TDAUpdateMode::updWhereChanged && !fields[i].ReadOnly
                                        && change.HasOldValue(i) && change.HasNewValue(i));
            if (!useInWhere || change.ChangeType == TDAChangeType::ctInsert)
                continue;
            hasKey = hasKey || fields[i].InPrimaryKey;
            const QVariant old = change.HasOldValue(i) ? change.OldValue(i) : change.NewValue(i);
            where << (DAIsNull(old) ? fields[i].Name + QStringLiteral(" IS NULL")
                                    : fields[i].Name + QStringLiteral(" = ") + bind(old, fields[i].DataType));
        }
        if (change.ChangeType != TDAChangeType::ctInsert && !hasKey)
            throw EDAException(QStringLiteral("Dataset \"%1\" has no key to find the row by").arg(dataset.Name));
        QString sql;
        if (change.ChangeType == TDAChangeType::ctInsert) {
            QStringList columns;
            QStringList values;
            for (int i = 0; i < fields.size(); ++i)
                if (!fields[i].ReadOnly && change.HasNewValue(i)) {
                    columns << fields[i].Name;
                    values << bind(change.NewValue(i), fields[i].DataType);
                }
            sql = columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING *").arg(dataset.TableName)
                                    : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING *")
                                          .arg(dataset.TableName, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
        } else if (change.ChangeType == TDAChangeType::ctUpdate) {
            QStringList sets;
            for (int i = 0; i < fields.size(); ++i)
                if (!fields[i].ReadOnly && change.HasNewValue(i))
                    sets << fields[i].Name + QStringLiteral(" = ") + bind(change.NewValue(i), fields[i].DataType);
            if (sets.isEmpty()) { // nothing to write, but the row must still be there
                for (const TDAField &f : fields)
                    if (f.InPrimaryKey && sets.isEmpty())
                        sets << QStringLiteral("%1 = %1").arg(f.Name);
            }
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 RETURNING *")
                      .arg(dataset.TableName, sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" AND ")));
        } else {
            sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(dataset.TableName, where.join(QStringLiteral(" AND ")));
        }
        statement = connection.NewDataset(sql);
        for (const TDAParam &p : params)
            statement->ParamByName(p.Name) = p;
        statement->Open();
        if (change.ChangeType != TDAChangeType::ctInsert && statement->GetRowsAffected() == 0)
            throw EDAException(QStringLiteral("The row of \"%1\" was changed or deleted by another user").arg(dataset.Name));
    }

    // Values the hook or the database set differ from what the client sent: send them back.
    if (change.ChangeType == TDAChangeType::ctDelete)
        return;
    const bool hasRow = statement->GetRecordCount() > 0;
    for (int i = 0; i < fields.size(); ++i) {
        const QVariant clientValue = sent.HasNewValue(i) ? sent.NewValue(i) : sent.OldValue(i);
        QVariant serverValue = change.HasNewValue(i) ? change.NewValue(i) : change.OldValue(i);
        bool known = change.HasNewValue(i) && !sameValue(change.NewValue(i), clientValue, fields[i].DataType);
        if (hasRow) {
            const int column = statement->FieldIndex(fields[i].Name);
            if (column >= 0) {
                serverValue = statement->Value(0, column);
                known = true;
            }
        }
        if (known && !sameValue(serverValue, clientValue, fields[i].DataType))
            answer.SetNewValue(i, DAIsNull(serverValue) ? QVariant() : DAConvertValue(serverValue, fields[i].DataType));
    }
}
