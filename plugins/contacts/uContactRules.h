// The rules of the contact dialog, without a window: how the typed name becomes the five name
// fields, which field the phone and e-mail edits write, how checking a ministry function, a
// liturgy, a frequency or the fill-in box changes the preference tables, how days become
// unavailable and available again, how a rule's contacts are replaced or cleared, and whether
// closing needs the save question. It works on the data module's tables as EditContact and
// NewContact prepared them; the dialog shows what it answers.
#pragma once

#include "client/api/HostInterfaces.h"
#include "plugins/contacts/uNameExtractor.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class TDACDSDataTable;
class TDAContacts;

class TContactRules
{
public:
    // The rule types in the order of the dialog's rows: never together, always with, don't
    // schedule with, prefer with.
    static const QStringList RuleTypes;
    static constexpr int RuleTypeCount = 4;

    explicit TContactRules(TDAContacts &data);

    // Keeps the key and joins the contact's name fields into the full name.
    void SetContact(const QString &key);
    QString Key() const { return m_key; }

    // ---- names ----
    void SetTitleList(const QString &commaText) { m_names.SetTitleList(commaText); }
    void SetSuffixList(const QString &commaText) { m_names.SetSuffixLixt(commaText); }
    // The joined name as the full-name field shows it (trimmed).
    QString FullName() const { return m_names.FullName().trimmed(); }
    // Every change of the full-name field.
    void NameTyped() { m_nameChanged = true; }
    bool NameChanged() const { return m_nameChanged; }
    // When the name was changed: splits the text and stores the five parts. True when the
    // split found no first name (the dialog may then open the name-parts dialog).
    bool FinishName(const QString &text);
    // The five parts as the name-parts dialog gives them; answers the trimmed full name.
    QString StoreNameParts(const QString &title, const QString &first, const QString &middle, const QString &last,
                           const QString &suffix);
    // OK is possible while the full-name field holds more than blanks.
    static bool OkEnabled(const QString &fullNameText) { return !fullNameText.trimmed().isEmpty(); }

    // ---- the general page ----
    // The field the phone edit writes by the menu's tag (1-4: phone1, phone2, phone3, Fax)
    // and the e-mail edit (1-3: EMail1-EMail3); tag 1 for anything else.
    static QString PhoneField(int tag);
    static QString EmailField(int tag);
    QVariant Field(const QString &field) const;
    // Writes one field of the contact (edit state entered when needed).
    void SetField(const QString &field, const QVariant &value);

    // ---- functions and preferences ----
    bool FunctionChecked(const QString &functionKey) const { return !PreferenceOf(functionKey).isEmpty(); }
    // The key of the contact's preference row for the function, empty when there is none.
    QString PreferenceOf(const QString &functionKey) const;
    QStringList CheckedFunctions() const;
    void CheckFunction(const QString &functionKey);
    // Deletes the preference row of this function with its own liturgy and frequency rows.
    void UncheckFunction(const QString &functionKey);
    // Liturgy and frequency choices of a checked function; none chosen means all of them.
    QStringList Liturgies(const QString &functionKey) const;
    QStringList Frequencies(const QString &functionKey) const;
    bool AllLiturgies(const QString &functionKey) const { return Liturgies(functionKey).isEmpty(); }
    bool AllFrequencies(const QString &functionKey) const { return Frequencies(functionKey).isEmpty(); }
    void SetLiturgy(const QString &functionKey, const QString &liturgyKey, bool chosen);
    void SetFrequency(const QString &functionKey, const QString &frequencyKey, bool chosen);
    // Drops every choice of the function, which means all of them.
    void ChooseAllLiturgies(const QString &functionKey);
    void ChooseAllFrequencies(const QString &functionKey);
    bool CanFillIn(const QString &functionKey) const;
    void SetCanFillIn(const QString &functionKey, bool canFillIn);

    // ---- availability ----
    QList<QDate> UnavailableDays() const;
    // Each day that is not yet unavailable gets one row; answers how many were added.
    int MarkUnavailable(const QList<QDate> &days);
    // Every row of those days goes; answers how many.
    int MarkAvailable(const QList<QDate> &days);

    // ---- rules ----
    // The other contacts of the rule type, once each, "First Last" joined by ", ".
    QString RuleText(int type) const;
    // Replaces the contacts of this rule type by the ones picked (search hits of contacts);
    // the other types stay as they are.
    void SetRule(int type, const TSearchObjectList &picked);
    void ClearRule(int type);
    // The contacts already in the rule, as the search dialog's preselection.
    TSearchObjectList RuleMembers(int type) const;

    // ---- help and the schedule report ----
    // The help topic of each page of the dialog (general, functions, schedule).
    static QString HelpTopic(int page);
    // Printing is offered on the schedule page only, and only when there is something to print.
    static bool PrintVisible(int page) { return page == SchedulePage; }
    static bool PrintEnabled(int scheduleRows) { return scheduleRows > 0; }
    static constexpr int SchedulePage = 2;
    // The host's report category of schedules.
    static const QString ScheduleReportCategory;
    // The selection the host's report chooser gets for this contact's schedule.
    QStringList ScheduleSelection() const;

    // ---- closing ----
    // Whether a close without OK has anything to ask about: a typed field or name, or a
    // pending change of a preference, rule, availability or group table.
    bool HasChanges() const;

private:
    TDACDSDataTable &Details() const;
    void FilterPreference(TDACDSDataTable &links, const QString &preferenceKey) const;
    void FilterRule(int type) const;
    QStringList LinkValues(TDACDSDataTable &links, const QString &functionKey, const QString &field) const;
    void SetLink(TDACDSDataTable &links, const QString &functionKey, const QString &field, const QString &value, bool chosen);
    void ClearLinks(TDACDSDataTable &links, const QString &functionKey);

    TDAContacts &m_data;
    QString m_key;
    TNameExtractor m_names;
    bool m_nameChanged = false;
    bool m_touched = false;
};
