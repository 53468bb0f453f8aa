#include "plugins/settings/uSettingsEmailPage.h"

#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uSettingsRules.h"

#include "dataaccess/DAException.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace SettingsRules;

namespace {

const char *const kMailKeys[] = {"MailServer", "MailSender", "MailReturn"};

} // namespace

TSettingsEmailPage::TSettingsEmailPage(ISettingsPageHost &host) : TSettingsPage(host)
{
    BuildEmailPage();
}

void TSettingsEmailPage::BuildEmailPage()
{
    QWidget *page = this;
    auto *layout = new QVBoxLayout(page);
    auto *information = new QGroupBox(QStringLiteral(" Information "), page);
    auto *text = new QLabel(QStringLiteral("The E-Mail service in Kestrova is using your existing E-Mail service. Please make sure "
                                           "you have a working E-mail service in either Microsoft Outlook or Microsoft Outlook Express."),
                            information);
    text->setWordWrap(true);
    (new QVBoxLayout(information))->addWidget(text);
    auto *settings = new QGroupBox(QStringLiteral("E-Mail settings"), page);
    auto *form = new QFormLayout(settings);
    const QString labels[] = {QStringLiteral("Mail server:"), QStringLiteral("Sender address:"), QStringLiteral("Return address:")};
    for (int i = 0; i < 3; ++i) {
        m_mail[i] = new QLineEdit(QStringLiteral("Unavailable"), settings);
        m_mail[i]->setMinimumWidth(260);
        connect(m_mail[i], &QLineEdit::textEdited, this, [this, i] { m_mailKnown[i] = true; });
        form->addRow(labels[i], m_mail[i]);
    }
    auto *reset = new QPushButton(QStringLiteral("Reset"), settings);
    connect(reset, &QPushButton::clicked, this, [this] { ResetEMailSettings(); });
    form->addRow(QString(), reset);
    layout->addWidget(information);
    layout->addWidget(settings);
    layout->addStretch();
}

void TSettingsEmailPage::ReadEmailSettings()
{
    Guarded(QStringLiteral("ReadEmailSettings"), [this] {
        const TMailAddresses stored{Controller().GetUserSetting(QLatin1String(kMailKeys[0]), QString()),
                                    Controller().GetUserSetting(QLatin1String(kMailKeys[1]), QString()),
                                    Controller().GetUserSetting(QLatin1String(kMailKeys[2]), QString())};
        const std::optional<TMailAddresses> configured = MailFromConfiguration(Controller().GetCDOConfiguration());
        const TMailAddresses shown = configured ? MergeMail(stored, *configured) : stored;
        const QString values[] = {shown.Server, shown.Sender, shown.Return};
        for (int i = 0; i < 3; ++i) {
            // Without a configuration an address never stored stays "Unavailable" and is not saved.
            m_mailKnown[i] = configured || !values[i].isEmpty();
            if (m_mailKnown[i])
                m_mail[i]->setText(values[i]);
        }
    });
}

void TSettingsEmailPage::ResetEMailSettings()
{
    Guarded(QStringLiteral("ResetEMailSettings"), [this] {
        const std::optional<TMailAddresses> configured = MailFromConfiguration(Controller().GetCDOConfiguration());
        if (!configured)
            throw EDAException(QStringLiteral("The mail configuration cannot be read"));
        const QString values[] = {configured->Server, configured->Sender, configured->Return};
        for (int i = 0; i < 3; ++i) {
            m_mail[i]->setText(values[i]);
            m_mailKnown[i] = true;
        }
    });
}

void TSettingsEmailPage::WriteEMailSettings()
{
    Guarded(QStringLiteral("WriteEMailSettings"), [this] {
        for (int i = 0; i < 3; ++i)
            if (m_mailKnown[i])
                Controller().SetUserSetting(QLatin1String(kMailKeys[i]), m_mail[i]->text());
    });
}
