// Writes the changes of one dataset's delta to the database: through the schema commands it
// names, or through INSERT/UPDATE/DELETE statements it builds from the dataset's fields (key
// fields in the WHERE, values always bound). An update changes only the fields it sets: a
// named command gets the stored value of every other field. Hooks see each change before it is
// written and each error; values the database set (keys, defaults, hook values) go back into
// the change.
#pragma once

#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDASchema.h"

#include <QStringList>

#include <functional>
#include <utility>

class EDAException;

enum class TDAUpdateMode { updWhereKeyOnly, updWhereAll, updWhereChanged };

class DATAACCESS_EXPORT TDABusinessProcessor
{
public:
    explicit TDABusinessProcessor(const QString &referencedDataset = {});

    QString GetReferencedDataset() const { return m_referencedDataset; }
    void SetReferencedDataset(const QString &name) { m_referencedDataset = name; }
    QString GetInsertCommandName() const { return m_insertCommand; }
    void SetInsertCommandName(const QString &name) { m_insertCommand = name; }
    QString GetUpdateCommandName() const { return m_updateCommand; }
    void SetUpdateCommandName(const QString &name) { m_updateCommand = name; }
    QString GetDeleteCommandName() const { return m_deleteCommand; }
    void SetDeleteCommandName(const QString &name) { m_deleteCommand = name; }
    // Which old values must still be the stored ones for an update to be written (a delete
    // compares as updWhereAll only); the key always finds the row.
    TDAUpdateMode GetUpdateMode() const { return m_updateMode; }
    void SetUpdateMode(TDAUpdateMode mode) { m_updateMode = mode; }
    // Fields the mode never compares: those every save sets, such as who changed the row last
    // and when, so that two saves of different fields do not refuse each other over them.
    void SetUncomparedFields(const QStringList &fieldNames) { m_uncompared = fieldNames; }

    // Called for each change before it is written; may read and replace its new values.
    std::function<void(TDABusinessProcessor &, TDADeltaChange &)> OnBeforeProcessDelta;
    // Called when writing a change failed. Leaving canContinue false fails the whole update;
    // setting it drops just this change (it ran in a savepoint) and carries on.
    std::function<void(TDABusinessProcessor &, TDADeltaChange &, const EDAException &, bool &canContinue)> OnProcessError;

    // Whether the delta being processed carries the field (case ignored).
    bool HasField(const QString &fieldName) const { return m_fields && DAFindField(*m_fields, fieldName) >= 0; }
    // New values of the change being processed, by field name (case ignored).
    QVariant GetNewValue(const TDADeltaChange &change, const QString &fieldName) const;
    void SetNewValue(TDADeltaChange &change, const QString &fieldName, const QVariant &value) const;
    QVariant GetOldValue(const TDADeltaChange &change, const QString &fieldName) const;
    // Whether the change sets the field (GetNewValue gives the old value where it does not).
    bool HasNewValue(const TDADeltaChange &change, const QString &fieldName) const;
    // Drops the change's new value of a field so that it is not written; nothing when the
    // delta does not carry the field.
    void ClearNewValue(TDADeltaChange &change, const QString &fieldName) const;

    // Writes every change of the delta in order inside the caller's transaction. Each change
    // gets its status; server-set values are placed in 'reply' (same fields, new values
    // only). Returns false when a change failed and the update must not be committed.
    bool ProcessDelta(IDAConnection &connection, const TDASchema &schema, TDADelta &delta, TDADelta &reply);
    // The database's own texts of the changes that failed since the last call: a failed
    // change's message is the plain one a client is given (DAClientMessage).
    QStringList TakeFailures() { return std::exchange(m_failures, {}); }

private:
    // A row of the dataset as stored, by the schema's fields; Known is false for a field the
    // read does not show.
    struct TStoredRow
    {
        bool Found = false;
        QVariantList Values;
        QList<bool> Known;
    };
    // The row with the key (values of the key fields in the schema's order); with lock the row
    // stays locked for the rest of the transaction, so nobody changes it between comparing and
    // writing.
    TStoredRow ReadStoredRow(IDAConnection &connection, const TDASchemaDataset &dataset, const QVariantList &key, bool lock) const;
    int FieldIndex(const QString &fieldName) const;
    void ProcessChange(IDAConnection &connection, const TDASchema &schema, const TDASchemaDataset &dataset,
                       const QList<int> &schemaIndex, TDADeltaChange &change, TDADeltaChange &replyChange);

    QString m_referencedDataset;
    QStringList m_failures;
    QString m_insertCommand;
    QString m_updateCommand;
    QString m_deleteCommand;
    TDAUpdateMode m_updateMode = TDAUpdateMode::updWhereKeyOnly;
    QStringList m_uncompared;
    const TDAFieldList *m_fields = nullptr;
};
