#include "client/uSearchRules.h"

#include <stdexcept>

namespace {

const QString kContactQuery = QStringLiteral(
    "SELECT DISTINCT tblContacts.PK_ContactID, Firstname +' '+Lastname AS Name, tblContacts.FirstName, tblContacts.LastName, "
    "FlagContact  FROM tblLnkServingPrefrence RIGHT JOIN tblContacts ON tblLnkServingPrefrence.F_ContactID = "
    "tblContacts.PK_ContactID WHERE ");
const QString kFamilyQuery = QStringLiteral("SELECT DISTINCT PK_FamilyID, FamilyName FROM tblFamilies WHERE ");
const QString kGroupQuery = QStringLiteral("SELECT DISTINCT PK_GroupID, GroupName FROM tblGroups WHERE ");

const QList<int> kKinds = {SearchKind::Contacts, SearchKind::Families, SearchKind::Groups};

[[noreturn]] void unknownKind(int kind)
{
    throw std::invalid_argument("unknown search kind " + std::to_string(kind));
}

} // namespace

QList<TSearchItemObject> TSearchRules::LookForEntries(int mask)
{
    QList<TSearchItemObject> entries;
    for (int kind : kKinds)
        if (mask & kind)
            entries << TSearchItemObject{BaseQuery(kind), kind};
    return entries;
}

QString TSearchRules::BaseQuery(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return kContactQuery;
    case SearchKind::Families: return kFamilyQuery;
    case SearchKind::Groups: return kGroupQuery;
    }
    unknownKind(kind);
}

int TSearchRules::KindCaptionText(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return 2505;
    case SearchKind::Families: return 2506;
    case SearchKind::Groups: return 2507;
    }
    unknownKind(kind);
}

int TSearchRules::KindDialogCaptionText(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return 2501;
    case SearchKind::Families: return 2502;
    case SearchKind::Groups: return 2503;
    }
    unknownKind(kind);
}

QString TSearchRules::TypeID(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return TSearchObject::ContactType;
    case SearchKind::Families: return TSearchObject::FamilyType;
    case SearchKind::Groups: return TSearchObject::GroupType;
    }
    unknownKind(kind);
}

QString TSearchRules::KeyField(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return QStringLiteral("PK_ContactID");
    case SearchKind::Families: return QStringLiteral("PK_FamilyID");
    case SearchKind::Groups: return QStringLiteral("PK_GroupID");
    }
    unknownKind(kind);
}

QStringList TSearchRules::ResultColumns(int kind)
{
    switch (kind) {
    case SearchKind::Contacts:
        return {QStringLiteral("PK_ContactID"), QStringLiteral("FlagContact"), QStringLiteral("FirstName"),
                QStringLiteral("LastName"), QStringLiteral("Name")};
    case SearchKind::Families: return {QStringLiteral("PK_FamilyID"), QStringLiteral("FamilyName")};
    case SearchKind::Groups: return {QStringLiteral("PK_GroupID"), QStringLiteral("GroupName")};
    }
    unknownKind(kind);
}

QList<TSearchField> TSearchRules::CriterionFields(int kind)
{
    switch (kind) {
    case SearchKind::Contacts: return {{QStringLiteral("Firstname"), 4002}, {QStringLiteral("Lastname"), 4003}};
    case SearchKind::Families: return {{QStringLiteral("Familyname"), 4010}};
    case SearchKind::Groups: return {{QStringLiteral("Groupname"), 4001}};
    }
    unknownKind(kind);
}

int TSearchRules::DefaultCriterionField(int kind)
{
    return kind == SearchKind::Contacts ? 1 : 0;
}

const QRegularExpression &TSearchRules::CriterionPattern()
{
    static const QRegularExpression pattern(QStringLiteral("[\\p{L}\\p{M}\\p{N}' .\\-]*"));
    return pattern;
}

bool TSearchRules::IsCriterionText(const QString &text)
{
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(CriterionPattern().pattern()));
    return whole.match(text).hasMatch();
}

const QRegularExpression &TSearchRules::MaxRecordsPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\d+"));
    return pattern;
}

QString TSearchRules::Quoted(const QString &text)
{
    QString inner = text;
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString TSearchRules::Compose(int kind, const QString &column, const QString &criterion, const QStringList &functionIds)
{
    if (!IsCriterionText(criterion))
        throw std::invalid_argument("the criterion holds characters a name does not have");
    bool known = false;
    for (const TSearchField &field : CriterionFields(kind))
        known = known || field.Column == column;
    if (!known)
        throw std::invalid_argument("the criterion field is not one of this kind");

    QString query = BaseQuery(kind) + column + QStringLiteral(" LIKE ") + Quoted(criterion + QLatin1Char('%'));
    if (kind == SearchKind::Contacts && !functionIds.isEmpty()) {
        QStringList terms;
        for (const QString &id : functionIds)
            terms << QStringLiteral("(F_MinistryFunctionID=") + Quoted(id) + QLatin1Char(')');
        query += QStringLiteral(" AND (") + terms.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    } else if (kind == SearchKind::Families) {
        query += QStringLiteral(" ORDER BY FamilyName");
    } else if (kind == SearchKind::Groups) {
        query += QStringLiteral(" ORDER BY GroupName");
    }
    return query;
}

QString TSearchRules::FunctionsText(const QStringList &checkedCaptions)
{
    return checkedCaptions.join(QLatin1Char(','));
}

int TSearchRules::MaxRecords(const QString &text)
{
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(MaxRecordsPattern().pattern()));
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!whole.match(text).hasMatch() || !ok)
        throw std::invalid_argument("the maximum number of rows is not a number");
    return value;
}

QString TSearchRules::FormatCount(const QString &text, const QList<int> &numbers)
{
    QString result;
    int next = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1] == QLatin1Char('d') && next < numbers.size()) {
            result += QString::number(numbers[next++]);
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool TSearchRules::SearchEnabled(int mask, int kind, const QString &criterion)
{
    if (LookForEntries(mask).size() > 1)
        return true;
    return (mask & kind) != 0 && !criterion.isEmpty();
}

bool TSearchRules::OkEnabled(bool multi, int selectedResults, int members)
{
    return multi ? members > 0 : selectedResults > 0;
}

QString TSearchRules::CountText(bool multi, const QString &singleText, const QString &multiText, int found, int selected)
{
    return multi ? FormatCount(multiText, {found, selected}) : FormatCount(singleText, {found});
}

// --- members --------------------------------------------------------------------------------

TSearchMemberModel::TSearchMemberModel(QObject *parent) : QAbstractTableModel(parent) {}

void TSearchMemberModel::SetKind(int kind)
{
    beginResetModel();
    m_kind = kind;
    m_rows.clear();
    m_captions.clear();
    endResetModel();
}

QStringList TSearchMemberModel::ColumnNames() const
{
    switch (m_kind) {
    case SearchKind::Families:
        return {QStringLiteral("FamilyID"), QStringLiteral("FamilyIntType"), QStringLiteral("Name")};
    case SearchKind::Groups:
        return {QStringLiteral("grdMembersColID"), QStringLiteral("grdMembersColType"), QStringLiteral("Name")};
    default:
        return {QStringLiteral("grdMembersColID"), QStringLiteral("grdMembersColType"), QStringLiteral("Flag_Minister"),
                QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("Name")};
    }
}

int TSearchMemberModel::NameColumn() const
{
    return int(ColumnNames().size()) - 1;
}

void TSearchMemberModel::SetColumnCaption(int column, const QString &caption)
{
    m_captions.insert(column, caption);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

bool TSearchMemberModel::Add(const TSearchMember &member, const QStringList &excluded)
{
    if (excluded.contains(member.ID))
        return false;
    for (const TSearchMember &row : m_rows)
        if (row.ID == member.ID)
            return false;
    int at = int(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i)
        if (QString::localeAwareCompare(member.Name, m_rows[i].Name) < 0) {
            at = i;
            break;
        }
    beginInsertRows({}, at, at);
    m_rows.insert(at, member);
    endInsertRows();
    return true;
}

void TSearchMemberModel::Remove(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (*it < 0 || *it >= m_rows.size())
            continue;
        beginRemoveRows({}, *it, *it);
        m_rows.removeAt(*it);
        endRemoveRows();
    }
}

void TSearchMemberModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int TSearchMemberModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TSearchMemberModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnNames().size());
}

QVariant TSearchMemberModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const TSearchMember &row = m_rows[index.row()];
    const int column = index.column();
    if (column == 0)
        return row.ID;
    if (column == 1)
        return row.Kind;
    if (column == NameColumn())
        return row.Name;
    switch (column) {
    case 2: return row.Flag;
    case 3: return row.FirstName;
    case 4: return row.LastName;
    }
    return {};
}

QVariant TSearchMemberModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_captions.value(section, ColumnNames().value(section));
}

// --- results --------------------------------------------------------------------------------

TSearchObjectList TSearchResult::FromMembers(int kind, const QList<TSearchMember> &members)
{
    TSearchObjectList list;
    for (const TSearchMember &member : members) {
        TSearchListItem item;
        item.Object.Caption = member.ID;
        item.Object.Value = member.Kind;
        item.Object.TypeID = TSearchRules::TypeID(kind);
        item.Object.Text1 = member.Name;
        if (kind == SearchKind::Contacts) {
            item.Object.Flag = member.Flag;
            item.Object.Text2 = member.FirstName;
            item.Object.Text3 = member.LastName;
        }
        item.Text = member.Name;
        list << item;
    }
    return list;
}

TSearchObjectList TSearchResult::FromRow(int kind, const QString &id, const QString &name, bool flag)
{
    TSearchListItem item;
    item.Object.Caption = id;
    item.Object.Value = kind;
    item.Object.TypeID = TSearchRules::TypeID(kind);
    item.Object.Text1 = name;
    item.Object.Flag = kind == SearchKind::Contacts && flag;
    item.Text = id;
    return {item};
}

QList<TSearchMember> TSearchResult::MembersFrom(int kind, const TSearchObjectList &preselected)
{
    QList<TSearchMember> members;
    for (const TSearchListItem &item : preselected) {
        TSearchMember member;
        member.ID = item.Object.Caption;
        member.Kind = kind;
        member.Name = item.Object.Text1.isEmpty() ? item.Text : item.Object.Text1;
        if (kind == SearchKind::Contacts) {
            member.FirstName = item.Object.Text2;
            member.LastName = item.Object.Text3;
        }
        members << member;
    }
    return members;
}
