#include "plugins/events/uFunctionGridDelegate.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"

#include "ui/TDATableModel.h"

#include <QComboBox>

namespace {

TDACDSDataTable &Functions()
{
    return RvEvents()->DataModule()->MinistryFunctions;
}

} // namespace

void TFunctionGridDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString field = m_model->FieldName(index.column());
    if (field == QLatin1String("F_MinistryFunctionID"))
        option->text = FunctionName(index.data(Qt::EditRole).toString());
    else if (field == QLatin1String("MemberPosition") && option->text == QLatin1String("0"))
        option->text.clear();
}

QWidget *TFunctionGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QString field = m_model->FieldName(index.column());
    if (field == QLatin1String("MemberCaption") || field == QLatin1String("FlagMinister"))
        return nullptr;
    if (field != QLatin1String("F_MinistryFunctionID"))
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *box = new QComboBox(parent);
    TDACDSDataTable &functions = Functions();
    for (int i = 0; functions.GetActive() && i < functions.GetRecordCount(); ++i)
        box->addItem(functions.ValueAt(i, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString(),
                     functions.ValueAt(i, functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"))));
    return box;
}

void TFunctionGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        box->setCurrentIndex(box->findData(index.data(Qt::EditRole)));
    else
        QStyledItemDelegate::setEditorData(editor, index);
}

void TFunctionGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        model->setData(index, box->currentData());
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

QString TFunctionGridDelegate::FunctionName(const QString &id)
{
    TDACDSDataTable &functions = Functions();
    if (!functions.GetActive())
        return {};
    const int key = functions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"));
    for (int i = 0; i < functions.GetRecordCount(); ++i)
        if (functions.ValueAt(i, key).toString().compare(id, Qt::CaseInsensitive) == 0)
            return functions.ValueAt(i, functions.FieldIndex(QStringLiteral("MinistryFunctionName"))).toString();
    return {};
}
