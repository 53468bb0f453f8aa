// What the groups view decides without a window: the four roots of its tree and the node
// kinds below them, the server dataset and where-clause that list a node's members, the
// clauses that take contacts out of groups, the report criteria, and setting a group's
// contact members in one save.
#pragma once

#include "dataaccess/TDADataStreamer.h"
#include "reporting/ReportTemplate.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDAContacts;

// The kinds of the groups tree's nodes.
enum class TGroupsNodeKind : int {
    MinistryFunction = 0, // the functions root and each function
    Group = 1,            // the groups root and each group
    CanFillIn = 2,        // the root of those who can fill in
    Liturgy = 3,          // the liturgies root and each liturgy
    FunctionOfLiturgy = 4,
    LiturgyOfFunction = 5,
    AnyLiturgy = 6        // a function's members without a liturgy preference
};

// A column of the printed member list: its heading and its width on the screen.
struct TListColumn
{
    QString Caption;
    int Width = 0;
};

struct TGroupsViewNode
{
    QString ID;  // the row's key; the empty GUID for a root (empty for the fill-in root)
    QString ID2; // the function's key ("Any liturgy" only)
    TGroupsNodeKind Kind = TGroupsNodeKind::Group;
    QString Caption;
    QList<TGroupsViewNode> Children;
};

// The dataset and the where-clause the server runs for a node.
struct TGroupsRequest
{
    QString Dataset;
    QString Where;
};

class TGroupsRules
{
public:
    static inline const QString AnyLiturgyCaption = QStringLiteral("Any liturgy");
    static inline const QString ReportCategory = QStringLiteral("{00000000-0000-0000-0000-000000000005}");
    static inline const QString ReportOverride = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    static inline const QString GroupColumn = QStringLiteral(" tblGroups.PK_GroupID");
    static inline const QString FunctionColumn = QStringLiteral(" tblLnkServingPrefrence.F_MinistryFunctionID");
    static inline const QString LiturgyColumn = QStringLiteral(" tblServingPrefrenceLiturgy.F_LiturgyTemplateID");
    static inline const QString LinkGroupColumn = QStringLiteral(" F_GroupID");

    // The text as an SQL string literal, inner quotes doubled.
    static QString Quoted(const QString &text);

    // The four roots, filled from the data module's tables, with these captions: functions
    // (each with its "Any liturgy" node and liturgies), liturgies (each with its functions),
    // can fill in, groups.
    static QList<TGroupsViewNode> BuildTree(TDAContacts &data, const QString &functions, const QString &liturgies,
                                            const QString &canFillIn, const QString &groups);

    // The keys of every node below the node, depth first, siblings in order.
    static QStringList DescendantIDs(const TGroupsViewNode &node);

    // What lists the node's members; parentID is the key of the node's parent, descendants
    // the keys below it (used when showChildren is on).
    static TGroupsRequest MemberRequest(TGroupsNodeKind kind, const QString &id, const QString &id2, const QString &parentID,
                                        const QStringList &descendants, bool showChildren);
    // The members of one group as the member dialog preselects them.
    static QString GroupMembersWhere(const QString &group);
    // The clause that takes one contact out of the group (and its sub-groups when given).
    static QString RemoveMemberWhere(const QString &group, const QStringList &subGroups, const QString &contact);
    // The where-clause as the report templates expect it.
    static QString ReportCriteria(const TGroupsRequest &request);

    // The member list as the grid prints: the title on the first page, the column headings on
    // every page, a line a row, the footnote and "Page # of #" at the foot; Letter paper with
    // half-inch margins, the columns scaled to the paper's width.
    static ReportTemplate ListReport(const QString &title, const QString &footnote, const QList<TListColumn> &columns);
    // The rows for it (each row's texts in column order).
    static TDATableData ListData(const QList<QStringList> &rows, int columnCount);

    // Makes the contacts the group's only contact members in one save: contact links of
    // others go, new ones come, links of families and groups stay. Raises on failure and then
    // leaves nothing pending.
    static void SetGroupContacts(TDAContacts &data, const QString &group, const QStringList &contacts);

private:
    // Appends the "(col=key)" term of every key not yet in the clause.
    static void AppendTerms(QString &where, const QString &column, const QStringList &keys);
};
