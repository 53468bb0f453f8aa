#include "fMain.h"

#include "tools/common/ToolWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using ToolWindow::ScreenText;

TfMain::TfMain(TStelvarSetup &setup, QWidget *parent)
    : QDialog(parent)
    , m_setup(setup)
{
    setWindowTitle(QStringLiteral("Final Setup"));
    auto *layout = new QVBoxLayout(this);
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages);

    auto *step1 = new QWidget(m_pages);
    step1->setObjectName(QStringLiteral("Step 1"));
    auto *step1Layout = new QVBoxLayout(step1);
    auto *finalSetup = new QGroupBox(QStringLiteral("Final Setup "), step1);
    auto *finalLayout = new QVBoxLayout(finalSetup);
    m_wait = new QLabel(QStringLiteral("Please wait while establishing a connection to the SQL server..."), finalSetup);
    m_ready = new QLabel(QStringLiteral("This wizard will help you to initialize your database. Please press \"Next\""), finalSetup);
    m_failed = new QLabel(QStringLiteral("The Final Setup was unable to connect to the SQL server. Please verify that your SQL server is running."),
                          finalSetup);
    for (QLabel *label : {m_wait, m_ready, m_failed}) {
        label->setWordWrap(true);
        finalLayout->addWidget(label);
    }
    m_ready->hide();
    m_failed->hide();
    finalLayout->addStretch();
    auto *buttons1 = new QHBoxLayout;
    buttons1->addStretch();
    m_close = new QPushButton(QStringLiteral("Close"), finalSetup);
    m_next = new QPushButton(QStringLiteral("Next"), finalSetup);
    m_next->setDefault(true);
    m_close->setEnabled(false);
    m_next->setEnabled(false);
    buttons1->addWidget(m_close);
    buttons1->addWidget(m_next);
    finalLayout->addLayout(buttons1);
    step1Layout->addWidget(finalSetup);
    m_pages->addWidget(step1);

    auto *step2 = new QWidget(m_pages);
    step2->setObjectName(QStringLiteral("Step 2"));
    auto *step2Layout = new QVBoxLayout(step2);
    auto *database = new QGroupBox(QStringLiteral("Database "), step2);
    auto *databaseLayout = new QVBoxLayout(database);
    m_create = new QRadioButton(QStringLiteral("Create a new database"), database);
    m_migrate = new QRadioButton(QStringLiteral("Migrate my database from a previous installation"), database);
    m_create->setChecked(true);
    databaseLayout->addWidget(m_create);
    databaseLayout->addWidget(m_migrate);
    // Shown while the option is greyed: what settings.ini needs for a migration.
    m_migrateHint = new QLabel(MigrateHintText, database);
    m_migrateHint->setWordWrap(true);
    m_migrateHint->setEnabled(false);
    databaseLayout->addWidget(m_migrateHint);
    auto *locationGroup = new QGroupBox(QStringLiteral("Database location "), database);
    auto *locationLayout = new QVBoxLayout(locationGroup);
    m_defaultLocation = new QRadioButton(QStringLiteral("Default location"), locationGroup);
    m_defaultLocation->setChecked(true);
    m_defaultLocation->setAutoExclusive(false);
    m_location = new QLineEdit(locationGroup);
    m_location->setReadOnly(true);
    locationLayout->addWidget(m_defaultLocation);
    locationLayout->addWidget(m_location);
    databaseLayout->addWidget(locationGroup);
    m_red = new QLabel(QStringLiteral("Can not contact the database! Change database location or wait for retry."), database);
    m_red->setStyleSheet(QStringLiteral("color: red"));
    m_red->setWordWrap(true);
    m_red->hide();
    databaseLayout->addWidget(m_red);
    auto *buttons2 = new QHBoxLayout;
    buttons2->addStretch();
    m_start = new QPushButton(QStringLiteral("Start"), database);
    m_start->setEnabled(false);
    buttons2->addWidget(m_start);
    databaseLayout->addLayout(buttons2);
    step2Layout->addWidget(database);
    m_pages->addWidget(step2);

    m_progressGroup = new QGroupBox(QStringLiteral("Progress "), this);
    auto *progressLayout = new QVBoxLayout(m_progressGroup);
    m_progress = new QProgressBar(m_progressGroup);
    m_progress->setTextVisible(true);
    m_progressCaption = new QLabel(m_progressGroup);
    progressLayout->addWidget(m_progress);
    progressLayout->addWidget(m_progressCaption);
    layout->addWidget(m_progressGroup);
    // The window's size is fixed: what shows later has its room from the start, so that nothing
    // is squeezed under it when it appears.
    for (QWidget *later : {static_cast<QWidget *>(m_progressGroup), static_cast<QWidget *>(m_red)}) {
        QSizePolicy policy = later->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        later->setSizePolicy(policy);
    }
    m_progressGroup->hide();

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TfMain::Timer1Timer);
    connect(m_next, &QPushButton::clicked, this, &TfMain::NextClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_start, &QPushButton::clicked, this, &TfMain::StartClick);
    connect(m_defaultLocation, &QRadioButton::clicked, this, &TfMain::DefaultLocationClick);

    m_prompts = WindowPrompts();
    setFixedSize(sizeHint().expandedTo(QSize(460, 300)));
}

TStelvarPrompts TfMain::WindowPrompts()
{
    TStelvarPrompts prompts;
    prompts.AskYesNo = [this](const QString &caption, const QString &text) {
        return QMessageBox::question(this, caption, ScreenText(text), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    prompts.ShowMessage = [this](const QString &text) { QMessageBox::information(this, windowTitle(), ScreenText(text)); };
    prompts.ReportProgress = [this](const QString &caption, int position, int maximum) {
        m_progress->setRange(0, maximum);
        m_progress->setValue(position);
        m_progressCaption->setText(caption);
        QApplication::processEvents();
    };
    return prompts;
}

void TfMain::FormShow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_pages->setCurrentIndex(0);
    try {
        m_setup.LoadSettings();
        const bool allowed = m_setup.MigrationAllowed();
        if (!allowed) {
            m_create->setChecked(true);
            m_migrate->setChecked(false);
            m_migrate->setEnabled(false);
        }
        m_migrateHint->setVisible(!allowed);
        m_location->setText(m_setup.TargetConnectionString());
        m_location->setEnabled(false);
        m_timer->start();
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        m_prompts.ShowMessage(QStringLiteral("An error occurred: ") + QString::fromUtf8(e.what()));
    }
}

void TfMain::Timer1Timer()
{
    QApplication::restoreOverrideCursor();
    m_wait->hide();
    m_timer->stop();
    QApplication::processEvents();
    m_setup.SetTargetConnectionString(m_location->text());
    SetWizardState(m_setup.TestServerConnection());
}

void TfMain::SetWizardState(bool connected)
{
    if (connected) {
        m_ready->show();
        m_next->setEnabled(true);
        m_start->setEnabled(true);
        m_red->hide();
    } else {
        m_close->setEnabled(true);
        m_failed->show();
        m_start->setEnabled(false);
        m_red->show();
    }
}

void TfMain::NextClick()
{
    m_pages->setCurrentIndex(1);
}

void TfMain::DefaultLocationClick()
{
    m_defaultLocation->setChecked(true);
    m_location->setText(m_setup.TargetConnectionString());
}

void TfMain::StartClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_next->setEnabled(false);
    m_start->setEnabled(false);
    m_progressGroup->show();
    QApplication::processEvents();
    TStelvarPrompts prompts = m_prompts;
    // The question and the final message come with the normal cursor.
    const auto asked = prompts.AskYesNo;
    prompts.AskYesNo = [asked](const QString &caption, const QString &text) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const bool yes = asked && asked(caption, text);
        QApplication::restoreOverrideCursor();
        return yes;
    };
    const bool ready = m_setup.RunSetup(m_migrate->isChecked(), prompts);
    m_progressGroup->hide();
    QApplication::restoreOverrideCursor();
    done(ready ? QDialog::Accepted : QDialog::Rejected);
}
