// The desktop mode's only face: an icon in the notification area with a tip and a menu that
// shows the server's version and closes the server.
#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TDMServer;

// The tray icon with the rules the server relies on: a tip of at most 63 characters, and an
// icon that is shown only while Visible.
class TNotifyIcon : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxTipLength = 63;

    explicit TNotifyIcon(QObject *owner = nullptr);
    ~TNotifyIcon() override;

    QString Tip() const { return m_tip; }
    void SetTip(const QString &tip);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    void SetPopupMenu(QMenu *menu);
    void SetIconFromTheme(const QString &name);

private:
    QSystemTrayIcon *m_icon = nullptr;
    QString m_tip;
    bool m_visible = true;
};

class TServerForm : public QObject
{
    Q_OBJECT
public:
    explicit TServerForm(TDMServer &server, QObject *owner = nullptr);
    ~TServerForm() override;

    // Once the server runs: the application's icon and the plain title as tip.
    void UpdateTrayIcon();
    TNotifyIcon &TrayIcon() const { return *m_trayIcon; }
    QString VersionCaption() const;
    QString CloseCaption() const;

signals:
    void closeRequested();

private:
    TDMServer &m_server;
    TNotifyIcon *m_trayIcon;
    QMenu *m_popTray;
    QAction *m_popVersion;
    QAction *m_popClose;
};
