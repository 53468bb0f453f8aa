#include "TestService.h"

#include "TestRecords.h"

#include <gtest/gtest.h>

namespace {

using namespace testsvc;

TEST(Registry, ARemoteServiceMakesTheProxyRegisteredForTheInterface)
{
    RegisterProxyClass(kProxyId, [](std::shared_ptr<TROMessage> m, std::shared_ptr<TROTransportChannel> c) {
        return std::make_unique<TestService_Proxy>(std::move(m), std::move(c));
    });
    auto message = std::make_shared<TROMessage>();
    auto channel = std::make_shared<TROHTTPChannel>();
    TRORemoteService remote(message, channel);
    const std::unique_ptr<TROProxy> proxy = remote.CreateProxy(kProxyId);
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->GetInterfaceName(), kService);
    EXPECT_EQ(proxy->GetMessage(), message);
    EXPECT_EQ(proxy->GetTransportChannel(), channel);
    UnregisterProxyClass(kProxyId);
    EXPECT_THROW(remote.CreateProxy(kProxyId), EROInterfaceCastError);
}

TEST(Registry, WritersAreFoundByInterfaceGuidAndInvokersBySinkName)
{
    RegisterTestEvents();
    EXPECT_TRUE(bool(FindEventWriterClass(kSinkId)));
    EXPECT_TRUE(bool(FindEventInvokerClass(kSink)));
    EXPECT_FALSE(bool(FindEventInvokerClass(QStringLiteral("testevent"))));
    UnregisterEventWriterClass(kSinkId);
    UnregisterEventInvokerClass(kSink);
    EXPECT_FALSE(bool(FindEventWriterClass(kSinkId)));
    EXPECT_FALSE(bool(FindEventInvokerClass(kSink)));
}

TEST(Registry, ClassFactoriesAreFoundByServiceNameUntilRemoved)
{
    RegisterTestService();
    const auto factory = FindClassFactory(kService);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->ServiceName(), kService);
    EXPECT_TRUE(factory->Invoker().HasOperation(QStringLiteral("Echo")));
    EXPECT_FALSE(factory->Invoker().HasOperation(QStringLiteral("echo")));
    const int before = g_instances;
    EXPECT_NE(factory->CreateInstance(), nullptr);
    EXPECT_EQ(g_instances, before + 1);
    UnregisterClassFactory(kService);
    EXPECT_EQ(FindClassFactory(kService), nullptr);
}

TEST(Registry, AnInvokerRefusesAnEventItDoesNotKnow)
{
    TestEvent_Invoker invoker;
    TROEventReceiver receiver;
    PingTarget target;
    TROMessage event;
    event.InitializeEvent(kLibrary, kSink, QStringLiteral("OnPong"));
    EXPECT_THROW(invoker.Invoke(receiver, event, target), EROUnknownOperation);
    event.InitializeEvent(kLibrary, kSink, QStringLiteral("OnPing"));
    event.WriteInteger(QStringLiteral("N"), 3);
    event.WriteAnsiString(QStringLiteral("Text"), QStringLiteral("t"));
    invoker.Invoke(receiver, event, target);
    EXPECT_EQ(target.Received, QList<qint32>{3});
}

class Counted : public TestUser
{
public:
    explicit Counted(int &alive) : m_alive(alive) { ++m_alive; }
    ~Counted() override { --m_alive; }

private:
    int &m_alive;
};

TEST(ObjectDisposer, FreesWhatItWasGivenAndAcceptsNothing)
{
    int alive = 0;
    {
        TROObjectDisposer disposer;
        disposer.Add(std::make_unique<Counted>(alive));
        disposer.Add(std::unique_ptr<TROComplexType>());
        disposer.Add(std::make_unique<TROBinaryMemoryStream>(QByteArray("x")));
        EXPECT_EQ(disposer.Count(), 2u);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(IndexErrors, NameTheIndexAndTheirKind)
{
    try {
        throw EROIndexError::ArrayIndexOutOfBounds(-1);
    } catch (const EROIndexError &e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("EROArrayIndexOutOfBounds"));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("-1")));
    }
    EXPECT_EQ(EROIndexError::InvalidIndex(7).ClassName(), QStringLiteral("EROInvalidIndex"));
}

TEST(BinaryStream, AssignCopiesTheBytes)
{
    TROBinaryMemoryStream source(QByteArray("abc"));
    TROBinaryMemoryStream copy;
    copy.Assign(source);
    copy.SetBytes(copy.Bytes() + "d");
    EXPECT_EQ(source.Bytes(), QByteArray("abc"));
    EXPECT_EQ(copy.Bytes(), QByteArray("abcd"));
}

} // namespace
