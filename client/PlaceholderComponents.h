// Stand-ins that let the host start until the real components arrive: a main window that shows
// who is logged on, and a server connection to the preferred server (or the local one) without
// discovery or a choice. Both are replaced in THostComponentFactory by the main window and the
// server choice.
#pragma once

#include "client/HostComponents.h"

#include "ui/uStyleForm.h"

class QLabel;

class TfMainPlaceholder : public TfStyleForm, public IQuorvaMainWindow, public Quorva::IStyleForm
{
    Q_OBJECT
public:
    explicit TfMainPlaceholder(QWidget *parent = nullptr);

    QWidget *Widget() override { return this; }
    Quorva::IStyleForm *StyleForm() override { return this; }
    void SetDataModule(TDMClient *client) override { m_client = client; }
    void InitializeForm() override;
    void CloseMainWindow() override { close(); }
    bool GetNavBarVisible() override { return m_navBarVisible; }
    void SetNavBarVisible(bool visible) override { m_navBarVisible = visible; }
    bool GetSmartHelpVisible() override { return m_smartHelpVisible; }
    void SetSmartHelpVisible(bool visible) override { m_smartHelpVisible = visible; }
    void ShowSmartHelp(const QString &text) override { m_smartHelp = text; }
    QString SmartHelpText() const { return m_smartHelp; }
    void OpenPopupTarget(int eventType) override;
    void ShowAboutDialog() override;

    bool queryInterface(const QUuid &id, void **object) override { return QorQueryInterface<Quorva::IStyleForm>(this, id, object); }
    int addRef() override { return 1; }
    int release() override { return 1; }
    void SetLookAndFeel(quint8) override {}

private:
    TDMClient *m_client = nullptr;
    QLabel *m_label;
    bool m_navBarVisible = true;
    bool m_smartHelpVisible = true;
    QString m_smartHelp;
};

// Sets the preferred server ("Preferred server", else the local computer on port 8099) on the
// main and events channels and probes it.
class TPreferredServerConnector : public IServerConnector
{
public:
    explicit TPreferredServerConnector(TDMClient &client) : m_client(client) {}
    int ConnectToServer() override;

private:
    TDMClient &m_client;
};
