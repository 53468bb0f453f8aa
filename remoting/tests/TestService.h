// A small service, its proxies, and an event sink with writer and invoker, shaped as the
// contract's generated code will be; the server and event tests run against them.
#pragma once

#include "testsupport/Wait.h"
#include "remoting/ROErrors.h"
#include "remoting/ROEventReceiver.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROMessage.h"
#include "remoting/ROProxy.h"
#include "remoting/RORegistry.h"
#include "remoting/ROService.h"
#include "remoting/ROSessionManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <functional>
#include <thread>

namespace testsvc {

inline const QString kLibrary = QStringLiteral("Quorva_Data_Service");
inline const QString kService = QStringLiteral("TestService");
inline const QString kSink = QStringLiteral("TestEvent");
inline const QUuid kSinkId = QUuid::fromString(QStringLiteral("{5B0E0C0A-1111-4222-8333-944455556666}"));
inline const QUuid kProxyId = QUuid::fromString(QStringLiteral("{5B0E0C0A-1111-4222-8333-944455557777}"));

inline std::atomic<int> g_instances{0};
inline std::atomic<bool> g_stopped{false};

class TestServiceImpl : public TRORemotable
{
public:
    TestServiceImpl() { ++g_instances; }
};

class TestServiceDomainError : public EROException
{
public:
    explicit TestServiceDomainError(const QString &text) : EROException(QStringLiteral("ETestDomain"), text) {}
};

class TestService_Invoker : public TROInvoker
{
public:
    TestService_Invoker()
    {
        RegisterOperation(QStringLiteral("Echo"), [](TRORemotable &, TROMessage &m, TROResponseOptions &) {
            const QString text = m.ReadUtf8String(QStringLiteral("Text"));
            const qint32 number = m.ReadInteger(QStringLiteral("Number"));
            m.InitializeResponse(kLibrary, kService, QStringLiteral("Echo"));
            m.WriteUtf8String(QStringLiteral("Result"), text + QString::number(number));
            m.WriteInteger(QStringLiteral("Twice"), number * 2);
        });
        RegisterOperation(QStringLiteral("Sleep"), [](TRORemotable &, TROMessage &m, TROResponseOptions &) {
            const qint32 ms = m.ReadInteger(QStringLiteral("Milliseconds"));
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            m.InitializeResponse(kLibrary, kService, QStringLiteral("Sleep"));
            m.WriteBoolean(QStringLiteral("Result"), true);
        });
        RegisterOperation(QStringLiteral("Fail"), [](TRORemotable &, TROMessage &, TROResponseOptions &) {
            throw TestServiceDomainError(QStringLiteral("it went wrong"));
        });
        RegisterOperation(QStringLiteral("Crash"), [](TRORemotable &, TROMessage &, TROResponseOptions &) {
            throw std::runtime_error("plain failure");
        });
        RegisterOperation(QStringLiteral("Big"), [](TRORemotable &, TROMessage &m, TROResponseOptions &) {
            const qint32 size = m.ReadInteger(QStringLiteral("Size"));
            m.InitializeResponse(kLibrary, kService, QStringLiteral("Big"));
            TROBinaryMemoryStream data(QByteArray(size, 'z'));
            m.WriteBinary(QStringLiteral("Result"), &data);
        });
        RegisterOperation(QStringLiteral("LogOn"), [](TRORemotable &self, TROMessage &m, TROResponseOptions &) {
            TvoUser user;
            user.UserName = m.ReadAnsiString(QStringLiteral("UserName"));
            self.Session()->SetUser(user);
            m.InitializeResponse(kLibrary, kService, QStringLiteral("LogOn"));
        });
        RegisterOperation(QStringLiteral("WhoAmI"), [](TRORemotable &self, TROMessage &m, TROResponseOptions &) {
            const auto user = self.Session()->User();
            m.InitializeResponse(kLibrary, kService, QStringLiteral("WhoAmI"));
            m.WriteAnsiString(QStringLiteral("Result"), user ? user->UserName : QString());
        });
        RegisterOperation(QStringLiteral("Stop"), [](TRORemotable &, TROMessage &m, TROResponseOptions &options) {
            g_stopped = true;
            m.InitializeResponse(kLibrary, kService, QStringLiteral("Stop"));
            options.NoResponse = true;
        });
        RegisterOperation(QStringLiteral("Forget"), [](TRORemotable &, TROMessage &, TROResponseOptions &) {
            // Writes no response: the framework must refuse to echo the request.
        });
    }
};

inline void RegisterTestService()
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        kService, [] { return std::make_unique<TestServiceImpl>(); }, std::make_shared<TestService_Invoker>()));
}

class TestService_Proxy : public TROProxy
{
public:
    using TROProxy::TROProxy;
    QString GetInterfaceName() const override { return kService; }

    QString Echo(const QString &text, qint32 number, qint32 *twice = nullptr)
    {
        struct End
        {
            TestService_Proxy *p;
            ~End() { p->EndCall(); }
        } end{this};
        TROMessage &m = BeginRequest(kLibrary, QStringLiteral("Echo"));
        m.WriteUtf8String(QStringLiteral("Text"), text);
        m.WriteInteger(QStringLiteral("Number"), number);
        Dispatch();
        const QString result = m.ReadUtf8String(QStringLiteral("Result"));
        if (twice)
            *twice = m.ReadInteger(QStringLiteral("Twice"));
        return result;
    }

    void Call(const QString &operation, const std::function<void(TROMessage &)> &write = {},
              const std::function<void(TROMessage &)> &read = {})
    {
        struct End
        {
            TestService_Proxy *p;
            ~End() { p->EndCall(); }
        } end{this};
        TROMessage &m = BeginRequest(kLibrary, operation);
        if (write)
            write(m);
        Dispatch();
        if (read)
            read(m);
    }
};

class TestService_AsyncProxy : public TROAsyncProxy
{
public:
    using TROAsyncProxy::TROAsyncProxy;
    QString GetInterfaceName() const override { return kService; }

    void Invoke_Sleep(qint32 ms)
    {
        AssertProxyNotBusy(QStringLiteral("Sleep"));
        TROMessage &m = BeginRequest(kLibrary, QStringLiteral("Sleep"));
        m.WriteInteger(QStringLiteral("Milliseconds"), ms);
        DispatchAsyncRequest(QStringLiteral("Sleep"), true);
    }
    bool Retrieve_Sleep()
    {
        RetrieveAsyncResponse(QStringLiteral("Sleep"));
        return GetMessage()->ReadBoolean(QStringLiteral("Result"));
    }
};

// The receiving interface of the test sink, and its writer and invoker.
class ITestEvent
{
public:
    virtual ~ITestEvent() = default;
    virtual void OnPing(qint32 n, const QString &text) = 0;
};

class TestEvent_Writer : public TROEventWriter
{
public:
    using TROEventWriter::TROEventWriter;
    void OnPing(const QUuid &sender, qint32 n, const QString &text)
    {
        TROMessage m;
        m.InitializeEvent(kLibrary, kSink, QStringLiteral("OnPing"));
        m.WriteInteger(QStringLiteral("N"), n);
        m.WriteAnsiString(QStringLiteral("Text"), text);
        m.Finalize();
        StoreEvent(sender, m);
    }
};

class TestEvent_Invoker : public TROEventInvoker
{
public:
    TestEvent_Invoker()
    {
        RegisterEvent(QStringLiteral("OnPing"), [](TROEventReceiver &, TROMessage &m, IROInterface &target) {
            const qint32 n = m.ReadInteger(QStringLiteral("N"));
            const QString text = m.ReadAnsiString(QStringLiteral("Text"));
            void *object = nullptr;
            if (!target.queryInterface(kSinkId, &object))
                throw EROInterfaceCastError(QStringLiteral("ITestEvent"));
            static_cast<ITestEvent *>(object)->OnPing(n, text);
        });
    }
};

inline void RegisterTestEvents()
{
    RegisterEventWriterClass(kSinkId, [](TROInMemoryEventRepository &r) { return std::make_unique<TestEvent_Writer>(r); });
    RegisterEventInvokerClass(kSink, [] { return std::make_unique<TestEvent_Invoker>(); });
}

class PingTarget : public IROInterface, public ITestEvent
{
public:
    QList<qint32> Received;
    QStringList Texts;
    int CallsInProgressAtDelivery = 0;
    bool queryInterface(const QUuid &id, void **object) override
    {
        if (id != kSinkId)
            return false;
        *object = static_cast<ITestEvent *>(this);
        return true;
    }
    void OnPing(qint32 n, const QString &text) override
    {
        Received.append(n);
        Texts.append(text);
        CallsInProgressAtDelivery += TROHTTPChannel::SynchronousCallsInProgress();
    }
};

inline bool WaitFor(const std::function<bool()> &done, int ms = 5000)
{
    return kestrova::test::WaitFor(done, std::chrono::milliseconds(ms));
}

} // namespace testsvc
