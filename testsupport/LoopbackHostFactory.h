// The real host components for a test of a whole client start: discovery pointed at a loopback
// port and a session of its own; the message loop shows the window, lets the test look at it
// and closes it.
#pragma once

#include "client/HostComponentFactory.h"
#include "client/uDMClient.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufMain.h"
#include "remoting/ROHTTPChannel.h"

#include <QHostAddress>
#include <QUuid>

#include <functional>
#include <memory>

namespace kestrova::test {

inline void FreshSession(TDMClient &client)
{
    // Each test's client is a program of its own to the server.
    const QUuid session = QUuid::createUuid();
    client.ROHTTP()->SetSessionID(session);
    client.ROHTTPEvents()->SetSessionID(session);
    client.ROProbeHTP()->SetSessionID(session);
}

class EndToEndFactory : public THostComponentFactory
{
public:
    quint16 discoveryPort = 0;
    std::function<void(TfMain &, TDMClient &)> inLoop;
    bool loopRan = false;

    void InstallComponents(TDMClient &client) override
    {
        FreshSession(client);
        auto connector = std::make_unique<TServerConnector>(client);
        connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        client.SetServerConnector(std::move(connector));
        client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
        m_client = &client;
    }
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        loopRan = true;
        window.Widget()->show();
        if (inLoop)
            inLoop(*qobject_cast<TfMain *>(window.Widget()), *m_client);
        window.Widget()->close();
    }

private:
    TDMClient *m_client = nullptr;
};

} // namespace kestrova::test
