// Before the server assigns ministers automatically the user picks the period and, if wanted,
// the ministry functions and liturgy templates that take part; the period is remembered per
// user. The caller hands the result to the host's runner (RunAutoSchedule).
#pragma once

#include "ui/ufDlgPopUp.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

class QDateEdit;
class QLabel;
class QListWidget;
class QStatusBar;
class QToolButton;

class TfAutoScheduleStart : public TfDlgPopUp
{
    Q_OBJECT
public:
    static inline const QString StartSetting = QStringLiteral("AutoScheduleStartDate");
    static inline const QString EndSetting = QStringLiteral("AutoScheduleEndDate");

    explicit TfAutoScheduleStart(QWidget *parent = nullptr);

    // The period offered: the stored one, else today to three months on; today to a month on
    // when a stored text does not read as a date.
    static void InitialPeriod(const QString &startText, const QString &endText, const QDate &today, QDate &start, QDate &end);
    // The checked entries' texts joined by ",", or the placeholder when none is checked.
    static QString CheckedText(const QListWidget &list, const QString &placeholder);

    // Results after OK.
    QDate StartDate;
    QDateTime EndDate; // the chosen last day plus one: the exclusive end
    QStringList FunctionIDs;
    QStringList TemplateIDs;
    int LiturgyCount = 0;

    void UpdateLiturgies();
    // What OK does; false when it failed (logged).
    bool Confirm();
    // Confirms and hands the run to the host; false when cancelled or failed.
    static bool StartRun(QWidget *parent = nullptr);

    QDateEdit *dtStartDate() const { return m_start; }
    QDateEdit *dtEndDate() const { return m_end; }
    QListWidget *lstchkFunctions() const { return m_functions; }
    QListWidget *lstchkLiturgyTemplates() const { return m_templates; }
    QToolButton *cxcmbMinistryFunctions() const { return m_functionsField; }
    QToolButton *cxcmbLiturgyTemplates() const { return m_templatesField; }
    QString StatusText() const;

private:
    void FillLists();
    void UpdateOk();

    bool m_loaded = false;
    QDateEdit *m_start;
    QDateEdit *m_end;
    QListWidget *m_functions;
    QListWidget *m_templates;
    QToolButton *m_functionsField;
    QToolButton *m_templatesField;
    QLabel *m_status;
};
