// The event editor: a liturgy's template, date, start time and duration, an optional weekly
// recurrence, and the grid of its ministry functions with their members. The grid edits the
// data module's editor table directly; the rules live in TEventEditorRules.
#pragma once

#include "plugins/events/uEventEditor.h"
#include "plugins/events/uEventEditorRules.h"

#include "ui/ufBaseDialog.h"

class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QTableView;
class QTimeEdit;
class QToolButton;
class TDATableModel;
class TMinisterFlagHintTracker;
class TTypedDateEdit;
class TTypedTimeEdit;

class TfEventDlg : public TfBaseDialog, public IEventEditor
{
    Q_OBJECT
public:
    explicit TfEventDlg(QWidget *parent = nullptr);
    ~TfEventDlg() override;

    // IEventEditor
    void Prepare(bool isNew) override;
    void SetRecurrence(TRecurrence *recurrence) override { m_recurrence = recurrence; }
    void SetEventDateTime(const QDateTime &start) override;
    void SetEndDateTime(const QDateTime &end) override { m_end = end; }
    void SetDurationMinutes(int minutes) override;
    void SelectTemplate(const QString &templateId) override;
    bool Execute() override;
    std::optional<TvoLiturgyTemplateData> SelectedTemplate() const override;
    QDateTime Start() const override;
    int DurationMinutes() const override;

    TEventEditorRules &Rules() { return m_rules; }
    QComboBox *cboLiturgyTemplates() const { return m_templates; }
    QComboBox *cboDuration() const { return m_duration; }
    QDateEdit *dtStart() const;
    QTimeEdit *teStartTime() const;
    QTableView *grid() const { return m_grid; }
    QMenu *popUpMinistryTemplates() const { return m_templateMenu; }
    QAction *acOK() const { return m_acOK; }
    QAction *acClose() const { return m_acClose; }
    QAction *acHelp() const { return m_acHelp; }
    QAction *acAdd() const { return m_acAdd; }
    QAction *acRemove() const { return m_acRemove; }
    QAction *acRemoveAll() const { return m_acRemoveAll; }
    QAction *acRecurrence() const { return m_acRecurrence; }
    QAction *acLookup() const { return m_acLookup; }
    QAction *acClearMember() const { return m_acClearMember; }
    QString RecurrenceStatus() const;
    // The grid's hint as the last mouse move over the grid left it.
    const TMinisterFlagHint &FlagHint() const;

    // The member column's buttons: 0 pick through the host search, 1 clear. Runs after the
    // caller's own event has returned.
    void PostLookup(int buttonIndex);

    // For tests: the recurrence dialog's run, given the dialog after its set-up.
    std::function<bool(class TfRecurrence &)> RunRecurrenceDialog;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void LookupResponsible(int buttonIndex);
    // Reads what was typed into the start and the duration; false when something names no
    // date, time or duration (the user was told).
    bool TakeTypedInput();
    void FillLiturgyTemplates();
    void FillMinistryTemplateMenu();
    void ShowFunctionCount();
    void UpdateActions();
    void EditRecurrence();
    QString Text(int number) const;
    QString LiturgyId() const;

    TEventEditorRules m_rules;
    TMinisterFlagHintTracker *m_flagHint = nullptr;
    TRecurrence *m_recurrence = nullptr;
    QDateTime m_end;
    QList<TvoLiturgyTemplateData> m_templateData;
    QComboBox *m_templates;
    TTypedDateEdit *m_date;
    TTypedTimeEdit *m_time;
    QComboBox *m_duration;
    QTableView *m_grid;
    TDATableModel *m_model = nullptr;
    QLabel *m_recurrencePanel;
    QToolButton *m_templateButton;
    QMenu *m_templateMenu;
    QAction *m_acOK;
    QAction *m_acClose;
    QAction *m_acHelp;
    QAction *m_acAdd;
    QAction *m_acRemove;
    QAction *m_acRemoveAll;
    QAction *m_acRecurrence;
    QAction *m_acLookup;
    QAction *m_acClearMember;
    int m_pendingDuration = 0;
    bool m_saved = false;
};
