// A real server against clients that mean harm: tiny requests that claim huge contents, and
// connections that hold on without finishing their requests.
#include "HostileMessages.h"
#include "ServerFixture.h"

#include <QFile>

#include <httplib.h>

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

} // namespace
