// The shared dialog for a new password: typed twice, letters and digits only, confirmed only
// when both entries are the same text, letter case included. Its texts come from the host's
// language texts; the caller reads NewPassword() after OK.
#pragma once

#include "ui/ufDlgPopUp.h"

namespace Quorva {
class ILanguageHost;
}
class QAction;
class QLabel;
class QLineEdit;

class UI_EXPORT TfPassword : public TfDlgPopUp
{
    Q_OBJECT
public:
    explicit TfPassword(QWidget *parent = nullptr);

    // Clears both entries and sets the captions (texts 200-202 and 6300-6303); with no host the
    // placeholders stay.
    void InitForm(Quorva::ILanguageHost *texts);
    QString NewPassword() const;

    // OK is offered exactly when both entries hold the same characters.
    static bool CanConfirm(const QString &first, const QString &second) { return first == second; }

    QLineEdit *edPwd1() const { return m_edPwd1; }
    QLineEdit *edPwd2() const { return m_edPwd2; }
    QPushButton *btnChange() const { return m_btnChange; }
    QAction *acOK() const { return m_acOK; }

private:
    void acOKUpdate();

    QLineEdit *m_edPwd1;
    QLineEdit *m_edPwd2;
    QLabel *m_cxLabel1;
    QLabel *m_cxLabel2;
    QAction *m_acOK;
    QPushButton *m_btnChange;
};
