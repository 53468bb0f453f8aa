// Keeps editors on the current row of one client table: they show its values whenever the row or
// the cursor changes, and what the user types goes into the row (editing it first).
#pragma once

#include "ui/UiExport.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TDACDSDataTable;

class UI_EXPORT TFieldBinder : public QObject
{
public:
    TFieldBinder(TDACDSDataTable &table, QObject *parent);
    ~TFieldBinder() override;

    void Bind(QLineEdit *edit, const QString &field);
    // Makes a bound editor a name the row may not lose: while it is blank the row keeps the name
    // it was loaded with (fallback for a row that had none), and leaving it blank says so
    // (OnNameMissing) and shows that name again. So no empty name is ever posted or saved.
    void RequireName(QLineEdit *edit, std::function<QString()> fallback);
    QString KeptName(QLineEdit *edit) const;
    // False when a name editor is left blank: its kept name is shown again and the user told.
    bool CheckNames();
    static bool Blank(const QString &text) { return text.trimmed().isEmpty(); }
    void Bind(QPlainTextEdit *memo, const QString &field);
    void Bind(QCheckBox *box, const QString &field);
    // A choice among the rows of another table: shows nameField, stores keyField.
    void BindLookup(QComboBox *box, const QString &field, TDACDSDataTable &lookup, const QString &keyField,
                    const QString &nameField);
    void BindDate(QLabel *label, const QString &field);

    void Load();
    // Lookup listeners go with the binder; the lookup tables outlive the view.
    void Unbind();

    std::function<void(const QString &field)> OnWritten;
    std::function<void()> OnLoaded;
    std::function<void(const QString &message)> OnFailure;
    std::function<void(const QString &keptName)> OnNameMissing;

private:
    struct TName
    {
        QString Kept;
        std::function<QString()> Fallback;
    };

    bool CheckName(QLineEdit *edit);
    QVariant Value(const QString &field) const;
    void ShowLookup(QComboBox *box, const QString &field);
    void Write(const QString &field, const QVariant &value);

    TDACDSDataTable &m_table;
    int m_listener;
    QList<std::function<void()>> m_loaders;
    QList<QWidget *> m_widgets;
    QList<QPair<TDACDSDataTable *, int>> m_lookups;
    QHash<QLineEdit *, TName> m_names;
    bool m_loading = false;
    bool m_writing = false;
};
