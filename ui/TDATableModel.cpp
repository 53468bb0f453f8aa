#include "ui/TDATableModel.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"

TDATableModel::TDATableModel(TDACDSDataTable *table, QObject *parent) : QAbstractTableModel(parent), m_table(table)
{
    m_listener = m_table->AddListener([this](TDATableChange change, int recNo) { TableChanged(int(change), recNo); });
}

TDATableModel::~TDATableModel()
{
    m_table->RemoveListener(m_listener);
}

void TDATableModel::TableChanged(int change, int recNo)
{
    switch (TDATableChange(change)) {
    case TDATableChange::AboutToReset:
        // An edit of this model tells its views itself once the row is posted.
        if (!m_posting)
            beginResetModel();
        break;
    case TDATableChange::Reset:
        if (!m_posting)
            endResetModel();
        break;
    case TDATableChange::RowChanged:
        if (recNo >= 0 && recNo < rowCount() && columnCount() > 0)
            emit dataChanged(index(recNo, 0), index(recNo, columnCount() - 1));
        break;
    case TDATableChange::CursorMoved:
        emit currentRowChanged(recNo);
        break;
    }
}

void TDATableModel::SetColumns(const QStringList &fieldNames)
{
    beginResetModel();
    m_columns = fieldNames;
    endResetModel();
}

void TDATableModel::SetCaption(const QString &fieldName, const QString &caption)
{
    m_captions.insert(fieldName.toLower(), caption);
    const int column = ColumnOf(fieldName);
    if (column >= 0)
        emit headerDataChanged(Qt::Horizontal, column, column);
}

QString TDATableModel::FieldName(int column) const
{
    const int f = FieldIndex(column);
    return f >= 0 ? m_table->GetFields()[f].Name : QString();
}

int TDATableModel::ColumnOf(const QString &fieldName) const
{
    if (m_columns.isEmpty())
        return m_table->FieldIndex(fieldName);
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].compare(fieldName, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int TDATableModel::FieldIndex(int column) const
{
    if (column < 0)
        return -1;
    if (m_columns.isEmpty())
        return column < m_table->GetFields().size() ? column : -1;
    return column < m_columns.size() ? m_table->FieldIndex(m_columns[column]) : -1;
}

bool TDATableModel::IsBoolean(int column) const
{
    const int f = FieldIndex(column);
    return f >= 0 && m_table->GetFields()[f].DataType == TDADataType::datBoolean;
}

int TDATableModel::CurrentRow() const
{
    return m_table->GetActive() && !m_table->Eof() ? m_table->GetRecNo() : -1;
}

void TDATableModel::SetCurrentRow(int row)
{
    if (m_table->GetState() == TDATableState::dsBrowse && row >= 0 && row < rowCount() && row != m_table->GetRecNo())
        m_table->SetRecNo(row);
}

int TDATableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table->GetActive() ? 0 : m_table->GetRecordCount();
}

int TDATableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_columns.isEmpty() ? int(m_table->GetFields().size()) : int(m_columns.size());
}

QVariant TDATableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int f = FieldIndex(index.column());
    if (f < 0)
        return {};
    const QVariant value = m_table->ValueAt(index.row(), f);
    if (IsBoolean(index.column())) {
        if (role == Qt::CheckStateRole)
            return value.toBool() ? Qt::Checked : Qt::Unchecked;
        return role == Qt::EditRole ? value : QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return DAIsNull(value) ? QVariant() : value;
    return {};
}

QVariant TDATableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString name = FieldName(section);
    return m_captions.value(name.toLower(), name);
}

void TDATableModel::SetFieldReadOnly(const QString &fieldName, bool readOnly)
{
    if (readOnly)
        m_readOnlyFields.insert(fieldName.toLower());
    else
        m_readOnlyFields.remove(fieldName.toLower());
}

Qt::ItemFlags TDATableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int f = FieldIndex(index.column());
    if (m_readOnly || f < 0)
        return result;
    const auto &field = m_table->GetFields()[f];
    if (field.ReadOnly || (!m_readOnlyFields.isEmpty() && m_readOnlyFields.contains(field.Name.toLower())))
        return result;
    return result | (IsBoolean(index.column()) ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool TDATableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const bool boolean = IsBoolean(index.column());
    if ((boolean && role != Qt::CheckStateRole && role != Qt::EditRole) || (!boolean && role != Qt::EditRole))
        return false;
    const QVariant stored = boolean && role == Qt::CheckStateRole ? QVariant(value.toInt() == Qt::Checked) : value;
    const int rows = rowCount();
    m_posting = true;
    try {
        if (m_table->GetRecNo() != index.row())
            m_table->SetRecNo(index.row());
        m_table->Edit();
        m_table->SetValue(FieldName(index.column()), stored);
        m_table->Post();
    } catch (const EDAException &e) {
        m_table->Cancel();
        m_posting = false;
        emit editFailed(e.Message());
        return false;
    }
    m_posting = false;
    if (rowCount() != rows) {
        beginResetModel();
        endResetModel();
    } else if (rows > 0 && columnCount() > 0) {
        // A sorted table may have moved the row: every row is worth a fresh look.
        emit dataChanged(this->index(0, 0), this->index(rows - 1, columnCount() - 1));
    }
    return true;
}

void TDATableModel::sort(int column, Qt::SortOrder order)
{
    const QString field = FieldName(column);
    if (field.isEmpty() || m_table->GetState() != TDATableState::dsBrowse)
        return;
    m_table->Sort(field, order == Qt::AscendingOrder);
}
