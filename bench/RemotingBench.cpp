// Calls per second of a small call over loopback through our whole stack (proxy, binary
// message, Qt Network channel, cpp-httplib server, dispatcher, invoker) with 1, 8 and 64 clients,
// each client on its own thread with its own channel, as separate client programs would be.
// A second table sends the same request bytes with a plain HTTP client (cpp-httplib), so the
// server's share (HTTP server, message, dispatch) shows apart from the Qt Network client's.
//   remoting_bench [seconds per round, default 3]
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "remoting/ROProxy.h"
#include "remoting/RORegistry.h"
#include "remoting/ROServer.h"
#include "remoting/ROService.h"
#include "remoting/ROSessionManager.h"
#include "remoting/ROEventRepository.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QString kLibrary = QStringLiteral("Quorva_Data_Service");
const QString kService = QStringLiteral("BenchService");

class BenchService : public TRORemotable
{
};

class BenchService_Invoker : public TROInvoker
{
public:
    BenchService_Invoker()
    {
        RegisterOperation(QStringLiteral("Add"), [](TRORemotable &, TROMessage &m, TROResponseOptions &) {
            const qint32 a = m.ReadInteger(QStringLiteral("A"));
            const qint32 b = m.ReadInteger(QStringLiteral("B"));
            m.InitializeResponse(kLibrary, kService, QStringLiteral("Add"));
            m.WriteInteger(QStringLiteral("Result"), a + b);
        });
    }
};

class BenchService_Proxy : public TROProxy
{
public:
    using TROProxy::TROProxy;
    QString GetInterfaceName() const override { return kService; }
    qint32 Add(qint32 a, qint32 b)
    {
        TROMessage &m = BeginRequest(kLibrary, QStringLiteral("Add"));
        m.WriteInteger(QStringLiteral("A"), a);
        m.WriteInteger(QStringLiteral("B"), b);
        Dispatch();
        const qint32 result = m.ReadInteger(QStringLiteral("Result"));
        EndCall();
        return result;
    }
};

struct Round
{
    long long Calls = 0;
    long long Errors = 0;
    double Seconds = 0;
};

Round Run(const QString &url, int clients, int seconds)
{
    std::atomic<long long> calls{0};
    std::atomic<long long> errors{0};
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back(QThread::create([&, c] {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(url);
            channel->SetSessionID(QUuid::createUuid());
            BenchService_Proxy proxy(std::make_shared<TROMessage>(), channel);
            for (qint32 i = 0; !stop; ++i) {
                try {
                    if (proxy.Add(i, c) == i + c)
                        ++calls;
                    else
                        ++errors;
                } catch (const std::exception &) {
                    ++errors;
                }
            }
        }));
    }
    QElapsedTimer timer;
    timer.start();
    for (auto &t : threads)
        t->start();
    QThread::sleep(static_cast<unsigned long>(seconds));
    stop = true;
    for (auto &t : threads)
        t->wait();
    return {calls.load(), errors.load(), double(timer.nsecsElapsed()) / 1e9};
}

Round RunRaw(int port, const std::string &body, int clients, int seconds)
{
    std::atomic<long long> calls{0};
    std::atomic<long long> errors{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    QElapsedTimer timer;
    timer.start();
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            while (!stop) {
                const auto res = client.Post("/Bin", body, "application/octet-stream");
                if (res && res->status == 200 && res->body.size() > 23)
                    ++calls;
                else
                    ++errors;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto &t : threads)
        t.join();
    return {calls.load(), errors.load(), double(timer.nsecsElapsed()) / 1e9};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    RegisterClassFactory(std::make_shared<TROClassFactory>(
        kService, [] { return std::make_unique<BenchService>(); }, std::make_shared<BenchService_Invoker>()));
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.AddDispatcher(QStringLiteral("Bin"));
    server.SetSessionManager(&sessions);
    server.SetEventRepository(&repository);
    server.SetActive(true);
    const QString url = QStringLiteral("http://127.0.0.1:%1/Bin").arg(server.Port());

    std::printf("remoting loopback benchmark: small call (two Integers in, one out), %d s per round, "
                "server pool %d threads, %d cores\n",
                seconds, RemotingLimits::kDefaultPoolSize, QThread::idealThreadCount());
    std::printf("%8s %12s %12s %8s\n", "clients", "calls", "calls/s", "errors");
    int status = 0;
    for (int clients : {1, 8, 64}) {
        const Round r = Run(url, clients, seconds);
        std::printf("%8d %12lld %12.0f %8lld\n", clients, r.Calls, double(r.Calls) / r.Seconds, r.Errors);
        std::fflush(stdout);
        if (r.Errors != 0)
            status = 1;
    }

    TROMessage request;
    request.SetClientID(QUuid::createUuid());
    request.InitializeRequest(kLibrary, kService, QStringLiteral("Add"));
    request.WriteInteger(QStringLiteral("A"), 1);
    request.WriteInteger(QStringLiteral("B"), 2);
    const QByteArray bytes = request.SaveToBytes();
    std::printf("same request from a plain HTTP client (server side alone)\n");
    std::printf("%8s %12s %12s %8s\n", "clients", "calls", "calls/s", "errors");
    for (int clients : {1, 8, 64}) {
        const Round r = RunRaw(server.Port(), std::string(bytes.constData(), std::size_t(bytes.size())), clients, seconds);
        std::printf("%8d %12lld %12.0f %8lld\n", clients, r.Calls, double(r.Calls) / r.Seconds, r.Errors);
        std::fflush(stdout);
        if (r.Errors != 0)
            status = 1;
    }
    server.SetActive(false);
    return status;
}
