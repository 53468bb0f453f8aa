#include "plugins/setup/uSetupPageKit.h"

#include "plugins/setup/uSetupRules.h"

#include "dataaccess/TDACDSDataTable.h"

#include <QPushButton>

namespace SetupPageKit {

void EditCurrent(TDACDSDataTable &t)
{
    if (!t.IsEditing())
        t.Edit();
}

void FilterOn(TDACDSDataTable &t, const QString &field, const QString &value)
{
    t.SetFilter([field, value](const TDACDSDataTable::TDARecord &r) { return r.Value(field).toString() == value; });
}

QList<QPair<QString, QString>> Rows(const TDACDSDataTable &t, const QString &keyField, const QString &field)
{
    QList<QPair<QString, QString>> rows;
    const int key = t.FieldIndex(keyField);
    const int other = t.FieldIndex(field);
    for (int i = 0; i < t.GetRecordCount(); ++i)
        rows << qMakePair(t.ValueAt(i, key).toString(), t.ValueAt(i, other).toString());
    return rows;
}

QString FirstUnnamedKey(const TDACDSDataTable &t, const QString &keyField, const QString &nameField)
{
    const QList<QPair<QString, QString>> rows = Rows(t, keyField, nameField);
    QStringList names;
    for (const auto &row : rows)
        names << row.second;
    const int unnamed = SetupRules::FirstUnnamed(names);
    return unnamed < 0 ? QString() : rows[unnamed].first;
}

void DeleteShown(TDACDSDataTable &t)
{
    while (t.GetRecordCount() > 0) {
        t.First();
        t.Delete();
    }
}

QPushButton *Button(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    return button;
}

} // namespace SetupPageKit
