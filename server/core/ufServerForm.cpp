#include "server/core/ufServerForm.h"

#include "server/core/uDMServer.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

TNotifyIcon::TNotifyIcon(QObject *owner)
    : QObject(owner)
{
    // Without a notification area (no desktop session) the icon is kept as data only.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_icon = new QSystemTrayIcon(this);
    SetVisible(true);
}

TNotifyIcon::~TNotifyIcon() = default;

void TNotifyIcon::SetTip(const QString &tip)
{
    m_tip = tip.left(MaxTipLength);
    if (m_icon)
        m_icon->setToolTip(m_tip);
}

void TNotifyIcon::SetVisible(bool visible)
{
    m_visible = visible;
    if (m_icon)
        m_icon->setVisible(visible);
}

void TNotifyIcon::SetPopupMenu(QMenu *menu)
{
    if (m_icon)
        m_icon->setContextMenu(menu);
}

void TNotifyIcon::SetIconFromTheme(const QString &name)
{
    if (m_icon)
        m_icon->setIcon(QIcon::fromTheme(name));
}

TServerForm::TServerForm(TDMServer &server, QObject *owner)
    : QObject(owner)
    , m_server(server)
    , m_trayIcon(new TNotifyIcon(this))
    , m_popTray(new QMenu())
{
    m_popVersion = m_popTray->addAction(VersionCaption());
    m_popVersion->setEnabled(false);
    m_popTray->addSeparator();
    m_popClose = m_popTray->addAction(CloseCaption());
    connect(m_popClose, &QAction::triggered, this, &TServerForm::closeRequested);
    m_trayIcon->SetPopupMenu(m_popTray);
    m_trayIcon->SetIconFromTheme(QStringLiteral("network-server"));
    m_trayIcon->SetTip(m_server.GetText(100) + QStringLiteral(" .. please wait"));
}

TServerForm::~TServerForm()
{
    delete m_popTray;
}

QString TServerForm::VersionCaption() const
{
    return m_server.GetText(102) + m_server.ServerVersion;
}

QString TServerForm::CloseCaption() const
{
    return m_server.GetText(101);
}

void TServerForm::UpdateTrayIcon()
{
    m_trayIcon->SetIconFromTheme(QStringLiteral("network-server-symbolic"));
    m_trayIcon->SetTip(m_server.GetText(100));
}
