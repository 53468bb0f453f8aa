// A real server against clients that mean harm: tiny requests that claim huge contents, and
// connections that hold on without finishing their requests.
#include "HostileMessages.h"
#include "ServerFixture.h"

#include <QElapsedTimer>
#include <QFile>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <thread>

namespace {

using namespace testsvc;

// A figure of /proc/self/status in kilobytes ("VmRSS", "VmHWM").
std::size_t StatusKb(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toULongLong();
    return 0;
}

// Restarts the peak (VmHWM) at the present size.
void ResetPeakRss()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

class HostileClients : public LoopbackServer
{
};

// A TCP connection to the server from a loopback address of the test's choosing (all of
// 127.0.0.0/8 is loopback), so a test can play many clients; -1 on failure.
int ConnectFrom(const char *address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void Send(int fd, const std::string &bytes)
{
    (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// True when the server has closed (or answered on) the connection.
bool HeardFrom(int fd, int waitMs = 0)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, waitMs) > 0;
}

std::string ReadAnswer(int fd, int waitMs)
{
    std::string answer;
    char buffer[512];
    while (HeardFrom(fd, waitMs)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, std::size_t(n));
        if (answer.find("\r\n") != std::string::npos)
            break;
    }
    return answer;
}

// Raises the open-file limit of this process (client and server ends both count); false when
// the hard limit is too low.
bool AllowOpenFiles(rlim_t wanted)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur >= wanted)
        return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted)
        return false;
    limit.rlim_cur = wanted;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

struct Sockets
{
    std::vector<int> Fds;
    ~Sockets()
    {
        for (int fd : Fds)
            ::close(fd);
    }
};

const std::string kSlowHead = "POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: appl";
const std::string kSlowBody = "POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100000\r\n\r\nKQM1";

TEST_F(HostileClients, TinyRequestsWithHostileCountsLeaveTheServersMemoryBounded)
{
    // 64 KB on the wire that unpack to 64 MiB of one-byte elements: before the value budget
    // each such request cost the server about nine gigabytes.
    const QByteArray bomb = hostile::NilArray(quint32(RemotingLimits::kMaxRequestSize - 100), true);
    ASSERT_LT(bomb.size(), 80 * 1024);
    // An uncompressed 64 KB request whose count claims far more elements than it holds.
    QByteArray claim = hostile::NilArray(64 * 1024, false);
    const quint32 huge = 0x7fffffff;
    claim.replace(claim.size() - 64 * 1024 - 4, 4, reinterpret_cast<const char *>(&huge), 4);

    const std::size_t before = StatusKb("VmRSS");
    ResetPeakRss();
    std::vector<std::thread> clients;
    std::atomic<int> refused{0};
    for (int i = 0; i < 4; ++i)
        clients.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", s_server->Port());
            client.set_read_timeout(60, 0);
            const QByteArray &body = i == 0 ? claim : bomb;
            const auto res = client.Post("/Bin", body.constData(), std::size_t(body.size()), "application/octet-stream");
            if (!res || res->status != 200)
                return;
            TROMessage answer;
            answer.LoadFromBytes(QByteArray::fromStdString(res->body), RemotingLimits::kMaxReplySize);
            try {
                answer.RaiseIfError();
            } catch (const EROServerError &e) {
                if (e.ClassName() == QStringLiteral("EROMessageError"))
                    ++refused;
            }
        });
    for (auto &client : clients)
        client.join();
    const std::size_t growthMb = (StatusKb("VmHWM") - std::min(before, StatusKb("VmHWM"))) / 1024;
    std::cout << "peak memory growth while four hostile requests were read: " << growthMb << " MB\n";
    EXPECT_EQ(refused, 4);
    EXPECT_LT(growthMb, 400u);

    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    EXPECT_EQ(proxy.Echo(QStringLiteral("after"), 1), QStringLiteral("after1"));
}

TEST_F(HostileClients, TwoThousandSlowConnectionsLeaveAFreshProbeAnsweredWithinASecond)
{
    constexpr int kSlow = 2000;
    constexpr int kPerAddress = 100;
    ASSERT_TRUE(AllowOpenFiles(2 * kSlow + 1024)) << "the open-file limit is too low for this test";
    Sockets slow;
    for (int i = 0; i < kSlow; ++i) {
        const std::string from = "127.0.0." + std::to_string(2 + i / kPerAddress);
        const int fd = ConnectFrom(from.c_str(), s_server->Port());
        ASSERT_GE(fd, 0) << "connection " << i;
        slow.Fds.push_back(fd);
        // Half stop inside their headers, half inside their bodies.
        Send(fd, i % 2 ? kSlowHead : kSlowBody);
    }
    QThread::msleep(200);

    auto channel = Channel();
    channel->SetTimeout(std::chrono::seconds(5));
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(proxy.Echo(QStringLiteral("probe"), 1), QStringLiteral("probe1"));
    const qint64 latency = timer.elapsed();
    std::cout << "probe answered in " << latency << " ms with " << kSlow << " slow connections held\n";
    EXPECT_LT(latency, 1000);
    // They are held, not dropped to make room.
    int closed = 0;
    for (int fd : slow.Fds)
        closed += HeardFrom(fd) ? 1 : 0;
    EXPECT_EQ(closed, 0);
}

TEST_F(HostileClients, ConnectionsFromOneAddressAreBoundedAndOtherAddressesGoOn)
{
    const int extra = 8;
    const int total = int(RemotingLimits::kMaxConnectionsPerAddress) + extra;
    ASSERT_TRUE(AllowOpenFiles(2 * total + 1024));
    Sockets held;
    for (int i = 0; i < total; ++i) {
        const int fd = ConnectFrom("127.0.0.99", s_server->Port());
        ASSERT_GE(fd, 0);
        held.Fds.push_back(fd);
    }
    QThread::msleep(300);
    int closed = 0;
    for (int fd : held.Fds)
        closed += HeardFrom(fd) ? 1 : 0;
    EXPECT_EQ(closed, extra);
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    EXPECT_EQ(proxy.Echo(QStringLiteral("other"), 2), QStringLiteral("other2"));
}

TEST(SlowRequests, HeadersAndBodiesAreCutOffAfterTheirTimeEvenWhileBytesKeepComing)
{
    RegisterTestService();
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.SetRequestTimeouts(std::chrono::milliseconds(800), std::chrono::milliseconds(800));
    server.SetActive(true);
    Sockets both;
    const std::string starts[] = {"POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\n",
                                  "POST /Bin HTTP/1.1\r\nContent-Length: 100000\r\n\r\n"};
    for (const std::string &start : starts) {
        both.Fds.push_back(ConnectFrom("127.0.0.1", server.Port()));
        ASSERT_GE(both.Fds.back(), 0);
        Send(both.Fds.back(), start);
    }
    QElapsedTimer timer;
    timer.start();
    std::vector<bool> cut(2, false);
    while (timer.elapsed() < 4000 && !(cut[0] && cut[1])) {
        for (std::size_t i = 0; i < 2; ++i) {
            if (cut[i])
                continue;
            // One byte every 100 ms: each read would be in time; the whole is not.
            Send(both.Fds[i], i == 0 ? "X-Slow: 1\r\n" : "a");
            if (HeardFrom(both.Fds[i], 100)) {
                const std::string answer = ReadAnswer(both.Fds[i], 100);
                EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 408") << i << ": " << answer;
                cut[i] = true;
            }
        }
    }
    EXPECT_TRUE(cut[0]) << "the head was waited for";
    EXPECT_TRUE(cut[1]) << "the body was waited for";
    EXPECT_LT(timer.elapsed(), 2500);
}

TEST_F(HostileClients, TheListenBacklogFitsThePool)
{
    // The listening socket is found among this process's files by its port.
    int backlog = -1;
    for (int fd = 0; fd < 65536 && backlog < 0; ++fd) {
        int listening = 0;
        socklen_t size = sizeof listening;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            ntohs(address.sin_port) != s_server->Port())
            continue;
        tcp_info info{};
        socklen_t infoSize = sizeof info;
        // For a listening socket the kernel reports its backlog here.
        if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &infoSize) == 0)
            backlog = int(info.tcpi_sacked);
    }
    QFile somaxconn(QStringLiteral("/proc/sys/net/core/somaxconn"));
    ASSERT_TRUE(somaxconn.open(QIODevice::ReadOnly));
    const int cap = somaxconn.readAll().trimmed().toInt();
    EXPECT_EQ(backlog, std::min(RemotingLimits::kListenBacklog, cap));
    EXPECT_GE(backlog, RemotingLimits::kDefaultPoolSize);
}

TEST(SessionFlood, OverHttpTenThousandOneHundredRandomSessionIdsLeaveANewLogOnWorking)
{
    RegisterTestService();
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.SetSessionManager(&sessions);
    server.SetEventRepository(&repository);
    server.SetActive(true);

    TROMessage probe;
    probe.InitializeRequest(kLibrary, kService, QStringLiteral("WhoAmI"));
    std::string bytes = probe.SaveToBytes().toStdString();
    httplib::Client client("127.0.0.1", server.Port());
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    int served = 0;
    for (int i = 0; i < 10'100; ++i) {
        const QByteArray id = QUuid::createUuid().toRfc4122();
        bytes.replace(7, 16, id.constData(), 16); // the session GUID of the header
        const auto res = client.Post("/Bin", bytes, "application/octet-stream");
        ASSERT_TRUE(res) << "probe " << i;
        TROMessage answer;
        answer.LoadFromBytes(QByteArray::fromStdString(res->body), RemotingLimits::kMaxReplySize);
        served += answer.Kind() == ROMessageKind::Response ? 1 : 0;
    }
    EXPECT_EQ(served, 10'100);

    const QUuid newcomer = QUuid::createUuid();
    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/bin").arg(server.Port()));
    channel->SetSessionID(newcomer);
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    proxy.Call(QStringLiteral("LogOn"), [](TROMessage &m) { m.WriteAnsiString(QStringLiteral("UserName"), QStringLiteral("bert")); });
    EXPECT_EQ(sessions.Find(newcomer)->User()->UserName, QStringLiteral("bert"));
}

} // namespace
