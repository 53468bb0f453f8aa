// The host as the set-up module sees it in tests: one test client's channel and a log.
#pragma once

#include "plugins/setup/hcRvSetupController.h"
#include "testsupport/ServiceHarness.h"

#include <QStringList>

namespace kestrova::test {

class SetupHost : public Quorva::IHYHost, public Quorva::IHostLog, public Quorva::IROHostConnection
{
public:
    virtual ~SetupHost() = default;
    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<Quorva::IHYHost, Quorva::IHostLog, Quorva::IROHostConnection>(this, id, object);
    }
    int addRef() override { return 1; }
    int release() override { return 1; }
    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override
    {
        Log << QStringLiteral("%1 %2 %3 %4").arg(level).arg(sender, location, message);
    }
    std::shared_ptr<TROTransportChannel> GetChannel() override { return Client.Channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return Client.Message; }

    ServiceClient Client;
    QStringList Log;
};

} // namespace kestrova::test
