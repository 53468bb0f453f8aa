// The picker of a group (group mode) or of ministry functions (function mode) for the contacts
// a view has selected. In group mode groups are also made, renamed, moved and deleted here;
// those changes stay in the client tables until the caller applies them, or the close
// question does.
#pragma once

#include "plugins/contacts/uGroupTree.h"
#include "ui/ufBaseDialog.h"

#include <QStringList>

class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class TDAContacts;
class TRvContactsController;
class TGroupTreeWidget;

class TfGroups : public TfBaseDialog
{
    Q_OBJECT
public:
    TfGroups(TDAContacts &contacts, TRvContactsController &controller, QWidget *parent = nullptr);
    ~TfGroups() override;

    // false: groups, true: ministry functions. Set before Prepare.
    void SetMode(bool functions) { m_functionMode = functions; }
    bool Mode() const { return m_functionMode; }
    void Prepare();
    void Initialize();

    // The keys of the chosen nodes, in tree order.
    QStringList SelectedIDs() const;
    QTreeWidget *Tree() const;
    // Moves the group under the new parent as a drop does; false when refused.
    bool MoveGroup(const QString &group, const QString &newParent);

    QAction *acUse() const { return m_acUse; }
    QAction *acClose() const { return m_acClose; }
    QAction *acAdd() const { return m_acAdd; }
    QAction *acRemove() const { return m_acRemove; }
    QAction *acHelp() const { return m_acHelp; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QString Text(int number) const;
    void AddNodes(QTreeWidgetItem *parent, const TGroupNode &node);
    QTreeWidgetItem *FindItem(const QString &id) const;
    void AddGroup();
    void RemoveGroup();
    void CaptionEdited(QTreeWidgetItem *item);
    void SelectionChanged();

    TDAContacts &m_data;
    TRvContactsController &m_controller;
    TGroupTree m_groups;
    bool m_functionMode = false;
    bool m_filling = false;
    TGroupTreeWidget *m_tree;
    QAction *m_acUse;
    QAction *m_acClose;
    QAction *m_acAdd;
    QAction *m_acRemove;
    QAction *m_acHelp;
};
