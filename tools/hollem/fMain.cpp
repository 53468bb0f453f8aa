#include "fMain.h"

#include "tools/common/ToolWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using ToolWindow::ScreenText;
using ToolWindow::WaitCursor;

TfMain::TfMain(TDM &dm, QWidget *parent)
    : QDialog(parent)
    , m_dm(dm)
{
    setWindowTitle(QStringLiteral("Hollem"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Existing backups"), this);
    auto *groupLayout = new QVBoxLayout(group);
    m_list = new QTreeWidget(group);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({QStringLiteral("Path"), QStringLiteral("File name"), QStringLiteral("Date created")});
    m_list->setColumnHidden(0, true);
    m_list->setColumnWidth(1, 200);
    m_list->setColumnWidth(2, 150);
    groupLayout->addWidget(m_list);
    layout->addWidget(group);
    auto *buttons = new QHBoxLayout;
    m_create = new QPushButton(QStringLiteral("Create new"), this);
    m_restore = new QPushButton(QStringLiteral("Restore"), this);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(m_create);
    buttons->addWidget(m_restore);
    buttons->addStretch();
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(m_create, &QPushButton::clicked, this, &TfMain::CreateNewClick);
    connect(m_restore, &QPushButton::clicked, this, &TfMain::RestoreClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    m_prompts.Confirm = [this](const QString &caption, const QString &text, bool warning) {
        QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, caption, ScreenText(text),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        return box.exec() == QMessageBox::Ok;
    };
    m_prompts.Inform = [this](const QString &caption, const QString &text) {
        QMessageBox::information(this, caption, ScreenText(text));
    };
    m_prompts.ShowError = [this](const QString &text) { QMessageBox::critical(this, windowTitle(), text); };
    RefreshBackupList();
}

void TfMain::RefreshBackupList()
{
    m_list->clear();
    for (const TBackupEntry &entry : TDM::ListBackups(m_dm.BackupFolder()))
        m_list->addTopLevelItem(new QTreeWidgetItem(m_list, {entry.Path, entry.FileName, entry.CreatedText}));
}

void TfMain::CreateNewClick()
{
    if (!m_prompts.Confirm(QStringLiteral("Create backup"), QStringLiteral("This will create a new backup.\r\nPress OK to proceed"), false))
        return;
    try {
        {
            WaitCursor wait;
            m_dm.BackupDatabase();
        }
        m_prompts.Inform(QStringLiteral("Backup"), QStringLiteral("Backup is done"));
    } catch (const std::exception &e) {
        m_prompts.ShowError(QString::fromUtf8(e.what()));
    }
    RefreshBackupList();
}

void TfMain::RestoreClick()
{
    QTreeWidgetItem *chosen = m_list->currentItem();
    if (!chosen || !chosen->isSelected()) {
        m_prompts.Inform(QStringLiteral("No backup selected"), QStringLiteral("Please select a backup to restore"));
        return;
    }
    if (!m_prompts.Confirm(QStringLiteral("Restore database"),
                           QStringLiteral("This will restore a previous version of your database and replace your current one. "
                                          "There is no way back afterwards!\r\nYou must restart your server (Brennic) after "
                                          "doing this\r\nPress OK to continue"),
                           true))
        return;
    try {
        {
            WaitCursor wait;
            m_dm.RestoreDatabase(chosen->text(0));
        }
        m_prompts.Inform(QStringLiteral("Restore"), QStringLiteral("Database was successfully restored"));
    } catch (const std::exception &e) {
        m_prompts.ShowError(QString::fromUtf8(e.what()));
    }
}
