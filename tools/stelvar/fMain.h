// The setup program's one window: a connection test on the first page, the choice between a
// new and a migrated database on the second, and the progress of the run.
#pragma once

#include "StelvarSetup.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;

class TfMain : public QDialog
{
    Q_OBJECT
public:
    static inline const QString MigrateHintText =
        QStringLiteral("A migration needs DataType=Access and Access=<the older database's connection string> in the "
                       "[Data Access] section of settings.ini.");

    explicit TfMain(TStelvarSetup &setup, QWidget *parent = nullptr);

    // Message boxes by default; tests answer in their place.
    void SetPrompts(const TStelvarPrompts &prompts) { m_prompts = prompts; }

    // First page, settings read, the timer armed.
    void FormShow();
    // The first tick: the connection test.
    void Timer1Timer();
    void SetWizardState(bool connected);
    void NextClick();
    void StartClick();
    void DefaultLocationClick();

    QStackedWidget *Pages() const { return m_pages; }
    QLabel *WaitLabel() const { return m_wait; }
    QLabel *ReadyLabel() const { return m_ready; }
    QLabel *FailedLabel() const { return m_failed; }
    QLabel *RedLabel() const { return m_red; }
    QPushButton *NextButton() const { return m_next; }
    QPushButton *CloseButton() const { return m_close; }
    QPushButton *StartButton() const { return m_start; }
    QRadioButton *CreateOption() const { return m_create; }
    QRadioButton *MigrateOption() const { return m_migrate; }
    QLabel *MigrateHint() const { return m_migrateHint; }
    QLineEdit *Location() const { return m_location; }
    QGroupBox *ProgressGroup() const { return m_progressGroup; }
    QTimer *Timer() const { return m_timer; }

private:
    TStelvarPrompts WindowPrompts();

    TStelvarSetup &m_setup;
    TStelvarPrompts m_prompts;
    QStackedWidget *m_pages = nullptr;
    QLabel *m_wait = nullptr;
    QLabel *m_ready = nullptr;
    QLabel *m_failed = nullptr;
    QLabel *m_red = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_start = nullptr;
    QRadioButton *m_create = nullptr;
    QRadioButton *m_migrate = nullptr;
    QLabel *m_migrateHint = nullptr;
    QRadioButton *m_defaultLocation = nullptr;
    QLineEdit *m_location = nullptr;
    QGroupBox *m_progressGroup = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_progressCaption = nullptr;
    QTimer *m_timer = nullptr;
};
