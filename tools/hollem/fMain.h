// The backup program's window: the existing backups, newest first, and the buttons that make a
// new one or restore the chosen one.
#pragma once

#include "uDM.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;

// What the window asks and tells; message boxes by default, scripted in tests.
struct THollemPrompts
{
    // OK/Cancel; true for OK. warning chooses the warning icon over the information icon.
    std::function<bool(const QString &caption, const QString &text, bool warning)> Confirm;
    std::function<void(const QString &caption, const QString &text)> Inform;
    // The program's error display for a failed backup or restore.
    std::function<void(const QString &text)> ShowError;
};

class TfMain : public QDialog
{
    Q_OBJECT
public:
    explicit TfMain(TDM &dm, QWidget *parent = nullptr);

    void SetPrompts(const THollemPrompts &prompts) { m_prompts = prompts; }

    void RefreshBackupList();
    void CreateNewClick();
    void RestoreClick();

    QTreeWidget *List() const { return m_list; }

private:
    TDM &m_dm;
    THollemPrompts m_prompts;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_create = nullptr;
    QPushButton *m_restore = nullptr;
    QPushButton *m_close = nullptr;
};
