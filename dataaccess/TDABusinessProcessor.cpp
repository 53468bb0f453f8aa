#include "dataaccess/TDABusinessProcessor.h"

#include "dataaccess/DAException.h"

#include <optional>

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

bool TDABusinessProcessor::HasNewValue(const TDADeltaChange &change, const QString &fieldName) const
{
    return change.HasNewValue(FieldIndex(fieldName));
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

TDABusinessProcessor::TStoredRow TDABusinessProcessor::ReadStoredRow(IDAConnection &connection, const TDASchemaDataset &dataset,
                                                                    const QVariantList &key, bool lock) const
{
    TStoredRow stored;
    TDAParamCollection params;
    QStringList where;
    QStringList columns;
    int k = 0;
    for (const TDAField &f : dataset.Fields) {
        if (!f.ReadOnly)
            columns << f.Name;
        if (!f.InPrimaryKey)
            continue;
        const QVariant value = key.value(k++);
        const QString name = QStringLiteral("da_key_%1").arg(k);
        params.Add(name, value).DataType = f.DataType;
        where << (DAIsNull(value) ? f.Name + QStringLiteral(" IS NULL") : f.Name + QStringLiteral(" = :") + name);
    }
    const QString condition = where.join(QStringLiteral(" AND "));
    auto open = [&](const QString &sql, const TDAParamCollection &extra) {
        std::unique_ptr<TDAEDataset> read = connection.NewDataset(sql);
        for (TDAParam &p : read->GetParams())
            if (const TDAParam *given = extra.FindParam(p.Name))
                p = *given;
        read->Open();
        return read;
    };
    std::unique_ptr<TDAEDataset> read;
    if (!dataset.TableName.isEmpty())
        read = open(QStringLiteral("SELECT %1 FROM %2 WHERE %3%4")
                        .arg(columns.join(QStringLiteral(", ")), dataset.TableName, condition,
                             lock ? QStringLiteral(" FOR UPDATE") : QString()),
                    params);
    // Without parameters the dataset's statement shows every row, so narrowed to the key it
    // gives the row as clients see it (a field it shows in its own way, such as a password it
    // hands out as NULL, compares and is kept as they know it).
    if (dataset.Params.Count() == 0 && (!read || read->GetRecordCount() > 0)) {
        std::unique_ptr<TDAEDataset> shown =
            open(QStringLiteral("SELECT * FROM (%1) da_t WHERE %2").arg(dataset.StatementFor(connection.GetName()), condition), params);
        if (!read || shown->GetRecordCount() > 0)
            read = std::move(shown);
    }
    stored.Found = read->GetRecordCount() > 0;
    stored.Values = QVariantList(dataset.Fields.size());
    stored.Known = QList<bool>(dataset.Fields.size(), false);
    if (!stored.Found)
        return stored;
    for (int i = 0; i < dataset.Fields.size(); ++i) {
        const int column = read->FieldIndex(dataset.Fields[i].Name);
        if (column < 0)
            continue;
        const QVariant value = read->Value(0, column);
        stored.Values[i] = DAIsNull(value) ? QVariant() : DAConvertValue(value, dataset.Fields[i].DataType);
        stored.Known[i] = true;
    }
    return stored;
}

void TDABusinessProcessor::ProcessChange(IDAConnection &connection, const TDASchema &schema, const TDASchemaDataset &dataset,
                                         const QList<int> &schemaIndex, TDADeltaChange &change, TDADeltaChange &answer)
{
    const TDAFieldList &fields = *m_fields;
    // What the client sent, so values changed later (hook, database) can be told apart.
    TDADeltaChange sent = change;
    if (OnBeforeProcessDelta)
        OnBeforeProcessDelta(*this, change);

    const QString commandName = change.ChangeType == TDAChangeType::ctInsert   ? m_insertCommand
                                : change.ChangeType == TDAChangeType::ctUpdate ? m_updateCommand
                                                                               : m_deleteCommand;
    // The key of the row as stored (old values) and as the change leaves it (new values).
    auto findKey = [&](bool after) -> std::optional<QVariantList> {
        QVariantList key;
        for (const TDAField &f : dataset.Fields) {
            if (!f.InPrimaryKey)
                continue;
            const int i = DAFindField(fields, f.Name);
            if (i < 0 || (!change.HasOldValue(i) && !change.HasNewValue(i)))
                return std::nullopt;
            key << (after && change.HasNewValue(i) ? change.NewValue(i) : change.HasOldValue(i) ? change.OldValue(i) : change.NewValue(i));
        }
        return key;
    };
    auto keyOf = [&](bool after) {
        const std::optional<QVariantList> key = findKey(after);
        if (!key)
            throw EDAException(QStringLiteral("Dataset \"%1\" has no key to find the row by").arg(dataset.Name));
        return *key;
    };
    auto conflict = [&] {
        return EDAException(DAChangedByAnotherUserMessage(dataset.Name));
    };
    // The client's old values of the fields the mode compares (all it carries, or those it
    // sets) must still be the stored ones; a named update takes every field the change does
    // not set from the stored row, never NULL or the client's possibly stale old value.
    QList<int> compared;
    if (change.ChangeType != TDAChangeType::ctInsert)
        for (int i = 0; i < fields.size(); ++i)
            if (!fields[i].ReadOnly && !fields[i].InPrimaryKey && sent.HasOldValue(i)
                && !m_uncompared.contains(fields[i].Name, Qt::CaseInsensitive)
                && (m_updateMode == TDAUpdateMode::updWhereAll
                    || (m_updateMode == TDAUpdateMode::updWhereChanged && sent.HasNewValue(i))))
                compared << i;
    const bool namedUpdate = change.ChangeType == TDAChangeType::ctUpdate && !commandName.isEmpty();
    TStoredRow stored;
    if (namedUpdate || !compared.isEmpty()) {
        stored = ReadStoredRow(connection, dataset, keyOf(false), true);
        if (!stored.Found)
            throw conflict();
        for (int i : compared) {
            const int si = schemaIndex[i];
            if (stored.Known[si] && !sameValue(sent.OldValue(i), stored.Values[si], fields[i].DataType))
                throw conflict();
        }
    }

    std::unique_ptr<TDAEDataset> statement;
    // The row as the database left it, for the reply.
    std::optional<TStoredRow> written;
    if (!commandName.isEmpty()) {
        // A named command takes each field's value under the field's name and the old value
        // under "OLD_" + name.
        statement = schema.NewCommand(connection, commandName);
        for (TDAParam &p : statement->GetParams()) {
            const bool old = p.Name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
            const QString fieldName = old ? p.Name.mid(4) : p.Name;
            const int i = DAFindField(fields, fieldName);
            const int si = DAFindField(dataset.Fields, fieldName);
            if (i >= 0 && (old ? change.HasOldValue(i) : change.HasNewValue(i)))
                p.Value = old ? change.OldValue(i) : change.NewValue(i);
            else if (namedUpdate && si >= 0 && stored.Known[si])
                p.Value = stored.Values[si];
            else if (i >= 0)
                p.Value = change.OldValue(i);
            else
                continue; // a parameter the command fills itself
            if (p.DataType == TDADataType::datUnknown)
                p.DataType = si >= 0 ? dataset.Fields[si].DataType : fields[i].DataType;
        }
        statement->Open();
        const std::optional<QVariantList> key = findKey(true);
        if (change.ChangeType != TDAChangeType::ctDelete && key)
            written = ReadStoredRow(connection, dataset, *key, false);
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
        // The row is found by its key; the mode's comparison was made on the locked row above.
        QStringList where;
        if (change.ChangeType != TDAChangeType::ctInsert) {
            const QVariantList key = keyOf(false);
            int k = 0;
            for (const TDAField &f : dataset.Fields)
                if (f.InPrimaryKey) {
                    const QVariant &old = key[k++];
                    where << (DAIsNull(old) ? f.Name + QStringLiteral(" IS NULL") : f.Name + QStringLiteral(" = ") + bind(old, f.DataType));
                }
        }
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
            throw conflict();
    }

    // Values the hook or the database set differ from what the client sent: send them back.
    if (change.ChangeType == TDAChangeType::ctDelete)
        return;
    const bool hasRow = statement->GetRecordCount() > 0;
    for (int i = 0; i < fields.size(); ++i) {
        const QVariant clientValue = sent.HasNewValue(i) ? sent.NewValue(i) : sent.OldValue(i);
        QVariant serverValue = change.HasNewValue(i) ? change.NewValue(i) : change.OldValue(i);
        bool known = change.HasNewValue(i) && !sameValue(change.NewValue(i), clientValue, fields[i].DataType);
        if (written) {
            const int si = schemaIndex[i];
            if (written->Found && written->Known[si]) {
                serverValue = written->Values[si];
                known = true;
            }
        } else if (hasRow) {
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
