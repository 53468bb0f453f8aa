#include "dataaccess/TDACDSDataTable.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDARemoteDataAdapter.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>

namespace {

bool sameValue(const QVariant &a, const QVariant &b, TDADataType type, bool ignoreCase = false)
{
    if (DAIsNull(a) || DAIsNull(b))
        return DAIsNull(a) && DAIsNull(b);
    try {
        const QVariant x = DAConvertValue(a, type);
        const QVariant y = DAConvertValue(b, type);
        if (ignoreCase && DAValueKind(type) == TDAValueKind::Text)
            return x.toString().compare(y.toString(), Qt::CaseInsensitive) == 0;
        return x == y;
    } catch (const EDAException &) {
        return false;
    }
}

int compareValues(const QVariant &a, const QVariant &b, TDADataType type)
{
    if (DAIsNull(a) || DAIsNull(b))
        return DAIsNull(a) ? (DAIsNull(b) ? 0 : -1) : 1;
    switch (DAValueKind(type)) {
    case TDAValueKind::Text: return a.toString().compare(b.toString(), Qt::CaseInsensitive);
    case TDAValueKind::Int32:
    case TDAValueKind::Int64:
    case TDAValueKind::Boolean: return a.toLongLong() < b.toLongLong() ? -1 : (a.toLongLong() > b.toLongLong() ? 1 : 0);
    case TDAValueKind::Double: return a.toDouble() < b.toDouble() ? -1 : (a.toDouble() > b.toDouble() ? 1 : 0);
    case TDAValueKind::DateTime: return a.toDateTime() < b.toDateTime() ? -1 : (a.toDateTime() > b.toDateTime() ? 1 : 0);
    default: return a.toByteArray() < b.toByteArray() ? -1 : (a.toByteArray() > b.toByteArray() ? 1 : 0);
    }
}

} // namespace

QVariant TDACDSDataTable::TDARecord::Value(const QString &fieldName) const
{
    return m_values.at(m_table.FieldIndexOrThrow(fieldName));
}

TDACDSDataTable::TDACDSDataTable(const QString &logicalName, TDARemoteDataAdapter *adapter)
    : m_logicalName(logicalName)
    , m_adapter(adapter)
{
}

TDACDSDataTable::ResetScope::ResetScope(TDACDSDataTable &table) : m_table(table)
{
    if (m_table.m_resetDepth++ == 0)
        m_table.Notify(TDATableChange::AboutToReset);
}

TDACDSDataTable::ResetScope::~ResetScope()
{
    if (--m_table.m_resetDepth == 0)
        m_table.Notify(TDATableChange::Reset);
}

int TDACDSDataTable::AddListener(Listener listener)
{
    m_listeners << qMakePair(++m_nextListenerId, std::move(listener));
    return m_nextListenerId;
}

void TDACDSDataTable::RemoveListener(int id)
{
    for (int i = 0; i < m_listeners.size(); ++i)
        if (m_listeners[i].first == id) {
            m_listeners.removeAt(i);
            return;
        }
}

void TDACDSDataTable::Notify(TDATableChange change, int recNo)
{
    // A listener may remove itself while it is told.
    const QList<QPair<int, Listener>> listeners = m_listeners;
    for (const auto &l : listeners)
        l.second(change, recNo);
}

int TDACDSDataTable::CountRows(const std::function<bool(const TDARecord &)> &predicate) const
{
    const auto linked = MasterLink();
    int count = 0;
    for (const Row &row : m_rows)
        if (linked(row.Values) && predicate(TDARecord(*this, row.Values)))
            ++count;
    return count;
}

QVariant TDACDSDataTable::ValueAt(int recNo, int fieldIndex) const
{
    if (recNo < 0 || recNo >= m_visible.size() || fieldIndex < 0 || fieldIndex >= m_fields.size())
        return {};
    if (recNo == m_recNo && m_state == TDATableState::dsEdit)
        return m_buffer.value(fieldIndex);
    return m_rows[m_visible[recNo]].Values.value(fieldIndex);
}

TDACDSDataTable::~TDACDSDataTable()
{
    if (m_master)
        m_master->m_details.removeAll(this);
    for (TDACDSDataTable *d : m_details)
        d->m_master = nullptr;
}

TDAParam &TDACDSDataTable::ParamByName(const QString &name)
{
    if (TDAParam *p = m_params.FindParam(name))
        return *p;
    return m_params.Add(name);
}

int TDACDSDataTable::FieldIndexOrThrow(const QString &fieldName) const
{
    const int i = DAFindField(m_fields, fieldName);
    if (i < 0)
        throw EDAException(QStringLiteral("%1: field \"%2\" not found").arg(m_logicalName, fieldName));
    return i;
}

void TDACDSDataTable::RequireActive() const
{
    if (m_state == TDATableState::dsInactive)
        throw EDAException(QStringLiteral("%1: the table is not open").arg(m_logicalName));
}

void TDACDSDataTable::RequireBrowse(const char *operation) const
{
    RequireActive();
    if (m_state != TDATableState::dsBrowse)
        throw EDAException(QStringLiteral("%1: cannot %2 while a row is being edited").arg(m_logicalName, QLatin1String(operation)));
}

TableRequestInfoV5 TDACDSDataTable::RequestInfo() const
{
    TableRequestInfoV5 info;
    info.MaxRecords = m_maxRecords;
    info.WhereClause = m_where.IsEmpty() ? QString() : m_where.ToXml();
    for (const TDAParam &p : m_params)
        info.Parameters << DataParameter{p.Name, p.Value};
    if (m_master && !m_detailParams.isEmpty() && m_master->GetActive()) {
        for (int i = 0; i < m_detailParams.size() && i < m_masterFields.size(); ++i) {
            const QVariant v = m_master->Eof() ? QVariant() : m_master->Value(m_masterFields[i]);
            bool replaced = false;
            for (DataParameter &dp : info.Parameters)
                if (dp.Name.compare(m_detailParams[i], Qt::CaseInsensitive) == 0) {
                    dp.Value = v;
                    replaced = true;
                }
            if (!replaced)
                info.Parameters << DataParameter{m_detailParams[i], v};
        }
    }
    return info;
}

void TDACDSDataTable::Fetch()
{
    if (!m_adapter)
        throw EDAException(QStringLiteral("%1: the table has no data adapter").arg(m_logicalName));
    const TableRequestInfoV5 info = RequestInfo();
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(m_adapter->GetData({m_logicalName}, {info}));
    if (tables.size() != 1)
        throw EDAException(QStringLiteral("%1: the server sent %2 tables for one").arg(m_logicalName).arg(tables.size()));
    m_fields = tables[0].Fields;
    // The visible list indexes the rows being replaced; a refetch with fewer rows must not
    // read through it.
    m_visible.clear();
    m_recNo = 0;
    // Rows of another shape (the same search table asked for another kind) keep no sort on a
    // column they do not have.
    if (!m_sortField.isEmpty() && DAFindField(m_fields, m_sortField) < 0)
        m_sortField.clear();
    m_rows.clear();
    m_deleted.clear();
    for (const QVariantList &values : tables[0].Rows) {
        Row r;
        r.RecID = ++m_nextRecId;
        r.Values = values;
        r.Original = values;
        m_rows << r;
    }
}

void TDACDSDataTable::Open()
{
    if (GetActive())
        return;
    ResetScope reset(*this);
    Fetch();
    m_state = TDATableState::dsBrowse;
    Rebuild();
    for (TDACDSDataTable *d : m_details)
        if (d->GetActive())
            d->MasterMoved();
}

void TDACDSDataTable::Close()
{
    ResetScope reset(*this);
    m_state = TDATableState::dsInactive;
    m_rows.clear();
    m_deleted.clear();
    m_visible.clear();
    m_buffer.clear();
    m_recNo = 0;
    for (TDACDSDataTable *d : m_details)
        d->Close();
}

void TDACDSDataTable::Refresh()
{
    RequireBrowse("refresh");
    if (HasChanges())
        throw EDAException(QStringLiteral("%1: apply or cancel the pending changes before refreshing").arg(m_logicalName));
    ResetScope reset(*this);
    const Row *current = CurrentRow();
    QVariantList key;
    if (current)
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_fields[i].InPrimaryKey)
                key << current->Values[i];
    Fetch();
    Rebuild();
    if (!key.isEmpty()) {
        for (int v = 0; v < m_visible.size(); ++v) {
            const Row &r = m_rows[m_visible[v]];
            int k = 0;
            bool same = true;
            for (int i = 0; i < m_fields.size() && same; ++i)
                if (m_fields[i].InPrimaryKey)
                    same = sameValue(r.Values[i], key.value(k++), m_fields[i].DataType);
            if (same) {
                m_recNo = v;
                break;
            }
        }
    }
    NotifyDetails();
}

bool TDACDSDataTable::ReloadRow(int recId)
{
    RequireBrowse("load a row again");
    if (!m_adapter)
        throw EDAException(QStringLiteral("%1: the table has no data adapter").arg(m_logicalName));
    // A row deleted here comes back as stored: the delete was refused and is no longer pending.
    const auto deleted = std::find_if(m_deleted.begin(), m_deleted.end(), [recId](const Row &r) { return r.RecID == recId; });
    if (deleted != m_deleted.end()) {
        Row back = *deleted;
        m_deleted.erase(deleted);
        back.Values = back.Original;
        m_rows << back;
    }
    const auto row = std::find_if(m_rows.begin(), m_rows.end(), [recId](const Row &r) { return r.RecID == recId; });
    if (row == m_rows.end())
        return false;
    TableRequestInfoV5 info = RequestInfo();
    info.MaxRecords = -1;
    TDAWhere where = m_where;
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].InPrimaryKey)
            where.AddCondition(m_fields[i].Name, DAIsNull(row->Original[i]) ? TDAWhereOperator::woIsNull : TDAWhereOperator::woEqual,
                               row->Original[i]);
    info.WhereClause = where.ToXml();
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(m_adapter->GetData({m_logicalName}, {info}));
    if (tables.size() != 1)
        throw EDAException(QStringLiteral("%1: the server sent %2 tables for one").arg(m_logicalName).arg(tables.size()));
    ResetScope reset(*this);
    const bool found = !tables[0].Rows.isEmpty();
    if (found) {
        QVariantList values(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i) {
            const int column = DAFindField(tables[0].Fields, m_fields[i].Name);
            values[i] = column >= 0 ? tables[0].Rows[0].value(column) : row->Original[i];
        }
        row->Values = values;
        row->Original = values;
        row->Modified = false;
    } else {
        m_rows.erase(row);
    }
    Rebuild(found ? recId : -2);
    NotifyDetails();
    return found;
}

QVariant TDACDSDataTable::StoredValue(int recId, const QString &fieldName) const
{
    const int f = FieldIndexOrThrow(fieldName);
    for (const QList<Row> *rows : {&m_rows, &m_deleted})
        for (const Row &r : *rows)
            if (r.RecID == recId)
                return r.Original[f];
    return {};
}

std::function<bool(const QVariantList &)> TDACDSDataTable::MasterLink() const
{
    if (!m_master)
        return [](const QVariantList &) { return true; };
    QList<int> masterIndex;
    QVariantList masterValues;
    for (int i = 0; i < m_detailFields.size() && i < m_masterFields.size(); ++i) {
        masterIndex << FieldIndexOrThrow(m_detailFields[i]);
        masterValues << (m_master->GetActive() && !m_master->Eof() ? m_master->Value(m_masterFields[i]) : QVariant());
    }
    return [this, masterIndex, masterValues](const QVariantList &values) {
        bool show = true;
        for (int i = 0; i < masterIndex.size() && show; ++i)
            show = !DAIsNull(masterValues[i]) && sameValue(values[masterIndex[i]], masterValues[i], m_fields[masterIndex[i]].DataType);
        return show;
    };
}

void TDACDSDataTable::Rebuild(int keepRecId)
{
    if (keepRecId == -1 && CurrentRow())
        keepRecId = CurrentRow()->RecID;
    m_visible.clear();
    const auto linked = MasterLink();
    for (int r = 0; r < m_rows.size(); ++r) {
        const Row &row = m_rows[r];
        bool show = linked(row.Values);
        if (show && m_filter)
            show = m_filter(TDARecord(*this, row.Values));
        if (show)
            m_visible << r;
    }
    if (!m_sortField.isEmpty()) {
        const int f = FieldIndexOrThrow(m_sortField);
        const TDADataType type = m_fields[f].DataType;
        std::stable_sort(m_visible.begin(), m_visible.end(), [&](int a, int b) {
            const int c = compareValues(m_rows[a].Values[f], m_rows[b].Values[f], type);
            return m_sortAscending ? c < 0 : c > 0;
        });
    }
    m_recNo = 0;
    for (int v = 0; v < m_visible.size(); ++v)
        if (m_rows[m_visible[v]].RecID == keepRecId)
            m_recNo = v;
}

TDACDSDataTable::Row *TDACDSDataTable::CurrentRow()
{
    return m_recNo >= 0 && m_recNo < m_visible.size() ? &m_rows[m_visible[m_recNo]] : nullptr;
}

const TDACDSDataTable::Row *TDACDSDataTable::CurrentRow() const
{
    return m_recNo >= 0 && m_recNo < m_visible.size() ? &m_rows[m_visible[m_recNo]] : nullptr;
}

void TDACDSDataTable::NotifyDetails()
{
    for (TDACDSDataTable *d : m_details)
        if (d->GetActive())
            d->MasterMoved();
}

void TDACDSDataTable::MasterMoved()
{
    ResetScope reset(*this);
    if (m_state != TDATableState::dsBrowse)
        Cancel();
    // Rows of the new master row are fetched when nothing is pending; pending changes of
    // other master rows are never thrown away.
    if (!m_detailParams.isEmpty() && !HasChanges())
        Fetch();
    Rebuild(-2);
    NotifyDetails();
}

void TDACDSDataTable::SetRecNo(int recNo)
{
    RequireBrowse("move");
    m_recNo = qBound(0, recNo, int(m_visible.size()));
    Notify(TDATableChange::CursorMoved, m_recNo);
    NotifyDetails();
}

void TDACDSDataTable::First() { SetRecNo(0); }
void TDACDSDataTable::Next() { SetRecNo(m_recNo + 1); }
void TDACDSDataTable::Prior() { SetRecNo(qMax(0, m_recNo - 1)); }
void TDACDSDataTable::Last() { SetRecNo(qMax(0, int(m_visible.size()) - 1)); }

bool TDACDSDataTable::Eof() const
{
    return m_recNo >= m_visible.size();
}

bool TDACDSDataTable::Locate(const QString &fieldName, const QVariant &value)
{
    RequireBrowse("locate");
    const int f = FieldIndexOrThrow(fieldName);
    for (int v = 0; v < m_visible.size(); ++v)
        if (sameValue(m_rows[m_visible[v]].Values[f], value, m_fields[f].DataType, true)) {
            SetRecNo(v);
            return true;
        }
    return false;
}

void TDACDSDataTable::Sort(const QString &fieldName, bool ascending)
{
    RequireBrowse("sort");
    if (!fieldName.isEmpty())
        FieldIndexOrThrow(fieldName);
    ResetScope reset(*this);
    m_sortField = fieldName;
    m_sortAscending = ascending;
    Rebuild();
}

void TDACDSDataTable::SetFilter(std::function<bool(const TDARecord &)> predicate)
{
    m_filter = std::move(predicate);
    if (GetActive()) {
        RequireBrowse("filter");
        ResetScope reset(*this);
        Rebuild();
        NotifyDetails();
    }
}

QVariant TDACDSDataTable::Value(const QString &fieldName) const
{
    RequireActive();
    const int f = FieldIndexOrThrow(fieldName);
    if (m_state == TDATableState::dsEdit || m_state == TDATableState::dsInsert)
        return m_buffer.at(f);
    const Row *row = CurrentRow();
    if (!row)
        throw EDAException(QStringLiteral("%1: no current row to read \"%2\" from").arg(m_logicalName, fieldName));
    return row->Values.at(f);
}

void TDACDSDataTable::SetValue(const QString &fieldName, const QVariant &value)
{
    if (m_state != TDATableState::dsEdit && m_state != TDATableState::dsInsert)
        throw EDAException(QStringLiteral("%1: the table is not in edit or insert state").arg(m_logicalName));
    const int f = FieldIndexOrThrow(fieldName);
    m_buffer[f] = DAIsNull(value) ? QVariant() : DAConvertValue(value, m_fields[f].DataType);
    if (m_state == TDATableState::dsEdit)
        Notify(TDATableChange::RowChanged, m_recNo);
}

void TDACDSDataTable::Insert()
{
    RequireBrowse("insert");
    m_buffer.clear();
    for (const TDAField &f : m_fields)
        m_buffer << (f.DefaultValue.isEmpty() ? QVariant() : DAConvertValue(f.DefaultValue, f.DataType));
    m_state = TDATableState::dsInsert;
    if (m_master && m_master->GetActive() && !m_master->Eof())
        for (int i = 0; i < m_detailFields.size() && i < m_masterFields.size(); ++i)
            SetValue(m_detailFields[i], m_master->Value(m_masterFields[i]));
    if (OnAfterInsert)
        OnAfterInsert(*this);
}

void TDACDSDataTable::Edit()
{
    RequireBrowse("edit");
    const Row *row = CurrentRow();
    if (!row)
        throw EDAException(QStringLiteral("%1: no current row to edit").arg(m_logicalName));
    m_buffer = row->Values;
    m_state = TDATableState::dsEdit;
    if (OnAfterEdit)
        OnAfterEdit(*this);
}

void TDACDSDataTable::Post()
{
    if (m_state != TDATableState::dsEdit && m_state != TDATableState::dsInsert)
        return;
    if (OnBeforePost)
        OnBeforePost(*this);
    ResetScope reset(*this);
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].Required && DAIsNull(m_buffer[i]))
            throw EDAException(QStringLiteral("%1: field \"%2\" needs a value").arg(m_logicalName, m_fields[i].Name));
    int rowIndex;
    if (m_state == TDATableState::dsInsert) {
        Row r;
        r.RecID = ++m_nextRecId;
        rowIndex = int(m_rows.size());
        r.Values = m_buffer;
        r.Original = QVariantList(m_fields.size());
        r.Inserted = true;
        r.LogOrder = ++m_nextLogOrder;
        m_rows << r;
    } else {
        rowIndex = m_visible[m_recNo];
        Row *row = CurrentRow();
        bool changed = false;
        for (int i = 0; i < m_fields.size(); ++i)
            changed = changed || !sameValue(row->Values[i], m_buffer[i], m_fields[i].DataType);
        row->Values = m_buffer;
        if (changed && !row->Inserted && !row->Modified) {
            row->Modified = true;
            row->LogOrder = ++m_nextLogOrder;
        }
    }
    m_buffer.clear();
    const bool inserted = m_state == TDATableState::dsInsert;
    m_state = TDATableState::dsBrowse;
    PlaceRow(rowIndex, inserted ? -1 : m_recNo);
    NotifyDetails();
}

void TDACDSDataTable::PlaceRow(int rowIndex, int shownAt)
{
    if (shownAt >= 0)
        m_visible.remove(shownAt);
    const Row &row = m_rows[rowIndex];
    bool show = MasterLink()(row.Values);
    if (show && m_filter)
        show = m_filter(TDARecord(*this, row.Values));
    if (!show) {
        m_recNo = 0;
        return;
    }
    // Rebuild's stable sort orders by the sort field, then by the place in m_rows.
    const int f = m_sortField.isEmpty() ? -1 : FieldIndexOrThrow(m_sortField);
    const auto before = [&](int a, int b) {
        if (f >= 0) {
            const int c = compareValues(m_rows[a].Values[f], m_rows[b].Values[f], m_fields[f].DataType);
            if (c != 0)
                return m_sortAscending ? c < 0 : c > 0;
        }
        return a < b;
    };
    const auto place = std::lower_bound(m_visible.begin(), m_visible.end(), rowIndex, before);
    m_recNo = int(place - m_visible.begin());
    m_visible.insert(place, rowIndex);
}

void TDACDSDataTable::Cancel()
{
    if (m_state == TDATableState::dsEdit || m_state == TDATableState::dsInsert) {
        const bool edited = m_state == TDATableState::dsEdit;
        m_buffer.clear();
        m_state = TDATableState::dsBrowse;
        if (edited)
            Notify(TDATableChange::RowChanged, m_recNo);
    }
}

void TDACDSDataTable::Delete()
{
    RequireBrowse("delete");
    Row *row = CurrentRow();
    if (!row)
        throw EDAException(QStringLiteral("%1: no current row to delete").arg(m_logicalName));
    ResetScope reset(*this);
    const int index = m_visible[m_recNo];
    // The server removes the rows of a deleted master row itself (cascade); the detail
    // tables drop them from view without logging them.
    for (TDACDSDataTable *d : m_details) {
        if (!d->GetActive())
            continue;
        for (int r = int(d->m_rows.size()) - 1; r >= 0; --r) {
            bool match = true;
            for (int i = 0; i < d->m_detailFields.size() && match; ++i)
                match = sameValue(d->m_rows[r].Values[d->FieldIndexOrThrow(d->m_detailFields[i])],
                                  row->Values[FieldIndexOrThrow(d->m_masterFields[i])], TDADataType::datString);
            if (match)
                d->m_rows.removeAt(r);
        }
    }
    Row removed = m_rows.takeAt(index);
    if (!removed.Inserted) {
        removed.LogOrder = ++m_nextLogOrder;
        m_deleted << removed;
    }
    const int keep = m_recNo;
    Rebuild(-2);
    m_recNo = qMin(keep, int(m_visible.size()));
    NotifyDetails();
}

void TDACDSDataTable::ClearRows()
{
    // Only the rows shown: a detail table must not clear the rows of other master rows.
    RequireBrowse("clear rows");
    ResetScope reset(*this);
    QList<int> shown = m_visible;
    std::sort(shown.begin(), shown.end(), std::greater<int>());
    for (int index : shown) {
        Row r = m_rows.takeAt(index);
        if (!r.Inserted) {
            r.LogOrder = ++m_nextLogOrder;
            m_deleted << r;
        }
    }
    Rebuild(-2);
    NotifyDetails();
}

bool TDACDSDataTable::HasChanges() const
{
    return PendingChangeCount() > 0;
}

int TDACDSDataTable::PendingChangeCount() const
{
    int n = int(m_deleted.size());
    for (const Row &r : m_rows)
        if (r.Inserted || r.Modified)
            ++n;
    return n;
}

TDADelta TDACDSDataTable::BuildDelta(Part part) const
{
    TDADelta delta;
    delta.LogicalName = m_logicalName;
    delta.Fields = m_fields;
    // Each change with whether it is a deletion, in the order the changes were made.
    QList<QPair<const Row *, bool>> changed;
    for (const Row &r : m_rows)
        if (r.Inserted || r.Modified)
            changed << qMakePair(&r, false);
    for (const Row &r : m_deleted)
        changed << qMakePair(&r, true);
    std::sort(changed.begin(), changed.end(), [](const auto &a, const auto &b) { return a.first->LogOrder < b.first->LogOrder; });
    const int n = int(m_fields.size());
    for (const auto &[r, deleted] : changed) {
        const TDAChangeType type = deleted ? TDAChangeType::ctDelete : (r->Inserted ? TDAChangeType::ctInsert : TDAChangeType::ctUpdate);
        if ((part == Part::DeletesOnly && !deleted) || (part == Part::NoDeletes && deleted))
            continue;
        TDADeltaChange c(r->RecID, type, n);
        for (int i = 0; i < n; ++i) {
            if (type == TDAChangeType::ctInsert) {
                if (!DAIsNull(r->Values[i]))
                    c.SetNewValue(i, r->Values[i]);
                continue;
            }
            c.SetOldValue(i, r->Original[i]);
            if (type == TDAChangeType::ctUpdate && !sameValue(r->Values[i], r->Original[i], m_fields[i].DataType))
                c.SetNewValue(i, r->Values[i]);
        }
        delta.Changes << c;
    }
    return delta;
}

void TDACDSDataTable::MergeReply(const TDADelta &reply)
{
    // By key, not by a search of every row per change: an import sends tens of thousands.
    QHash<int, int> rowOf;
    rowOf.reserve(m_rows.size());
    for (int r = 0; r < m_rows.size(); ++r)
        rowOf.insert(m_rows[r].RecID, r);
    QList<int> fieldOf;
    for (const TDAField &field : reply.Fields)
        fieldOf << DAFindField(m_fields, field.Name);
    for (const TDADeltaChange &c : reply.Changes) {
        const auto row = rowOf.constFind(c.RecID);
        if (row == rowOf.cend())
            continue;
        Row &r = m_rows[*row];
        for (int i = 0; i < fieldOf.size(); ++i)
            if (fieldOf[i] >= 0 && i < c.FieldCount() && c.HasNewValue(i))
                r.Values[fieldOf[i]] = c.NewValue(i);
    }
    for (Row &r : m_rows) {
        r.Original = r.Values;
        r.Inserted = false;
        r.Modified = false;
    }
    m_deleted.clear();
}

void TDACDSDataTable::CollectTables(QList<TDACDSDataTable *> &into)
{
    if (!into.contains(this))
        into << this;
    for (TDACDSDataTable *d : m_details)
        if (d->GetActive())
            d->CollectTables(into);
}

void TDACDSDataTable::ApplyUpdates(bool refetch)
{
    // With detail tables: their deletions first (deepest first), then this table, then the
    // details' inserts and updates, so no row ever points at a parent that is not there.
    QList<TDACDSDataTable *> tables;
    CollectTables(tables);
    QList<QPair<TDACDSDataTable *, Part>> parts;
    for (int i = int(tables.size()) - 1; i >= 1; --i)
        parts << qMakePair(tables[i], Part::DeletesOnly);
    parts << qMakePair(this, Part::All);
    for (int i = 1; i < tables.size(); ++i)
        parts << qMakePair(tables[i], Part::NoDeletes);
    ApplyParts(parts, refetch);
}

void TDACDSDataTable::ApplyUpdates(const QList<TDACDSDataTable *> &tables, bool refetch)
{
    QList<QPair<TDACDSDataTable *, Part>> parts;
    for (TDACDSDataTable *t : tables)
        parts << qMakePair(t, Part::All);
    ApplyParts(parts, refetch);
}

void TDACDSDataTable::ApplyParts(const QList<QPair<TDACDSDataTable *, Part>> &parts, bool refetch)
{
    QList<TDADelta> deltas;
    QList<TDACDSDataTable *> sending;
    TDARemoteDataAdapter *adapter = nullptr;
    for (const auto &part : parts) {
        TDACDSDataTable *t = part.first;
        if (!t->GetActive())
            continue;
        t->Post();
        const TDADelta delta = t->BuildDelta(part.second);
        if (delta.Changes.isEmpty())
            continue;
        if (adapter && t->m_adapter != adapter)
            throw EDAException(QStringLiteral("Tables of different services cannot be applied together"));
        adapter = t->m_adapter;
        deltas << delta;
        sending << t;
    }
    if (!deltas.isEmpty()) {
        const QList<TDADelta> replies = TDADataStreamer::ReadDeltas(adapter->UpdateData(TDADataStreamer::WriteDeltas(deltas)));
        if (replies.size() != deltas.size())
            throw EDAException(QStringLiteral("The server answered an update with %1 tables for %2").arg(replies.size()).arg(deltas.size()));
        for (int i = 0; i < replies.size(); ++i)
            for (const TDADeltaChange &c : replies[i].Changes)
                if (c.Status != TDAChangeStatus::csResolved) {
                    // Nothing was written; every pending change stays for another try.
                    QString message;
                    TDACDSDataTable *table = sending[i];
                    int recId = -1;
                    for (int j = 0; j < replies.size() && message.isEmpty(); ++j)
                        for (const TDADeltaChange &f : replies[j].Changes)
                            if (f.Status == TDAChangeStatus::csFailed && message.isEmpty()) {
                                message = f.Message;
                                table = sending[j];
                                recId = f.RecID;
                            }
                    const QString text =
                        QStringLiteral("%1: %2").arg(table->m_logicalName, message.isEmpty() ? QStringLiteral("the changes were not applied") : message);
                    if (DAIsChangedByAnotherUser(message))
                        throw EDAChangedByAnotherUser(text, table, recId);
                    throw EDAException(text);
                }
        for (int i = 0; i < replies.size(); ++i) {
            ResetScope reset(*sending[i]);
            const int keep = sending[i]->CurrentRow() ? sending[i]->CurrentRow()->RecID : -1;
            sending[i]->MergeReply(replies[i]);
            sending[i]->Rebuild(keep);
        }
    }
    if (refetch) {
        QList<TDACDSDataTable *> done;
        for (const auto &part : parts)
            if (part.first->GetActive() && !done.contains(part.first)) {
                done << part.first;
                part.first->Refresh();
            }
    }
}

void TDACDSDataTable::CancelUpdates()
{
    Cancel();
    ResetScope reset(*this);
    // Taken before the rows change: the visible indexes point into the old rows.
    const Row *current = CurrentRow();
    const int keepRecId = current ? current->RecID : -2;
    QList<Row> kept;
    for (Row &r : m_rows) {
        if (r.Inserted)
            continue;
        r.Values = r.Original;
        r.Modified = false;
        kept << r;
    }
    for (Row &r : m_deleted)
        kept << r;
    std::sort(kept.begin(), kept.end(), [](const Row &a, const Row &b) { return a.RecID < b.RecID; });
    m_rows = kept;
    m_deleted.clear();
    if (GetActive())
        Rebuild(keepRecId);
    NotifyDetails();
}

void TDACDSDataTable::SetMasterSource(TDACDSDataTable *master, const QStringList &masterFields, const QStringList &detailFields,
                                      const QStringList &detailParams)
{
    if (m_master)
        m_master->m_details.removeAll(this);
    m_master = master;
    m_masterFields = masterFields;
    m_detailFields = detailFields;
    m_detailParams = detailParams;
    if (m_master)
        m_master->m_details << this;
    if (GetActive() && m_state == TDATableState::dsBrowse) {
        ResetScope reset(*this);
        Rebuild();
    }
}
