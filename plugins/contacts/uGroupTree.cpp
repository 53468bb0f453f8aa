#include "plugins/contacts/uGroupTree.h"

#include "plugins/contacts/uDAContacts.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"

#include <QSet>

#include <stdexcept>

namespace {

const QString kKey = QStringLiteral("PK_GroupID");
const QString kParent = QStringLiteral("F_ParentGroupID");
const QString kName = QStringLiteral("GroupName");

// No parent, an empty one and the empty GUID all mean the top.
QString Normalised(const QString &parent)
{
    return parent.isEmpty() ? EmptyGUID : parent;
}

} // namespace

TGroupTree::TGroupTree(TDAContacts &data) : m_data(data)
{
    if (!m_data.DAGroupsList().GetActive())
        m_data.DAGroupsList().Open();
    if (!m_data.DALnkGroupMembers().GetActive())
        m_data.DALnkGroupMembers().Open();
}

QString TGroupTree::ParentOf(const QString &group) const
{
    TDACDSDataTable &groups = m_data.DAGroupsList();
    const int k = groups.FieldIndex(kKey);
    const int p = groups.FieldIndex(kParent);
    for (int row = 0; row < groups.GetRecordCount(); ++row)
        if (SameKey(groups.ValueAt(row, k).toString(), group))
            return Normalised(groups.ValueAt(row, p).toString());
    return {};
}

QStringList TGroupTree::ChildrenOf(const QString &group) const
{
    TDACDSDataTable &groups = m_data.DAGroupsList();
    const int k = groups.FieldIndex(kKey);
    const int p = groups.FieldIndex(kParent);
    QStringList children;
    for (int row = 0; row < groups.GetRecordCount(); ++row)
        if (SameKey(Normalised(groups.ValueAt(row, p).toString()), group))
            children << groups.ValueAt(row, k).toString();
    return children;
}

void TGroupTree::Fill(TGroupNode &node, QStringList &path) const
{
    TDACDSDataTable &groups = m_data.DAGroupsList();
    const int k = groups.FieldIndex(kKey);
    const int p = groups.FieldIndex(kParent);
    const int n = groups.FieldIndex(kName);
    path << node.ID.toUpper();
    for (int row = 0; row < groups.GetRecordCount(); ++row) {
        const QString id = groups.ValueAt(row, k).toString();
        if (!SameKey(Normalised(groups.ValueAt(row, p).toString()), node.ID) || path.contains(id.toUpper()))
            continue;
        TGroupNode child{id, groups.ValueAt(row, n).toString(), {}};
        Fill(child, path);
        node.Children << child;
    }
    path.removeLast();
}

TGroupNode TGroupTree::Build(const QString &topCaption) const
{
    TGroupNode top{EmptyGUID, topCaption, {}};
    QStringList path;
    Fill(top, path);
    return top;
}

bool TGroupTree::IsSelfOrDescendant(const QString &group, const QString &candidate) const
{
    // Walk up from the candidate; a parent chain that loops ends the walk.
    QSet<QString> seen;
    QString at = candidate;
    while (!at.isEmpty() && !SameKey(at, EmptyGUID) && !seen.contains(at.toUpper())) {
        if (SameKey(at, group))
            return true;
        seen.insert(at.toUpper());
        at = ParentOf(at);
    }
    return false;
}

bool TGroupTree::HasSubGroups(const QString &group) const
{
    return !ChildrenOf(group).isEmpty();
}

QString TGroupTree::AddGroup(const QString &parent, const QString &name)
{
    TDACDSDataTable &groups = m_data.DAGroupsList();
    groups.PostIfEditing();
    groups.Insert();
    groups.SetValue(kName, name);
    groups.SetValue(kParent, Normalised(parent));
    groups.Post();
    return groups.AsString(kKey);
}

QString TGroupTree::RenameGroup(const QString &group, const QString &name)
{
    TDACDSDataTable &groups = m_data.DAGroupsList();
    groups.PostIfEditing();
    if (!groups.Locate(kKey, group))
        throw std::runtime_error(QStringLiteral("The group %1 is not in the list").arg(group).toStdString());
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return groups.AsString(kName);
    groups.Edit();
    groups.SetValue(kName, trimmed);
    groups.Post();
    return trimmed;
}

bool TGroupTree::MoveGroup(const QString &group, const QString &newParent)
{
    const QString parent = Normalised(newParent);
    if (IsSelfOrDescendant(group, parent))
        return false;
    TDACDSDataTable &groups = m_data.DAGroupsList();
    groups.PostIfEditing();
    if (!groups.Locate(kKey, group))
        return false;
    groups.Edit();
    groups.SetValue(kParent, parent);
    groups.Post();
    return true;
}

void TGroupTree::DeleteGroup(const QString &group)
{
    // Bottom-up, so no deleted group is ever left with children.
    QStringList order;
    QStringList pending{group};
    while (!pending.isEmpty()) {
        const QString at = pending.takeFirst();
        if (order.contains(at, Qt::CaseInsensitive))
            continue;
        order.prepend(at);
        pending << ChildrenOf(at);
    }
    TDACDSDataTable &groups = m_data.DAGroupsList();
    TDACDSDataTable &links = m_data.DALnkGroupMembers();
    groups.PostIfEditing();
    links.PostIfEditing();
    for (const QString &id : order) {
        TDAContacts::FilterByField(links, QStringLiteral("F_GroupID"), id);
        try {
            if (links.GetRecordCount() > 0)
                links.ClearRows();
        } catch (...) {
            links.ClearFilter();
            throw;
        }
        links.ClearFilter();
        if (groups.Locate(kKey, id))
            groups.Delete();
    }
}
