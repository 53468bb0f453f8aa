// The options page of the system settings: the user's work hours, month numbers and standard
// duration, the four schedule colours, the history start date, and the reset of the saved
// layouts. The options are read when the view is activated and written when it is left.
#pragma once

#include "plugins/settings/uSettingsPage.h"
#include "plugins/settings/uSettingsRules.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QPushButton;
class QTimeEdit;

class TSettingsOptionsPage : public TSettingsPage
{
public:
    static inline const QStringList ColorIDs = {
        QStringLiteral("{00000000-0000-0000-0000-000000000000}"), QStringLiteral("{00000000-0000-0000-0000-000000000001}"),
        QStringLiteral("{00000000-0000-0000-0000-000000000002}"), QStringLiteral("{00000000-0000-0000-0000-000000000003}")};
    static inline const QStringList SavedLayouts = {
        QStringLiteral("ScheduleEventsGrid"), QStringLiteral("ContactsListView"), QStringLiteral("ScheduledFunctionsGrid"),
        QStringLiteral("FamilyListView"),     QStringLiteral("FamilyMemberView"), QStringLiteral("GroupsListView")};
    // Settings kept beside the layouts that a reset empties too: the contacts' view type and
    // the column the schedule's event grid is grouped by.
    static inline const QStringList LayoutSettings = {QStringLiteral("Contacts_ViewType"), QStringLiteral("ScheduleEventsGrid.GroupColumn")};

    explicit TSettingsOptionsPage(ISettingsPageHost &host);

    void FillDurationList();
    void ReadEventsSettings();
    void WriteEventsSettings();
    void ReadEventColors();
    void WriteEventColors();
    void ReadHistoryDate();
    void WriteHistoryDate();
    void ResetLayouts();

    QTimeEdit *WorkStart() const { return m_edWorkStart; }
    QTimeEdit *WorkEnd() const { return m_edWorkEnd; }
    QCheckBox *MonthNumber() const { return m_chkMonthNumber; }
    QComboBox *Duration() const { return m_cboDuration; }
    QComboBox *ColorBox(int index) const { return m_colors[index]; }
    QDateEdit *HistoryDate() const { return m_edHistoryDate; }
    const QList<SettingsRules::TDuration> &Durations() const { return m_durations; }

private:
    void BuildOptionsPage();

    QTimeEdit *m_edWorkStart;
    QTimeEdit *m_edWorkEnd;
    QCheckBox *m_chkMonthNumber;
    QComboBox *m_cboDuration;
    QComboBox *m_colors[4];
    QDateEdit *m_edHistoryDate;
    QPushButton *m_btnReset;
    QList<SettingsRules::TDuration> m_durations;
};
