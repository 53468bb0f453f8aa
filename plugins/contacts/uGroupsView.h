// The groups view "plgGroups": on the left the tree of functions, liturgies, those who can
// fill in and the groups; on the right the contacts of the chosen node as the server lists
// them. Groups are made, renamed, moved and deleted here, and given or relieved of members.
#pragma once

#include "client/api/ModuleKit.h"
#include "plugins/contacts/uGroupsRules.h"

#include "reporting/ReportDocument.h"

#include <QHash>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDATableModel;
class TGroupsTreeWidget;
class TRvContactsController;

class TplgGroups : public THYVisualPlugin<Quorva::IHYVisualPlugin, Quorva::INavBarPlugin>
{
public:
    static inline const QString PluginName = QStringLiteral("plgGroups");
    static inline const QString HelpTopic = QStringLiteral("Groups");

    explicit TplgGroups(TRvContactsController &controller);

    // INavBarPlugin
    QList<QToolBar *> GetBarManager() override;
    QList<QIcon> GetToolbarImages() override;
    QList<QIcon> GetToolbarDisabledImages() override;
    void GetStatusText(QString &text) override;
    void Activate(QObject *navigationItem) override;
    void Deactivate(QObject *navigationItem) override;

    QTreeWidget *Tree() const;
    QTableView *Grid() const { return m_grid; }
    QLabel *Sum() const { return m_sum; }
    QSplitter *Splitter() const { return m_splitter; }
    // The action by its name (acHYNew, acHYEdit, ...); null for a name the view has not.
    QAction *Action(const QString &name) const { return m_actions.value(name); }

    // The first node of the kind with the key (any key when empty), in tree order.
    QTreeWidgetItem *FindNode(TGroupsNodeKind kind, const QString &id) const;
    static TGroupsNodeKind KindOf(const QTreeWidgetItem *item);
    static QString IDOf(const QTreeWidgetItem *item);
    // The node the kinds and ids lead to from the top, or none.
    QTreeWidgetItem *NodeOfPath(const QList<QPair<int, QString>> &path) const;
    // Whether a drop of the dragged node onto the target is accepted, and the drop itself.
    bool CanDrop(const QTreeWidgetItem *dragged, const QTreeWidgetItem *target) const;
    void DropGroup(QTreeWidgetItem *dragged, QTreeWidgetItem *target);
    // Stores the node's caption and parent (after an edit and after a drop).
    void EditGroupNode(QTreeWidgetItem *item, const QString &caption);
    // Lists the members of the selected node.
    void ListMembers();
    // The selected contacts of the grid, in row order.
    QStringList SelectedContacts() const;
    // Shows the printed member list (acHYPreview); tests look at the document instead.
    std::function<void(const ReportDocument &document)> RunPreview;
    // The printed member list as acHYPreview shows it.
    ReportDocument ListDocument() const;

    // What the members were last listed with.
    TGroupsRequest LastRequest() const { return m_request; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString Text(int number) const;
    // The tree from the data module as it stands; raises what reading it raised.
    void FillTree();
    void ApplyTreeWidth();
    void Fail(const QString &location) const;
    QAction *MakeAction(const char *name, int icon = -1);
    void Wire();
    void SetCaptions();
    void FillGroupListView(bool listMembers = true);
    void AddNodes(QTreeWidgetItem *parent, const TGroupsViewNode &node);
    // The node's second key: the function of an "Any liturgy" node.
    static QString ID2Of(const QTreeWidgetItem *item);
    bool EditorRights() const;
    bool BelowRootGroup(const QTreeWidgetItem *item) const;
    void UpdateActions();
    void UpdateSum();
    QStringList EmailAddresses() const;

    void NewGroup();
    void StartEdit();
    void DeleteGroup();
    void Refresh();
    void SetMembers();
    void RemoveMembers();
    void RemoveGroupMembers(bool includeSubGroups);
    void EditContact();
    void CopyRows();
    void PrintList();
    void Preview();
    void ShowPreview(const ReportDocument &document);
    QString HostText(int number) const;
    void SendEmail();

    TRvContactsController &m_controller;
    QToolBar *m_bar;
    QToolBar *m_menuBar;
    QSplitter *m_splitter;
    TGroupsTreeWidget *m_tree;
    QTableView *m_grid;
    TDATableModel *m_model;
    QLabel *m_sum;
    QMenu *m_treeMenu;
    QMenu *m_gridMenu;
    QHash<QString, QAction *> m_actions;
    QHash<QString, QMenu *> m_menus;
    TGroupsRequest m_request;
    QString m_sumFormat;
    bool m_showChildren = true;
    bool m_filling = false;
    bool m_mailGone = false;
    int m_treeWidth = 250;
    bool m_widthPending = true;
};
