// Calls per second of a small call over loopback through our whole stack (proxy, binary
// message, TROHTTPChannel, cpp-httplib server, dispatcher, invoker) with 1, 8 and 64 clients,
// each client on its own thread with its own channel, as separate client programs would be.
// Beside each figure, in the same run on the same server, a plain HTTP client (cpp-httplib,
// kept alive) sends the same request bytes: the ratio is the channel's and proxy's own cost.
//   remoting_bench [seconds per round, default 3] [--only channel|plain] [clients ...]
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
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <stdexcept>
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
    // Unmeasured first calls that failed and went again.
    long long Retried = 0;
    double Seconds = 0;
};

constexpr int kWarmUpAttempts = 5;

// The first failure of a run goes to standard error, so a count of errors has a cause beside it.
void ReportError(const std::string &text)
{
    static std::mutex mutex;
    static bool reported = false;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!reported)
        std::fprintf(stderr, "first error: %s\n", text.c_str());
    reported = true;
}

// One client's call: true when the answer was right; it may throw.
using Call = std::function<bool(int client, qint32 i)>;

// Runs clients threads, each with the call make() gives it, until the time is up. Each client
// first makes one call off the clock, so every connection is open and kept alive before the clock
// starts (the server's listen queue is short; 64 connections at once wait for one another).
Round Measure(int clients, int seconds, const std::function<Call()> &make)
{
    std::atomic<long long> calls{0};
    std::atomic<long long> errors{0};
    std::atomic<long long> retried{0};
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back(QThread::create([&, c] {
            const Call call = make();
            auto once = [&](qint32 i) {
                try {
                    if (call(c, i))
                        return true;
                    ReportError("a wrong answer");
                } catch (const std::exception &e) {
                    ReportError(e.what());
                }
                return false;
            };
            // A connection the server dropped in the connect storm opens again here, off the clock.
            for (int attempt = 0; attempt < kWarmUpAttempts && !once(-1); ++attempt)
                ++retried;
            ++ready;
            while (!go)
                std::this_thread::yield();
            for (qint32 i = 0; !stop; ++i) {
                if (once(i))
                    ++calls;
                else
                    ++errors;
            }
        }));
        threads.back()->start();
    }
    while (ready < clients)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QElapsedTimer timer;
    timer.start();
    go = true;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    for (auto &t : threads)
        t->wait();
    return {calls.load(), errors.load(), retried.load(), elapsed};
}

Round RunChannel(const QString &url, int clients, int seconds)
{
    return Measure(clients, seconds, [&url]() -> Call {
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(url);
        channel->SetSessionID(QUuid::createUuid());
        auto proxy = std::make_shared<BenchService_Proxy>(std::make_shared<TROMessage>(), channel);
        return [proxy](int client, qint32 i) { return proxy->Add(i, client) == i + client; };
    });
}

Round RunPlain(int port, const std::string &body, int clients, int seconds)
{
    return Measure(clients, seconds, [port, &body]() -> Call {
        auto client = std::make_shared<httplib::Client>("127.0.0.1", port);
        client->set_keep_alive(true);
        client->set_tcp_nodelay(true);
        client->set_read_timeout(60, 0);
        return [client, &body](int, qint32) {
            const auto res = client->Post("/Bin", body, "application/octet-stream");
            if (!res)
                throw std::runtime_error("plain client: " + httplib::to_string(res.error()));
            return res->status == 200 && res->body.size() > 23;
        };
    });
}

void Usage()
{
    std::fprintf(stderr, "usage: remoting_bench [seconds per round] [--only channel|plain] [clients ...]\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 3;
    bool channelRounds = true;
    bool plainRounds = true;
    std::vector<int> levels;
    bool secondsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--only" && i + 1 < argc) {
            const std::string which = argv[++i];
            channelRounds = which == "channel";
            plainRounds = which == "plain";
            if (!channelRounds && !plainRounds) {
                Usage();
                return 2;
            }
        } else if (!arg.empty() && std::isdigit(static_cast<unsigned char>(arg[0]))) {
            if (!secondsGiven) {
                seconds = std::max(1, std::atoi(arg.c_str()));
                secondsGiven = true;
            } else {
                levels.push_back(std::max(1, std::atoi(arg.c_str())));
            }
        } else {
            Usage();
            return 2;
        }
    }
    if (levels.empty())
        levels = {1, 8, 64};

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

    TROMessage request;
    request.SetClientID(QUuid::createUuid());
    request.InitializeRequest(kLibrary, kService, QStringLiteral("Add"));
    request.WriteInteger(QStringLiteral("A"), 1);
    request.WriteInteger(QStringLiteral("B"), 2);
    const QByteArray bytes = request.SaveToBytes();
    const std::string body(bytes.constData(), std::size_t(bytes.size()));

    std::printf("remoting loopback benchmark: small call (two Integers in, one out), %d s per round, "
                "server pool %d threads, %d cores\n",
                seconds, RemotingLimits::kDefaultPoolSize, QThread::idealThreadCount());
    std::printf("channel: proxy, message and TROHTTPChannel; plain: the same request bytes from a "
                "kept-alive cpp-httplib client\n"
                "each client's first call is off the clock; \"retried\" counts first calls that failed and "
                "went again\n");
    std::printf("%8s %12s %12s %7s %16s %16s\n", "clients", "channel/s", "plain/s", "ratio", "errors ch/plain",
                "retried ch/plain");
    int status = 0;
    // Each level runs both clients back to back, so a change in the machine's load hits both.
    for (int clients : levels) {
        Round channel;
        Round plain;
        if (channelRounds)
            channel = RunChannel(url, clients, seconds);
        if (plainRounds)
            plain = RunPlain(server.Port(), body, clients, seconds);
        const double channelRate = channelRounds ? double(channel.Calls) / channel.Seconds : 0;
        const double plainRate = plainRounds ? double(plain.Calls) / plain.Seconds : 0;
        const std::string errors = std::to_string(channel.Errors) + "/" + std::to_string(plain.Errors);
        const std::string retried = std::to_string(channel.Retried) + "/" + std::to_string(plain.Retried);
        std::printf("%8d %12.0f %12.0f %7.2f %16s %16s\n", clients, channelRate, plainRate,
                    plainRate > 0 ? channelRate / plainRate : 0.0, errors.c_str(), retried.c_str());
        std::fflush(stdout);
        if (channel.Errors + plain.Errors != 0)
            status = 1;
    }
    server.SetActive(false);
    return status;
}
