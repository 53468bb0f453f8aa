// The users page of the system settings: the accounts by log-on name, the current one's name,
// level, comments and stamps, and its password. The logged-on administrator can neither change
// his own level nor delete his own account.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TSettingsUsersPage : public TSettingsPage
{
public:
    explicit TSettingsUsersPage(ISettingsPageHost &host);

    void LoadCaptions() override;
    bool CanDelete() const;
    // Marks the current account (the first one while none is) and focuses the grid.
    void PageShown();

    void InserNewUser();
    void DeleteSelectedUser();
    bool IsCurrentUser(const QString &userId) const;
    void SetPassword();

    QTableView *UsersGrid() const { return m_grdUsers; }
    QLineEdit *UserName() const { return m_edUsername; }
    QComboBox *UserLevel() const { return m_cboUserLevel; }

private:
    void BuildUsersPage();
    void UserSelectionChanged();

    QTableView *m_grdUsers;
    TDATableModel *m_userModel;
    TFieldBinder *m_userFields;
    QLineEdit *m_edUsername;
    QComboBox *m_cboUserLevel;
    QPushButton *m_btnPassword;
};
