// The contacts view "plgContacts": every contact of the database as a table or as cards, with a
// quick search, the count line and the contact actions (new, edit, delete, families, groups and
// ministry functions, print, preview, mail, export, import). The list is the data module's
// DAContactList, so it keeps its rows between activations.
#pragma once

#include "plugins/contacts/uContactsPane.h"

#include <QStringList>

#include <functional>

class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QToolBar;
class QStackedWidget;
class QTableView;
class TDATableModel;

class TplgContacts : public TRvContactsPane
{
public:
    static inline const QString PluginName = QStringLiteral("plgContacts");
    // The fields of the table view, in their order (the key first, hidden).
    static const QStringList TableFields;
    // The fields a card shows under the name.
    static const QStringList CardFields;

    explicit TplgContacts(TRvContactsController &controller);
    ~TplgContacts() override;

    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    QTableView *TableView() const { return m_table; }
    QListView *CardView() const { return m_cards; }
    // The fields of CardFields the cards show.
    QStringList CardFieldsShown() const { return m_cardFields; }
    bool CardViewShown() const;
    QGroupBox *QuickSearch() const { return m_quick; }
    QLineEdit *SearchEdit() const { return m_search; }
    QComboBox *SearchFields() const { return m_fields; }
    QLabel *CountLine() const { return m_count; }
    TDATableModel *Model() const { return m_model; }

    // The rows of the model that are selected, in order.
    QList<int> SelectedRows() const;
    QStringList SelectedKeys() const;
    void SelectRows(const QList<int> &rows);
    void UpdateActions();

    // The group or function picker: the keys chosen, empty on cancel (the picker unless replaced).
    std::function<QStringList(bool functions)> PickGroups;
    // Runs the Customize dialog (modally unless replaced); true for OK. Tests tick its list.
    std::function<bool(QDialog &dialog)> RunCustomize;

private:
    // The key of the list's rows.
    static inline const QString KeyField = QStringLiteral("PK_ContactID");

    void BuildActions();
    void ShowView(bool cards);
    void FocusRow(int row);
    QString KeyAt(int row) const;
    QString FieldAt(int row, const QString &field) const;
    void UpdateCountLine();

    void NewContact(bool asCopy = false);
    void Customize();
    // The columns a user shows or hides (Customize and the header's menu).
    static QList<int> ChoosableColumns();
    void SetColumnShown(int column, bool shown);
    // The contacts' reports and labels from the report definitions, each opening the chooser.
    void FillReportMenus();
    void EditContact();
    void DeleteContacts();
    void Refresh();
    void ToggleFind();
    void Search();
    void AddToNewFamily();
    void AddToExistingFamily();
    void AddToGroup();
    void AddToMinistry();
    QStringList RunPicker(bool functions);
    // Opens the host's report chooser for the selection, at the named report when one is named.
    void Print(const QString &report = {});
    void Preview();
    void SendMail();
    void Export(quint8 kind);
    void Import();
    void CopyRows();

    QStackedWidget *m_stack;
    QTableView *m_table;
    QListView *m_cards;
    QStringList m_cardFields = CardFields;
    TDATableModel *m_model = nullptr;
    QGroupBox *m_quick;
    QLineEdit *m_search;
    QComboBox *m_fields;
    QLabel *m_lookFor;
    QLabel *m_in;
    QLabel *m_count;
    bool m_active = false;
    bool m_fitted = false;
    bool m_reportMenusFilled = false;
};
