// The log-on dialog: the user's name from the list of log-on names, the password, and whether
// to log on with the operating-system account next time; below them the client's version and
// the server it talks to, and a link to change the password.
#pragma once

#include "ui/ufDlgPopUp.h"

class QComboBox;
class QLabel;
class QLineEdit;
class TDMClient;

class TfDlgLogin : public TfDlgPopUp
{
    Q_OBJECT
public:
    static inline const QString PasswordLinkText = QStringLiteral("Lost the password? Click here");

    explicit TfDlgLogin(QWidget *parent = nullptr);

    // Captions from the host's language texts, the version label ("version: 3.0", "build" and
    // the program's version) and the server label.
    void InitForm(const TDMClient &client, const QString &serverURL);
    void SetUsers(const QStringList &names);
    // Selects the name when the list has it, else the first; clears the password and focuses it.
    void Prepare(const QString &userName);
    QString UserName() const;
    QString Password() const;
    bool UseWindowsLogon() const;

    QComboBox *cbUsers() const { return m_cbUsers; }
    QLineEdit *ePwd() const { return m_ePwd; }
    QLabel *lblPassword() const { return m_lblLostPassword; }
    QLabel *lblVersion() const { return m_lblVersion; }
    QLabel *lblServer() const { return m_lblServer; }

signals:
    // The link under the password was clicked.
    void changePasswordRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_lblDescription;
    QLabel *m_lblUser;
    QLabel *m_lblPwd;
    QComboBox *m_cbUsers;
    QLineEdit *m_ePwd;
    QLabel *m_lblLostPassword;
    QLabel *m_lblVersion;
    QLabel *m_lblServer;
};
