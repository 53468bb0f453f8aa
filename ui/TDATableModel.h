// The one model every grid of the client shows a client data table through: rows are the
// table's visible rows (after master link, filter and sort), columns its fields or a chosen
// list of them. Edits made in a view are posted into the table as one row edit each; the table
// stays the only holder of the data, and the model follows every change the table reports.
// The table must outlive the model.
#pragma once

#include "ui/UiExport.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStringList>

class TDACDSDataTable;

class UI_EXPORT TDATableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TDATableModel(TDACDSDataTable *table, QObject *parent = nullptr);
    ~TDATableModel() override;

    TDACDSDataTable *Table() const { return m_table; }

    // The fields shown, in this order; empty shows every field of the table.
    void SetColumns(const QStringList &fieldNames);
    void SetCaption(const QString &fieldName, const QString &caption);
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // A field shown but never changed in a cell, whatever the table allows.
    void SetFieldReadOnly(const QString &fieldName, bool readOnly = true);
    QString FieldName(int column) const;
    // -1 when the field is not shown.
    int ColumnOf(const QString &fieldName) const;

    // The table's cursor, as a row of this model.
    int CurrentRow() const;
    void SetCurrentRow(int row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Moves the cursor to the row, edits the field and posts; false (and editFailed) when the
    // table refuses the value or the post, which then leaves the row as it was.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void currentRowChanged(int row);
    void editFailed(const QString &message);

private:
    void TableChanged(int change, int recNo);
    int FieldIndex(int column) const;
    bool IsBoolean(int column) const;

    TDACDSDataTable *m_table;
    int m_listener;
    QStringList m_columns;
    QHash<QString, QString> m_captions;
    QSet<QString> m_readOnlyFields;
    bool m_readOnly = false;
    bool m_posting = false;
};
