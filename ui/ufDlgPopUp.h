// The small modal dialog of the client programs: a group box on the left, OK, Cancel and Help
// stacked at the top right, a check box along the bottom. Escape anywhere in it presses Cancel.
// The "#" captions are placeholders; the dialog that uses it sets its texts.
#pragma once

#include "ui/UiExport.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QVBoxLayout;

class UI_EXPORT TfDlgPopUp : public QDialog
{
    Q_OBJECT
public:
    explicit TfDlgPopUp(QWidget *parent = nullptr);

    QGroupBox *grpBox() const { return m_grpBox; }
    QCheckBox *chkShow() const { return m_chkShow; }
    QPushButton *btnOK() const { return m_btnOK; }
    QPushButton *btnCancel() const { return m_btnCancel; }
    QPushButton *btnHelp() const { return m_btnHelp; }
    // The column of buttons, for dialogs that add one of their own.
    QVBoxLayout *buttonColumn() const { return m_buttons; }

signals:
    void helpRequested();

protected:
    // Set-up shared by the dialogs built on this one; they call it first.
    virtual void FormCreate() {}
    void keyPressEvent(QKeyEvent *event) override;

private:
    QGroupBox *m_grpBox;
    QCheckBox *m_chkShow;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
    QPushButton *m_btnHelp;
    QVBoxLayout *m_buttons;
};
