// The families view "plgFamilies": the families on the left, the members of the one selected
// family on the right (the data module's contact list, filtered on the family), with the family
// and member actions. The member grid shows nobody while none or several families are selected.
#pragma once

#include "plugins/contacts/uContactsPane.h"

#include <QMetaObject>

class QLabel;
class QSplitter;
class QTableView;
class TDATableModel;

class TplgFamilies : public TRvContactsPane
{
public:
    static inline const QString PluginName = QStringLiteral("plgFamilies");

    explicit TplgFamilies(TRvContactsController &controller);
    ~TplgFamilies() override;

    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    QTableView *FamilyGrid() const { return m_families; }
    QTableView *MemberGrid() const { return m_members; }
    QLabel *SumLine() const { return m_sum; }
    QSplitter *Splitter() const { return m_splitter; }

    QStringList SelectedFamilies() const;
    QStringList SelectedMembers() const;
    void SelectFamilies(const QStringList &keys);
    void SelectMembers(const QStringList &keys);
    void UpdateActions();

private:
    void BuildActions();
    void FamiliesChosen();
    void UpdateSum();
    void FocusFamily(int row);

    void NewFamily();
    void EditFamily();
    void DeleteFamilies();
    void Refresh();
    void SetMembers();
    void RemoveMembers();
    void EditMember();
    void Preview();
    void Print();
    void SendMail();
    QStringList MailAddresses() const;

    QSplitter *m_splitter;
    QTableView *m_families;
    QTableView *m_members;
    TDATableModel *m_familyModel = nullptr;
    TDATableModel *m_memberModel = nullptr;
    QLabel *m_sum;
    // The grid that had the focus last; the mail action acts on it.
    QTableView *m_mailGrid = nullptr;
    QMetaObject::Connection m_focusWatch;
};
