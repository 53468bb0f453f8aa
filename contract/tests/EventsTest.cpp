#include "Quorva_Data_Service_Intf.h"

#include "remoting/ROErrors.h"
#include "remoting/ROEventReceiver.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"
#include "remoting/ROSessionManager.h"

#include <gtest/gtest.h>

namespace {

class Target : public IROInterface, public IAutoScheduleEvent, public IClientPopupEvent
{
public:
    bool queryInterface(const QUuid &id, void **object) override
    {
        if (id == IAutoScheduleEvent::IID) {
            *object = static_cast<IAutoScheduleEvent *>(this);
            return true;
        }
        if (id == IClientPopupEvent::IID) {
            *object = static_cast<IClientPopupEvent *>(this);
            return true;
        }
        return false;
    }
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override { calls << QStringLiteral("progress %1/%2").arg(APosition).arg(AMax); }
    void OnAutoScheduleBegin() override { calls << QStringLiteral("begin"); }
    void OnAutoScheduleEnd() override { calls << QStringLiteral("end"); }
    void OnNewPopup(const QString &ToUser, const QString &Title, const QString &Text, qint32 EventType) override
    {
        calls << QStringList{ToUser, Title, Text, QString::number(EventType)}.join(QLatin1Char('|'));
    }
    QStringList calls;
};

class Deaf : public IROInterface
{
public:
    bool queryInterface(const QUuid &, void **) override { return false; }
};

// Events reach sessions a user has logged on in.
void logOn(TROInMemorySessionManager &sessions, const QUuid &session)
{
    TvoUser user;
    user.UserName = QStringLiteral("anna");
    sessions.Touch(session)->SetUser(user);
}

// Decodes every event waiting for the session the way a client's receiver does.
void deliver(TROInMemoryEventRepository &repository, const QUuid &session, IROInterface &target)
{
    TROEventReceiver receiver;
    for (const QByteArray &data : repository.GetEventData(session)) {
        TROMessage event;
        event.LoadFromBytes(data, 1 << 20);
        ASSERT_EQ(event.Kind(), ROMessageKind::Event);
        const auto invoker = FindEventInvokerClass(event.InterfaceName())();
        invoker->Invoke(receiver, event, target);
    }
}

TEST(ContractEvents, AutoScheduleEventsReachEverySessionInOrder)
{
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    const QUuid starter = QUuid::createUuid();
    const QUuid watcher = QUuid::createUuid();
    logOn(sessions, starter);
    logOn(sessions, watcher);

    const QUuid emptySender;
    {
        auto writer = repository.GetEventWriter(IAutoScheduleEvent_Writer::IID);
        auto *typed = dynamic_cast<IAutoScheduleEvent_Writer *>(writer.get());
        ASSERT_TRUE(typed);
        typed->OnAutoScheduleBegin(emptySender);
        typed->OnAutoScheduleProgress(emptySender, 3, 10);
        typed->OnAutoScheduleEnd(emptySender);
    }
    for (const QUuid &session : {starter, watcher}) {
        Target target;
        deliver(repository, session, target);
        EXPECT_EQ(target.calls, (QStringList{QStringLiteral("begin"), QStringLiteral("progress 3/10"), QStringLiteral("end")}));
    }
}

TEST(ContractEvents, PopupArrivesWithItsValuesInOrder)
{
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    const QUuid session = QUuid::createUuid();
    logOn(sessions, session);
    auto writer = repository.GetEventWriter(IClientPopupEvent_Writer::IID);
    dynamic_cast<TClientPopupEvent_Writer &>(*writer).OnNewPopup(QUuid(), QStringLiteral("anna"), QStringLiteral("Title"),
                                                                 QStringLiteral("Text"), 2);
    Target target;
    deliver(repository, session, target);
    EXPECT_EQ(target.calls, QStringList{QStringLiteral("anna|Title|Text|2")});
}

TEST(ContractEvents, ATargetWithoutTheReceivingInterfaceFailsInTheInvoker)
{
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    const QUuid session = QUuid::createUuid();
    logOn(sessions, session);
    dynamic_cast<TAutoScheduleEvent_Writer &>(*repository.GetEventWriter(IAutoScheduleEvent_Writer::IID)).OnAutoScheduleEnd(QUuid());
    Deaf deaf;
    EXPECT_THROW(deliver(repository, session, deaf), EROInterfaceCastError);
}

} // namespace
