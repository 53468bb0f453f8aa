#include "plugins/contacts/uGroupsView.h"

#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uGroupTree.h"
#include "plugins/contacts/uGroupsTreeWidget.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/ViewRefresh.h"

#include <QScopeGuard>

using namespace Quorva;

namespace {

constexpr int IDRole = Qt::UserRole;
constexpr int ID2Role = Qt::UserRole + 1;
constexpr int KindRole = Qt::UserRole + 2;

} // namespace

QTreeWidgetItem *TplgGroups::NodeOfPath(const QList<QPair<int, QString>> &path) const
{
    QTreeWidgetItem *found = nullptr;
    for (const auto &[kind, id] : path) {
        const int count = found ? found->childCount() : m_tree->topLevelItemCount();
        QTreeWidgetItem *next = nullptr;
        for (int i = 0; i < count && !next; ++i) {
            QTreeWidgetItem *node = found ? found->child(i) : m_tree->topLevelItem(i);
            if (int(KindOf(node)) == kind && IDOf(node).compare(id, Qt::CaseInsensitive) == 0)
                next = node;
        }
        if (!next)
            return nullptr;
        found = next;
    }
    return found;
}

// The host shows the view after activating it: the stored width of the tree can only be

TGroupsNodeKind TplgGroups::KindOf(const QTreeWidgetItem *item)
{
    return item ? TGroupsNodeKind(item->data(0, KindRole).toInt()) : TGroupsNodeKind::Group;
}

QString TplgGroups::IDOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, IDRole).toString() : QString();
}

QString TplgGroups::ID2Of(const QTreeWidgetItem *item)
{
    return item ? item->data(0, ID2Role).toString() : QString();
}

void TplgGroups::AddNodes(QTreeWidgetItem *parent, const TGroupsViewNode &node)
{
    auto *item = parent ? new QTreeWidgetItem(parent, {node.Caption}) : new QTreeWidgetItem(m_tree, {node.Caption});
    item->setData(0, IDRole, node.ID);
    item->setData(0, ID2Role, node.ID2);
    item->setData(0, KindRole, int(node.Kind));
    Qt::ItemFlags flags = item->flags() & ~Qt::ItemIsDragEnabled & ~Qt::ItemIsDropEnabled;
    if (node.Kind == TGroupsNodeKind::Group) {
        flags |= Qt::ItemIsDropEnabled;
        if (parent)
            flags |= Qt::ItemIsDragEnabled | Qt::ItemIsEditable;
    }
    item->setFlags(flags);
    for (const TGroupsViewNode &child : node.Children)
        AddNodes(item, child);
}

void TplgGroups::FillTree()
{
    m_filling = true;
    m_tree->setUpdatesEnabled(false);
    const auto done = qScopeGuard([this] {
        m_tree->setUpdatesEnabled(true);
        m_filling = false;
    });
    m_tree->clear();
    const auto text = [this](int number) { return Text(number); };
    const QList<TGroupsViewNode> roots = TGroupsRules::BuildTree(m_controller.Data(), text(6001), text(6005), text(6003), text(6002));
    for (const TGroupsViewNode &root : roots)
        AddNodes(nullptr, root);
    if (QTreeWidgetItem *groups = m_tree->topLevelItem(m_tree->topLevelItemCount() - 1)) {
        groups->setExpanded(true);
        m_tree->setCurrentItem(groups);
    }
}

void TplgGroups::FillGroupListView(bool listMembers)
{
    try {
        FillTree();
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("FillGroupListView"), e);
    }
    if (listMembers)
        ListMembers();
}

QTreeWidgetItem *TplgGroups::FindNode(TGroupsNodeKind kind, const QString &id) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (KindOf(*it) == kind && (id.isEmpty() || IDOf(*it).compare(id, Qt::CaseInsensitive) == 0))
            return *it;
    return nullptr;
}

bool TplgGroups::EditorRights() const
{
    const TvoUser *user = m_controller.GetCurrentUser();
    return user && (user->UserLevel & 1);
}

bool TplgGroups::BelowRootGroup(const QTreeWidgetItem *item) const
{
    return item && item->parent() && KindOf(item) == TGroupsNodeKind::Group;
}

bool TplgGroups::CanDrop(const QTreeWidgetItem *dragged, const QTreeWidgetItem *target) const
{
    if (!target || !dragged || dragged == target || KindOf(target) != TGroupsNodeKind::Group || !BelowRootGroup(dragged) ||
        !EditorRights())
        return false;
    // Under itself a group would hang in the air: no root reaches it any more.
    for (const QTreeWidgetItem *at = target; at; at = at->parent())
        if (at == dragged)
            return false;
    return true;
}

void TplgGroups::DropGroup(QTreeWidgetItem *dragged, QTreeWidgetItem *target)
{
    if (!CanDrop(dragged, target))
        return;
    m_filling = true;
    QTreeWidgetItem *parent = dragged->parent();
    parent->takeChild(parent->indexOfChild(dragged));
    target->addChild(dragged);
    target->setExpanded(true);
    m_filling = false;
    m_tree->setCurrentItem(dragged);
    EditGroupNode(dragged, dragged->text(0));
}

void TplgGroups::EditGroupNode(QTreeWidgetItem *item, const QString &caption)
{
    if (!BelowRootGroup(item))
        return;
    TDAContacts &store = m_controller.Data();
    TGroupTree tree(store);
    const QString name = tree.RenameGroup(IDOf(item), caption);
    if (item->text(0) != name) {
        m_filling = true;
        item->setText(0, name);
        m_filling = false;
    }
    // Where the node now hangs; the drop already refused a place below the group itself.
    tree.MoveGroup(IDOf(item), IDOf(item->parent()));
    if (!store.SaveOrRevert(QStringLiteral("EditGroupNode"), {&store.DAGroupsList()}, true))
        FillGroupListView(false); // the names and places the server holds
}

void TplgGroups::NewGroup()
{
    QTreeWidgetItem *parent = m_tree->currentItem();
    if (!parent || KindOf(parent) != TGroupsNodeKind::Group || !EditorRights())
        return;
    TGroupTree groups(m_controller.Data());
    const QString key = groups.AddGroup(IDOf(parent), Text(6004));
    if (!m_controller.Data().SaveOrRevert(QStringLiteral("acHYNewExecute"), {&m_controller.Data().DAGroupsList()}))
        return;
    m_filling = true;
    AddNodes(parent, TGroupsViewNode{key, {}, TGroupsNodeKind::Group, Text(6004), {}});
    m_filling = false;
    parent->setExpanded(true);
    QTreeWidgetItem *item = parent->child(parent->childCount() - 1);
    m_tree->setCurrentItem(item);
    if (m_tree->isVisible())
        m_tree->editItem(item);
}

void TplgGroups::StartEdit()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (BelowRootGroup(item) && EditorRights())
        m_tree->editItem(item);
}

void TplgGroups::DeleteGroup()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!BelowRootGroup(item) || !EditorRights())
        return;
    const int question = item->childCount() > 0 ? 6013 : 6011;
    if (Prompt().Ask(this, QMessageBox::Critical, Text(6012), Text(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    TDAContacts &store = m_controller.Data();
    try {
        // The links as the server has them now, so that every one of the group's goes too.
        TDACDSDataTable &links = store.DALnkGroupMembers();
        if (!links.GetActive() || !links.HasChanges()) {
            links.Close();
            links.SetWhere(TDAWhere());
            links.Open();
        }
        TGroupTree(store).DeleteGroup(IDOf(item));
        store.ApplyGroupChanges();
    } catch (const std::exception &e) {
        store.RevertAfterFailure(QStringLiteral("acHYDeleteExecute"), QString::fromUtf8(e.what()),
                                 {&store.DAGroupsList(), &store.DALnkGroupMembers()});
        return;
    }
    QTreeWidgetItem *parent = item->parent();
    m_filling = true;
    delete item;
    m_filling = false;
    m_tree->setCurrentItem(parent);
    m_tree->viewport()->update();
}

void TplgGroups::Refresh()
{
    TBusyCursor busy;
    int selected = -1;
    int index = 0;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it, ++index)
        if (*it == m_tree->currentItem())
            selected = index;
    TDAContacts &store = m_controller.Data();
    TDACDSDataTable &groups = store.DAGroupsList();
    store.SaveOrRevert(QStringLiteral("acHYRefreshExecute"), {&groups}, true);
    // What others changed meanwhile is read again.
    for (TDACDSDataTable *table : {&groups, &store.MinistryFunctions(), &store.LiturgyTemplates()})
        if (!table->HasChanges())
            table->Close();
    try {
        FillTree();
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        QorLogFailure(&m_controller, QStringLiteral("acHYRefreshExecute"), e);
        ViewRefresh::Failed(*this, [this](int number) { return Text(number); }, e);
    }
    // The log shows when a planner read the groups again.
    m_controller.WriteLog(QorLogLevel::Severe, QorLogLocation{QStringLiteral("acHYRefreshExecute")}, QStringLiteral("c"));
    index = 0;
    QTreeWidgetItem *target = m_tree->topLevelItem(0);
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it, ++index)
        if (index == selected)
            target = *it;
    m_filling = true;
    m_tree->setCurrentItem(target);
    m_filling = false;
    ListMembers();
}
