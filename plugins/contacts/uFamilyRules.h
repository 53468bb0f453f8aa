// The rules of the family dialog, without a window: the family's fields, its members set from
// a search or removed one by one (a person freed from a family gets no family, NULL), a
// member's address copied to the family, and whether closing needs the save question.
#pragma once

#include "client/api/HostInterfaces.h"

#include <QString>
#include <QVariant>

class TDAContacts;

class TFamilyRules
{
public:
    static inline const QString HelpTopic = QStringLiteral("Family_create");
    // The families' reports of the host's report dialog.
    static inline const QString ReportCategory = QStringLiteral("{00000000-0000-0000-0000-000000000004}");

    explicit TFamilyRules(TDAContacts &data) : m_data(data) {}

    QString Key() const;
    QVariant Field(const QString &field) const;
    void SetField(const QString &field, const QVariant &value);
    static bool OkEnabled(const QString &familyName) { return !familyName.trimmed().isEmpty(); }

    // The current members as the search dialog's preselection ("Last First").
    TSearchObjectList Members() const;
    // The picked contacts become the members; everyone else of the family is freed.
    void SetMembers(const TSearchObjectList &picked);
    // Frees the current member row only.
    void RemoveCurrentMember();
    // The current member's street, city, state, zip and first phone become the family's.
    void CopyAddressFromCurrentMember();
    bool MembersChanged() const { return m_membersChanged; }

    // A family without a name closes without a question.
    bool NeedsCloseQuestion(const QString &familyName) const;

private:
    TDAContacts &m_data;
    bool m_membersChanged = false;
    bool m_touched = false;
};
