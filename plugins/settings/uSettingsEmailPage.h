// The e-mail page of the system settings (shown only while the host's mail is available): the
// user's mail server, sender and return address; a key never stored is offered from the host's
// mail configuration.
#pragma once

#include "plugins/settings/uSettingsPage.h"

class QLineEdit;

class TSettingsEmailPage : public TSettingsPage
{
public:
    explicit TSettingsEmailPage(ISettingsPageHost &host);

    void ReadEmailSettings();
    void ResetEMailSettings();
    void WriteEMailSettings();

    QLineEdit *MailEdit(int index) const { return m_mail[index]; }

private:
    void BuildEmailPage();

    QLineEdit *m_mail[3];
    // Which mail edits hold a real value (stored, configured or typed).
    bool m_mailKnown[3] = {false, false, false};
};
