// The cells of a grid of scheduled functions, in the editor and in the schedule view: the
// function shows its name and is chosen from all functions, a position "0" shows empty, the
// member and the minister flag are never edited in the cell.
#pragma once

#include <QStyledItemDelegate>

class TDATableModel;

class TFunctionGridDelegate : public QStyledItemDelegate
{
public:
    TFunctionGridDelegate(TDATableModel *model, QObject *parent) : QStyledItemDelegate(parent), m_model(model) {}

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // The name of the function from the data module's functions; empty when unknown.
    static QString FunctionName(const QString &id);

private:
    TDATableModel *m_model;
};
