// The client data table the plug-ins use: rows fetched from a data service, edited locally
// with a change log, and applied back as one delta. A failed apply leaves every pending
// change in place; values the server set (keys, defaults, processor values) come back into
// the rows. Used on one thread (the client's main thread).
#pragma once

#include "dataaccess/DADataTypes.h"
#include "dataaccess/DAException.h"
#include "dataaccess/DARecords.h"
#include "dataaccess/DataAccessExport.h"
#include "dataaccess/TDADataStreamer.h"
#include "dataaccess/TDAWhere.h"

#include <QList>
#include <QStringList>
#include <QVariant>

#include <functional>

class TDARemoteDataAdapter;
class TDACDSDataTable;

// An apply refused because another user changed or deleted a row of it since it was read:
// the table and the row (by RecID) the server refused. Every pending change stays.
class DATAACCESS_EXPORT EDAChangedByAnotherUser : public EDAException
{
public:
    EDAChangedByAnotherUser(const QString &message, TDACDSDataTable *table, int recId)
        : EDAException(message), Table(table), RecID(recId) {}
    TDACDSDataTable *Table;
    int RecID;
};

enum class TDATableState { dsInactive, dsBrowse, dsEdit, dsInsert };

// What a view of the table hears: the visible rows are about to change and have changed
// (re-read everything), one row's values changed, or the cursor moved.
enum class TDATableChange { AboutToReset, Reset, RowChanged, CursorMoved };

class DATAACCESS_EXPORT TDACDSDataTable
{
public:
    // Read access to one row, for filters.
    class DATAACCESS_EXPORT TDARecord
    {
    public:
        TDARecord(const TDACDSDataTable &table, const QVariantList &values) : m_table(table), m_values(values) {}
        QVariant Value(const QString &fieldName) const;

    private:
        const TDACDSDataTable &m_table;
        const QVariantList &m_values;
    };

    TDACDSDataTable(const QString &logicalName, TDARemoteDataAdapter *adapter);
    ~TDACDSDataTable();
    TDACDSDataTable(const TDACDSDataTable &) = delete;
    TDACDSDataTable &operator=(const TDACDSDataTable &) = delete;

    QString GetLogicalName() const { return m_logicalName; }
    TDARemoteDataAdapter *GetAdapter() const { return m_adapter; }
    TDAParamCollection &GetParams() { return m_params; }
    TDAParam &ParamByName(const QString &name);
    void SetWhere(const TDAWhere &where) { m_where = where; }
    void SetMaxRecords(int maxRecords) { m_maxRecords = maxRecords; }

    // Fetches the rows; the cursor goes to the first row.
    void Open();
    void Close();
    // Fetches again and returns to the row with the same key where it still exists. Refused
    // while changes are pending (apply or cancel them first).
    void Refresh();
    // Reads one row again as the server stores it, by its key as fetched; its pending change
    // goes, those of other rows stay. False when the server has it no more (it leaves the table).
    bool ReloadRow(int recId);
    // A field of the row with that RecID as fetched or last applied, whether the row is shown
    // or not; null when there is none.
    QVariant StoredValue(int recId, const QString &fieldName) const;
    bool GetActive() const { return m_state != TDATableState::dsInactive; }
    TDATableState GetState() const { return m_state; }
    bool IsEditing() const { return m_state == TDATableState::dsEdit || m_state == TDATableState::dsInsert; }
    const TDAFieldList &GetFields() const { return m_fields; }
    int FieldIndex(const QString &fieldName) const { return DAFindField(m_fields, fieldName); }

    // Navigation over the visible rows (after master link, filter and sort).
    int GetRecordCount() const { return int(m_visible.size()); }
    int GetRecNo() const { return m_recNo; }
    void SetRecNo(int recNo);
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const { return m_recNo <= 0; }
    // Moves to the first row whose field equals the value (text without regard to case).
    bool Locate(const QString &fieldName, const QVariant &value);
    void Sort(const QString &fieldName, bool ascending = true);
    void SetFilter(std::function<bool(const TDARecord &)> predicate);
    void ClearFilter() { SetFilter({}); }
    const std::function<bool(const TDARecord &)> &GetFilter() const { return m_filter; }
    // The rows the master link shows, whatever the filter, that pass the predicate (as stored:
    // an edit not yet posted does not count). Moves no cursor and tells no listener, so a view
    // of the table keeps its rows.
    int CountRows(const std::function<bool(const TDARecord &)> &predicate) const;

    // A field of a visible row without moving the cursor; the current row shows the edit buffer
    // while it is being edited.
    QVariant ValueAt(int recNo, int fieldIndex) const;

    // Views register here; a listener must not throw. recNo is the row (RowChanged, CursorMoved).
    using Listener = std::function<void(TDATableChange change, int recNo)>;
    int AddListener(Listener listener);
    void RemoveListener(int id);

    // Field values of the current row (of the edit buffer while editing or inserting).
    QVariant Value(const QString &fieldName) const;
    QString AsString(const QString &fieldName) const { return Value(fieldName).toString(); }
    int AsInteger(const QString &fieldName) const { return Value(fieldName).toInt(); }
    bool IsNull(const QString &fieldName) const { return DAIsNull(Value(fieldName)); }
    // Only while editing or inserting; converts to the field's type.
    void SetValue(const QString &fieldName, const QVariant &value);

    void Insert();
    void Append() { Insert(); }
    void Edit();
    void Post();
    // Posts the row being edited or inserted; nothing otherwise.
    void PostIfEditing()
    {
        if (IsEditing())
            Post();
    }
    void Cancel();
    void Delete();
    // Removes every row shown, each logged as a deletion to apply.
    void ClearRows();

    bool HasChanges() const;
    int PendingChangeCount() const;
    // Sends the pending changes (and those of detail tables, after this one) in one call.
    // Throws EDAException with the server's message when a change fails (EDAChangedByAnotherUser
    // when another user changed its row); the pending changes then all stay. With refetch
    // every row is read again afterwards.
    void ApplyUpdates(bool refetch = false);
    // Several tables in one call and one server transaction, in the order given.
    static void ApplyUpdates(const QList<TDACDSDataTable *> &tables, bool refetch = false);
    void CancelUpdates();

    // Master/detail: this table shows the rows whose detail fields equal the master's
    // current master fields. With parameter names, the rows are fetched per master row with
    // those parameters set from the master fields.
    void SetMasterSource(TDACDSDataTable *master, const QStringList &masterFields, const QStringList &detailFields,
                         const QStringList &detailParams = {});

    // Brackets a change of the visible rows; nested changes tell the listeners once. Many posts
    // in one scope (an import) have every view re-read its rows once, not once per post.
    class DATAACCESS_EXPORT ResetScope
    {
    public:
        explicit ResetScope(TDACDSDataTable &table);
        ~ResetScope();
        ResetScope(const ResetScope &) = delete;
        ResetScope &operator=(const ResetScope &) = delete;

    private:
        TDACDSDataTable &m_table;
    };

    std::function<void(TDACDSDataTable &)> OnAfterInsert;
    std::function<void(TDACDSDataTable &)> OnAfterEdit;
    std::function<void(TDACDSDataTable &)> OnBeforePost;

private:
    struct Row
    {
        int RecID = 0;
        QVariantList Values;
        QVariantList Original;   // as fetched or last applied
        bool Inserted = false;
        bool Modified = false;
        int LogOrder = 0;        // when it was first changed, to apply in that order
    };

    int FieldIndexOrThrow(const QString &fieldName) const;
    // Whether a row's values belong to the master's current row; every row without a master.
    std::function<bool(const QVariantList &)> MasterLink() const;
    void Fetch();
    TableRequestInfoV5 RequestInfo() const;
    // keepRecId: the row to stay on; -1 the current one, -2 the first.
    void Rebuild(int keepRecId = -1);
    // After a post of that one row (shown at shownAt before it, -1 when new): the row takes its
    // place in the visible index (or leaves it) and becomes the current one, as a whole Rebuild
    // would leave it, without reading every other row again.
    void PlaceRow(int rowIndex, int shownAt);
    void RequireBrowse(const char *operation) const;
    void RequireActive() const;
    Row *CurrentRow();
    const Row *CurrentRow() const;
    void MasterMoved();
    void NotifyDetails();
    enum class Part { All, DeletesOnly, NoDeletes };
    TDADelta BuildDelta(Part part) const;
    static void ApplyParts(const QList<QPair<TDACDSDataTable *, Part>> &parts, bool refetch);
    void MergeReply(const TDADelta &reply);
    void CollectTables(QList<TDACDSDataTable *> &into);
    void Notify(TDATableChange change, int recNo = -1);

    QString m_logicalName;
    TDARemoteDataAdapter *m_adapter;
    TDAParamCollection m_params;
    TDAWhere m_where;
    int m_maxRecords = -1;
    TDATableState m_state = TDATableState::dsInactive;
    TDAFieldList m_fields;
    QList<Row> m_rows;
    QList<Row> m_deleted;
    QList<int> m_visible;      // indexes into m_rows
    int m_recNo = 0;
    int m_nextRecId = 0;
    int m_nextLogOrder = 0;
    QVariantList m_buffer;
    std::function<bool(const TDARecord &)> m_filter;
    QString m_sortField;
    bool m_sortAscending = true;

    TDACDSDataTable *m_master = nullptr;
    QStringList m_masterFields;
    QStringList m_detailFields;
    QStringList m_detailParams;
    QList<TDACDSDataTable *> m_details;

    QList<QPair<int, Listener>> m_listeners;
    int m_nextListenerId = 0;
    int m_resetDepth = 0;
};
