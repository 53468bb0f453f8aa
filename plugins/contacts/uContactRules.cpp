#include "plugins/contacts/uContactRules.h"

#include "plugins/contacts/uDAContacts.h"

#include "dataaccess/TDACDSDataTable.h"
#include "foundation/uCommon.h"

#include <QSet>

#include <stdexcept>

const QStringList TContactRules::RuleTypes = {
    QStringLiteral("{98A1AD29-3773-40BE-B344-5541FD636256}"), QStringLiteral("{AE7ADCC4-541B-497C-BB5B-B0005C51471E}"),
    QStringLiteral("{D88258F0-95AF-4E8E-B82C-547C1B6235BB}"), QStringLiteral("{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}")};

namespace {

const QString kPreferenceKey = QStringLiteral("PK_ServingPrefrenceID");
const QString kPreferenceLink = QStringLiteral("F_ServingPrefrenceID");
const QString kFunction = QStringLiteral("F_MinistryFunctionID");
const QString kDay = QStringLiteral("UnavailiableDate");

// A filter that goes again when the scope ends, so no table is left narrowed.
class FilterScope
{
public:
    FilterScope(TDACDSDataTable &table, std::function<bool(const TDACDSDataTable::TDARecord &)> predicate) : m_table(table)
    {
        m_table.SetFilter(std::move(predicate));
    }
    ~FilterScope() { m_table.ClearFilter(); }
    FilterScope(const FilterScope &) = delete;
    FilterScope &operator=(const FilterScope &) = delete;

private:
    TDACDSDataTable &m_table;
};

auto FieldIs(const QString &field, const QString &value)
{
    return [field, value](const TDACDSDataTable::TDARecord &r) { return SameKey(r.Value(field), value); };
}

template <class Visit> void EachRow(TDACDSDataTable &table, Visit visit)
{
    for (table.First(); !table.Eof(); table.Next())
        visit();
}

void RequireType(int type)
{
    if (type < 0 || type >= TContactRules::RuleTypeCount)
        throw std::invalid_argument("There is no rule type of that number");
}

} // namespace

TContactRules::TContactRules(TDAContacts &data) : m_data(data) {}

TDACDSDataTable &TContactRules::Details() const
{
    return m_data.DAContactDetails();
}

void TContactRules::SetContact(const QString &key)
{
    m_key = key;
    TDACDSDataTable &d = Details();
    m_names.JoinParts(d.AsString(QStringLiteral("Title")), d.AsString(QStringLiteral("FirstName")),
                      d.AsString(QStringLiteral("MiddleName")), d.AsString(QStringLiteral("LastName")),
                      d.AsString(QStringLiteral("Suffix")));
    m_nameChanged = false;
    m_touched = false;
}

// ---- names ----

bool TContactRules::FinishName(const QString &text)
{
    if (!m_nameChanged)
        return false;
    m_names.SetFullName(text);
    StoreNameParts(m_names.Title(), m_names.FirstName(), m_names.MiddleName(), m_names.LastName(), m_names.Suffix());
    return m_names.FirstName().isEmpty();
}

QString TContactRules::StoreNameParts(const QString &title, const QString &first, const QString &middle, const QString &last,
                                       const QString &suffix)
{
    TDACDSDataTable &d = Details();
    TDAContacts::EditIfBrowsing(d);
    d.SetValue(QStringLiteral("Title"), title);
    d.SetValue(QStringLiteral("FirstName"), first);
    d.SetValue(QStringLiteral("MiddleName"), middle);
    d.SetValue(QStringLiteral("LastName"), last);
    d.SetValue(QStringLiteral("Suffix"), suffix);
    m_names.JoinParts(title, first, middle, last, suffix);
    m_nameChanged = false;
    m_touched = true;
    return FullName();
}

// ---- the general page ----

QString TContactRules::PhoneField(int tag)
{
    switch (tag) {
    case 2: return QStringLiteral("phone2");
    case 3: return QStringLiteral("phone3");
    case 4: return QStringLiteral("Fax");
    default: return QStringLiteral("phone1");
    }
}

QString TContactRules::EmailField(int tag)
{
    switch (tag) {
    case 2: return QStringLiteral("EMail2");
    case 3: return QStringLiteral("EMail3");
    default: return QStringLiteral("EMail1");
    }
}

QVariant TContactRules::Field(const QString &field) const
{
    return Details().Value(field);
}

void TContactRules::SetField(const QString &field, const QVariant &value)
{
    TDACDSDataTable &d = Details();
    if (d.Value(field) == value)
        return;
    TDAContacts::EditIfBrowsing(d);
    d.SetValue(field, value);
    m_touched = true;
}

// ---- functions and preferences ----

QString TContactRules::PreferenceOf(const QString &functionKey) const
{
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    const int f = prefs.FieldIndex(kFunction);
    const int k = prefs.FieldIndex(kPreferenceKey);
    for (int row = 0; row < prefs.GetRecordCount(); ++row)
        if (SameKey(prefs.ValueAt(row, f), functionKey))
            return prefs.ValueAt(row, k).toString();
    return {};
}

QStringList TContactRules::CheckedFunctions() const
{
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    const int f = prefs.FieldIndex(kFunction);
    QStringList functions;
    for (int row = 0; row < prefs.GetRecordCount(); ++row)
        functions << prefs.ValueAt(row, f).toString();
    return functions;
}

void TContactRules::CheckFunction(const QString &functionKey)
{
    if (FunctionChecked(functionKey))
        return;
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    prefs.PostIfEditing();
    prefs.Insert();
    prefs.SetValue(QStringLiteral("F_ContactID"), m_key);
    prefs.SetValue(QStringLiteral("ContactType"), 0);
    prefs.SetValue(kFunction, functionKey);
    prefs.SetValue(QStringLiteral("ContactCanFillIn"), false);
    prefs.Post();
}

void TContactRules::ClearLinks(TDACDSDataTable &links, const QString &preferenceKey)
{
    links.PostIfEditing();
    FilterScope only(links, FieldIs(kPreferenceLink, preferenceKey));
    if (links.GetRecordCount() > 0)
        links.ClearRows();
}

void TContactRules::UncheckFunction(const QString &functionKey)
{
    const QString preference = PreferenceOf(functionKey);
    if (preference.isEmpty())
        return;
    ClearLinks(m_data.DAServingPrefrenceLiturgy(), preference);
    ClearLinks(m_data.DAServingPrefrenceFrequency(), preference);
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    prefs.PostIfEditing();
    if (prefs.Locate(kPreferenceKey, preference))
        prefs.Delete();
}

QStringList TContactRules::LinkValues(TDACDSDataTable &links, const QString &functionKey, const QString &field) const
{
    const QString preference = PreferenceOf(functionKey);
    if (preference.isEmpty())
        return {};
    const int p = links.FieldIndex(kPreferenceLink);
    const int f = links.FieldIndex(field);
    QStringList values;
    for (int row = 0; row < links.GetRecordCount(); ++row)
        if (SameKey(links.ValueAt(row, p), preference))
            values << links.ValueAt(row, f).toString();
    return values;
}

QStringList TContactRules::Liturgies(const QString &functionKey) const
{
    return LinkValues(m_data.DAServingPrefrenceLiturgy(), functionKey, QStringLiteral("F_LiturgyTemplateID"));
}

QStringList TContactRules::Frequencies(const QString &functionKey) const
{
    return LinkValues(m_data.DAServingPrefrenceFrequency(), functionKey, QStringLiteral("F_FrequencyID"));
}

void TContactRules::SetLink(TDACDSDataTable &links, const QString &functionKey, const QString &field, const QString &value,
                             bool chosen)
{
    const QString preference = PreferenceOf(functionKey);
    if (preference.isEmpty())
        throw std::runtime_error("Choose the ministry function before its liturgies and frequencies");
    links.PostIfEditing();
    const bool present = LinkValues(links, functionKey, field).contains(value, Qt::CaseInsensitive);
    if (chosen && !present) {
        links.Insert();
        links.SetValue(field, value);
        links.SetValue(QStringLiteral("F_ContactID"), m_key);
        links.SetValue(kPreferenceLink, preference);
        links.Post();
    } else if (!chosen && present) {
        FilterScope only(links, [preference, field, value](const TDACDSDataTable::TDARecord &r) {
            return SameKey(r.Value(kPreferenceLink), preference) && SameKey(r.Value(field), value);
        });
        links.ClearRows();
    }
}

void TContactRules::SetLiturgy(const QString &functionKey, const QString &liturgyKey, bool chosen)
{
    SetLink(m_data.DAServingPrefrenceLiturgy(), functionKey, QStringLiteral("F_LiturgyTemplateID"), liturgyKey, chosen);
}

void TContactRules::SetFrequency(const QString &functionKey, const QString &frequencyKey, bool chosen)
{
    SetLink(m_data.DAServingPrefrenceFrequency(), functionKey, QStringLiteral("F_FrequencyID"), frequencyKey, chosen);
}

void TContactRules::ChooseAllLiturgies(const QString &functionKey)
{
    const QString preference = PreferenceOf(functionKey);
    if (!preference.isEmpty())
        ClearLinks(m_data.DAServingPrefrenceLiturgy(), preference);
}

void TContactRules::ChooseAllFrequencies(const QString &functionKey)
{
    const QString preference = PreferenceOf(functionKey);
    if (!preference.isEmpty())
        ClearLinks(m_data.DAServingPrefrenceFrequency(), preference);
}

bool TContactRules::CanFillIn(const QString &functionKey) const
{
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    const int f = prefs.FieldIndex(kFunction);
    const int c = prefs.FieldIndex(QStringLiteral("ContactCanFillIn"));
    for (int row = 0; row < prefs.GetRecordCount(); ++row)
        if (SameKey(prefs.ValueAt(row, f), functionKey))
            return prefs.ValueAt(row, c).toBool();
    return false;
}

void TContactRules::SetCanFillIn(const QString &functionKey, bool canFillIn)
{
    TDACDSDataTable &prefs = m_data.DALnkServingPrefrence();
    prefs.PostIfEditing();
    // The row of this function, wherever the cursor stood.
    if (!prefs.Locate(kFunction, functionKey))
        return;
    if (prefs.Value(QStringLiteral("ContactCanFillIn")).toBool() == canFillIn && !prefs.IsNull(QStringLiteral("ContactCanFillIn")))
        return;
    prefs.Edit();
    prefs.SetValue(QStringLiteral("ContactCanFillIn"), canFillIn);
    prefs.Post();
}

// ---- availability ----

QList<QDate> TContactRules::UnavailableDays() const
{
    TDACDSDataTable &days = m_data.DAUnAvailiabillity();
    const int d = days.FieldIndex(kDay);
    QList<QDate> dates;
    for (int row = 0; row < days.GetRecordCount(); ++row)
        dates << days.ValueAt(row, d).toDateTime().date();
    std::sort(dates.begin(), dates.end());
    return dates;
}

int TContactRules::MarkUnavailable(const QList<QDate> &days)
{
    TDACDSDataTable &table = m_data.DAUnAvailiabillity();
    table.PostIfEditing();
    QList<QDate> taken = UnavailableDays();
    int added = 0;
    for (const QDate &day : days) {
        if (!day.isValid() || taken.contains(day))
            continue;
        table.Insert();
        table.SetValue(kDay, QDateTime(day, QTime(0, 0)));
        table.SetValue(QStringLiteral("F_ContactID"), m_key);
        table.Post();
        taken << day;
        ++added;
    }
    return added;
}

int TContactRules::MarkAvailable(const QList<QDate> &days)
{
    TDACDSDataTable &table = m_data.DAUnAvailiabillity();
    table.PostIfEditing();
    const QSet<QDate> freed(days.begin(), days.end());
    FilterScope only(table, [freed](const TDACDSDataTable::TDARecord &r) {
        return freed.contains(r.Value(kDay).toDateTime().date());
    });
    const int count = table.GetRecordCount();
    if (count > 0)
        table.ClearRows();
    return count;
}

// ---- rules ----

void TContactRules::FilterRule(int type) const
{
    RequireType(type);
    m_data.DAAllRules().SetFilter(FieldIs(QStringLiteral("PK_RuleTypeID"), RuleTypes[type]));
}

TSearchObjectList TContactRules::RuleMembers(int type) const
{
    TDACDSDataTable &rules = m_data.DAAllRules();
    rules.PostIfEditing();
    FilterRule(type);
    TSearchObjectList members;
    QSet<QString> seen;
    try {
        EachRow(rules, [&] {
            const QString contact = rules.AsString(QStringLiteral("PK_ContactID"));
            if (contact.isEmpty() || seen.contains(contact.toUpper()))
                return;
            seen.insert(contact.toUpper());
            const QString first = rules.AsString(QStringLiteral("FirstName"));
            const QString last = rules.AsString(QStringLiteral("LastName"));
            members << TDAContacts::ContactSearchItem(contact, first, last, first + QLatin1Char(' ') + last);
        });
    } catch (...) {
        rules.ClearFilter();
        throw;
    }
    rules.ClearFilter();
    return members;
}

QString TContactRules::RuleText(int type) const
{
    QStringList names;
    for (const TSearchListItem &member : RuleMembers(type))
        names << member.Text;
    return names.join(QStringLiteral(", "));
}

void TContactRules::SetRule(int type, const TSearchObjectList &picked)
{
    ClearRule(type);
    TDACDSDataTable &rules = m_data.DAAllRules();
    for (const TSearchListItem &item : picked) {
        if (SameKey(item.Object.Caption, m_key))
            continue; // a contact has no rule with itself
        rules.Insert();
        rules.SetValue(QStringLiteral("F_RuleMemberID"), item.Object.Caption);
        rules.SetValue(QStringLiteral("PK_ContactID"), item.Object.Caption);
        rules.SetValue(QStringLiteral("F_RuleMemberType"), TDAContacts::ContactMemberType);
        rules.SetValue(QStringLiteral("F_OwnerMemberType"), TDAContacts::ContactMemberType);
        rules.SetValue(QStringLiteral("RuleMemberCaption"), item.Text);
        rules.SetValue(QStringLiteral("FirstName"), item.Object.Text2);
        rules.SetValue(QStringLiteral("LastName"), item.Object.Text3);
        rules.SetValue(QStringLiteral("F_RuleTypeID"), RuleTypes[type]);
        rules.SetValue(QStringLiteral("PK_RuleTypeID"), RuleTypes[type]);
        rules.SetValue(QStringLiteral("F_OwnerMemberID"), m_key);
        rules.Post();
    }
}

void TContactRules::ClearRule(int type)
{
    TDACDSDataTable &rules = m_data.DAAllRules();
    rules.PostIfEditing();
    FilterRule(type);
    try {
        if (rules.GetRecordCount() > 0)
            rules.ClearRows();
    } catch (...) {
        rules.ClearFilter();
        throw;
    }
    rules.ClearFilter();
}

// ---- closing ----

bool TContactRules::HasChanges() const
{
    // A new contact stands inserted from the start: only what was typed into it counts.
    if (m_touched || Details().HasChanges())
        return true;
    for (TDACDSDataTable *table : {&m_data.DALnkServingPrefrence(), &m_data.DAAllRules(), &m_data.DAUnAvailiabillity(),
                                   &m_data.DAServingPrefrenceLiturgy(), &m_data.DAServingPrefrenceFrequency(),
                                   &m_data.DALnkMemberOfGroups()})
        if (table->GetActive() && table->HasChanges())
            return true;
    return m_nameChanged;
}

// ---- help and the schedule report ----

const QString TContactRules::ScheduleReportCategory = QStringLiteral("{00000000-0000-0000-0000-000000000006}");

QString TContactRules::HelpTopic(int page)
{
    switch (page) {
    case 1:
        return QStringLiteral("Contact_Serving_Preferences");
    case SchedulePage:
        return QStringLiteral("Contact_Schedule");
    default:
        return QStringLiteral("Contacts_add_a_contact");
    }
}

QStringList TContactRules::ScheduleSelection() const
{
    if (m_key.isEmpty())
        return {};
    return {QStringLiteral("(PK_ContactID='%1')").arg(m_key)};
}
