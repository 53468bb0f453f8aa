// The rules of the search dialog without its window: which kinds a mask offers, the criterion
// fields of each kind, the SQL text the dialog sends (only in the shapes the data server's
// search reader accepts: docs/client-conditions.md), the member list with its exclusion list,
// and the result list the host hands back to the plug-in.
#pragma once

#include "client/api/HostInterfaces.h"

#include <QAbstractTableModel>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>

// The kinds, one bit each in the mask a caller offers.
namespace SearchKind {
constexpr int Contacts = 1;
constexpr int Families = 2;
constexpr int Groups = 4;
} // namespace SearchKind

// One entry of the "look for" list.
struct TSearchItemObject
{
    QString BaseQuery;
    int Kind = 0;
};

// A criterion field: the column the query names and the language text of its caption.
struct TSearchField
{
    QString Column;
    int CaptionText = 0;
};

class TSearchRules
{
public:
    static constexpr int DefaultMaxRecords = 15;

    // One entry per offered kind, in the order contacts, families, groups.
    static QList<TSearchItemObject> LookForEntries(int mask);
    static QString BaseQuery(int kind);
    // The language text of the kind's "look for" caption.
    static int KindCaptionText(int kind);
    // The dialog caption when the caller gave none.
    static int KindDialogCaptionText(int kind);
    static QString TypeID(int kind);
    // The primary-key column of the kind's rows.
    static QString KeyField(int kind);
    // The result grid's columns in order; only the last is shown.
    static QStringList ResultColumns(int kind);
    static QList<TSearchField> CriterionFields(int kind);
    // Which entry of CriterionFields is chosen at the start.
    static int DefaultCriterionField(int kind);

    // What a criterion text may hold: letters of any script, digits, blanks, apostrophes,
    // hyphens and full stops, as names have them; never a wildcard. Empty matches every row.
    static const QRegularExpression &CriterionPattern();
    static bool IsCriterionText(const QString &text);
    static const QRegularExpression &MaxRecordsPattern();

    // The whole query: base query, "<column> LIKE '<text>%'", for contacts the checked
    // functions, for families and groups the sort. Throws std::invalid_argument for a text the
    // criterion pattern refuses or a column the kind does not have.
    static QString Compose(int kind, const QString &column, const QString &criterion, const QStringList &functionIds = {});
    // Single quotes around, each inner quote doubled.
    static QString Quoted(const QString &text);
    // The captions of the checked functions as the popup edit shows them.
    static QString FunctionsText(const QStringList &checkedCaptions);
    // The maximum-rows text as a number; throws std::invalid_argument for an empty or
    // non-numeric text.
    static int MaxRecords(const QString &text);

    // Replaces each "%d" of a language text, in order, with the numbers.
    static QString FormatCount(const QString &text, const QList<int> &numbers);

    // Searching needs a criterion only where one kind is offered; with several the action stays
    // enabled (an empty criterion then finds every row up to the limit).
    static bool SearchEnabled(int mask, int kind, const QString &criterion);
    static bool OkEnabled(bool multi, int selectedResults, int members);
    // The status text: found rows (single), or found and selected rows (multi).
    static QString CountText(bool multi, const QString &singleText, const QString &multiText, int found, int selected);
};

// One member row as the member grid holds it. Families and groups fill only id, kind and name.
struct TSearchMember
{
    QString ID;
    int Kind = 0;
    bool Flag = false;
    QString FirstName;
    QString LastName;
    QString Name;
};

// The member grid's rows, kept sorted by name (ties in the order they came). Only the name
// column is shown; the others are there for the host to read.
class TSearchMemberModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TSearchMemberModel(QObject *parent = nullptr);

    // The columns of the kind (they differ by kind; the values do not).
    void SetKind(int kind);
    int Kind() const { return m_kind; }
    QStringList ColumnNames() const;
    // The column users see.
    int NameColumn() const;
    // Captions last until the kind changes.
    void SetColumnCaption(int column, const QString &caption);

    // False, and nothing added, when a member has that id already or the id is excluded.
    bool Add(const TSearchMember &member, const QStringList &excluded);
    // Removes the rows given, from the last to the first.
    void Remove(QList<int> rows);
    void Clear();
    int Count() const { return int(m_rows.size()); }
    const TSearchMember &Member(int row) const { return m_rows.at(row); }
    const QList<TSearchMember> &Members() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    int m_kind = SearchKind::Contacts;
    QMap<int, QString> m_captions;
    QList<TSearchMember> m_rows;
};

// What the host hands back after OK.
class TSearchResult
{
public:
    // Multi selection: one record per member, in grid order, with its name as the item text.
    static TSearchObjectList FromMembers(int kind, const QList<TSearchMember> &members);
    // Single selection: the chosen row (its first value the id, its second the name), with the
    // id as the item text; for contacts the flag.
    static TSearchObjectList FromRow(int kind, const QString &id, const QString &name, bool flag);
    // Preselected records as member rows, in list order.
    static QList<TSearchMember> MembersFrom(int kind, const TSearchObjectList &preselected);
};
