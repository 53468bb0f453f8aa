// The group hierarchy of DAGroupsList as the picker and the groups view show it, and the
// changes made on it: new, renamed, moved and deleted groups. Only the client tables change;
// TDAContacts::ApplyGroupChanges sends them. Plain logic, no widgets.
#pragma once

#include <QList>
#include <QString>

class TDAContacts;

struct TGroupNode
{
    QString ID;       // PK_GroupID; the empty GUID for the top node
    QString Caption;  // GroupName
    QList<TGroupNode> Children;
};

class TGroupTree
{
public:
    // The picker's help, in group and in function mode.
    static inline const QString HelpTopic = QStringLiteral("Groups_add_from_contacts");

    explicit TGroupTree(TDAContacts &data);

    // The top node (caption as given) with every group below its parent. A group whose parents
    // loop back to it is reachable from no top group and stays out, so filling always ends.
    TGroupNode Build(const QString &topCaption) const;

    // True when candidate is the group itself or lies below it.
    bool IsSelfOrDescendant(const QString &group, const QString &candidate) const;
    // A new group under the parent (the empty GUID: at the top); answers its key.
    QString AddGroup(const QString &parent, const QString &name);
    // Gives the group the name (trimmed) and answers the name it now has: an empty name is
    // refused and the group keeps the one it had.
    QString RenameGroup(const QString &group, const QString &name);
    // Refuses (false, nothing changed) a move under the group itself or one of its descendants.
    bool MoveGroup(const QString &group, const QString &newParent);
    // Deletes the group, its sub-groups bottom-up, and the member links of every one of them.
    void DeleteGroup(const QString &group);
    bool HasSubGroups(const QString &group) const;

private:
    QString ParentOf(const QString &group) const;
    QStringList ChildrenOf(const QString &group) const;
    void Fill(TGroupNode &node, QStringList &path) const;

    TDAContacts &m_data;
};
