#include "plugins/contacts/uFamilyRules.h"

#include "plugins/contacts/uDAContacts.h"

#include "dataaccess/TDACDSDataTable.h"

#include <stdexcept>

QString TFamilyRules::Key() const
{
    return m_data.DAFamilyDetails().AsString(QStringLiteral("PK_FamilyID"));
}

QVariant TFamilyRules::Field(const QString &field) const
{
    return m_data.DAFamilyDetails().Value(field);
}

void TFamilyRules::SetField(const QString &field, const QVariant &value)
{
    TDACDSDataTable &family = m_data.DAFamilyDetails();
    if (family.Value(field) == value)
        return;
    TDAContacts::EditIfBrowsing(family);
    family.SetValue(field, value);
    m_touched = true;
}

TSearchObjectList TFamilyRules::Members() const
{
    TDACDSDataTable &contacts = m_data.DAContactList();
    TSearchObjectList members;
    const int k = contacts.FieldIndex(QStringLiteral("PK_ContactID"));
    const int f = contacts.FieldIndex(QStringLiteral("FirstName"));
    const int l = contacts.FieldIndex(QStringLiteral("LastName"));
    for (int row = 0; row < contacts.GetRecordCount(); ++row) {
        const QString first = contacts.ValueAt(row, f).toString();
        const QString last = contacts.ValueAt(row, l).toString();
        members << TDAContacts::ContactSearchItem(contacts.ValueAt(row, k).toString(), first, last, last + QLatin1Char(' ') + first);
    }
    return members;
}

void TFamilyRules::SetMembers(const TSearchObjectList &picked)
{
    const QString family = Key();
    TDACDSDataTable &contacts = m_data.DAContactList();
    contacts.PostIfEditing();
    QStringList members;
    for (const TSearchListItem &member : Members())
        members << member.Object.Caption;
    contacts.ClearFilter();
    for (const QString &member : members)
        if (contacts.Locate(QStringLiteral("PK_ContactID"), member))
            TDAContacts::FreeFromFamily(contacts);
    for (const TSearchListItem &item : picked)
        if (contacts.Locate(QStringLiteral("PK_ContactID"), item.Object.Caption))
            TDAContacts::JoinFamily(contacts, family);
    TDAContacts::FilterByFamily(contacts, family);
    m_membersChanged = true;
}

void TFamilyRules::RemoveCurrentMember()
{
    TDACDSDataTable &contacts = m_data.DAContactList();
    contacts.PostIfEditing();
    if (contacts.GetRecordCount() == 0)
        return;
    TDAContacts::FreeFromFamily(contacts);
    m_membersChanged = true;
}

void TFamilyRules::CopyAddressFromCurrentMember()
{
    TDACDSDataTable &contacts = m_data.DAContactList();
    if (contacts.GetRecordCount() == 0)
        return;
    const struct
    {
        const char *Family;
        const char *Contact;
    } pairs[] = {{"FamilyStreet", "Street"}, {"FamilyCity", "City"}, {"FamilyState", "State"}, {"FamilyZip", "Zip"},
                 {"FamilyPhone1", "phone1"}};
    for (const auto &pair : pairs)
        SetField(QString::fromLatin1(pair.Family), contacts.AsString(QString::fromLatin1(pair.Contact)));
}

bool TFamilyRules::NeedsCloseQuestion(const QString &familyName) const
{
    return (m_touched || m_membersChanged || m_data.DAFamilyDetails().HasChanges()) && OkEnabled(familyName);
}
