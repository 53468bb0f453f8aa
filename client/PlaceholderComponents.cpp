#include "client/PlaceholderComponents.h"

#include "client/uDMClient.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uRegistry.h"
#include "remoting/ROHTTPChannel.h"

#include <QLabel>

using namespace Quorva;

namespace {

constexpr int kTextTitle = 100;

} // namespace

TfMainPlaceholder::TfMainPlaceholder(QWidget *parent) : TfStyleForm(parent), m_label(new QLabel(this))
{
    setMinimumWidth(650);
    m_label->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_label);
}

void TfMainPlaceholder::InitializeForm()
{
    if (!m_client)
        return;
    const QString title = m_client->GetText(kTextTitle);
    const QString user = m_client->User() ? m_client->User()->UserName : QString();
    setWindowTitle(user + QStringLiteral(" - ") + title);
    m_label->setText(m_client->CurrentServerURL());
}

void TfMainPlaceholder::OpenPopupTarget(int eventType)
{
    AddToLog(llWarning, QStringLiteral("Quorva"), QStringLiteral("OpenPopupTarget"),
             QStringLiteral("no navigation bar for %1 in this build").arg(eventType));
}

void TfMainPlaceholder::ShowAboutDialog()
{
    AddToLog(llWarning, QStringLiteral("DMClient"), QStringLiteral("ShowAboutDialog"), QStringLiteral("not available in this build"));
}

int TPreferredServerConnector::ConnectToServer()
{
    try {
        QString url;
        TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, url, TDMClient::DefaultServerURL, QStringLiteral("Preferred server"));
        m_client.ROHTTP()->SetTargetURL(url);
        AddToLog(llInformation, QStringLiteral("Main"), QStringLiteral("Server:"), url);
        m_client.ROHTTPEvents()->SetTargetURL(url);
        m_client.SetCurrentServerURL(url);
        m_client.UpdateSplash(m_client.GetText(1110));
        m_client.ROProbeHTP()->SetTargetURL(url);
        bool answered = false;
        try {
            answered = CoProbeService::Create(m_client.ROBinMgs(), m_client.ROProbeHTP())->ProbeServer();
        } catch (const std::exception &) {
            answered = false;
        }
        m_client.ROProbeHTP()->SetTargetURL(QString());
        if (!answered) {
            AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("Server version\t\t"), QString());
            return 1;
        }
        return 0;
    } catch (const std::exception &e) {
        AddToLog(llSevere, QStringLiteral("DMClient"), QStringLiteral("ConnectToServer"), QString::fromUtf8(e.what()));
        return 1;
    }
}
