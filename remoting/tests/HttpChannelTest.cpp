// The client channel against a scripted server that answers with exact bytes: every HTTP
// framing a server may use, malformed and oversize replies, a kept-alive connection the
// server has dropped, and completions that call again at once.
#include "TestService.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testsvc;
using namespace std::chrono_literals;
using kestrova::test::WaitFor;

// What the server does after reading one request: sends the pieces with a pause before each
// but the first, then closes the connection or waits for the next request on it.
struct Answer
{
    std::vector<std::string> Pieces;
    std::chrono::milliseconds Pause{0};
    bool Close = false;
};

// Serves one script of answers per connection, in order, on its own thread.
class ScriptedServer
{
public:
    explicit ScriptedServer(std::vector<std::vector<Answer>> connections) : m_connections(std::move(connections))
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 || listen(m_listener, 8) != 0
            || getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            throw std::runtime_error("cannot listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedServer()
    {
        m_stop = true;
        m_thread.join();
        close(m_listener);
    }

    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/bin").arg(m_port); }
    int Requests() const { return m_requests; }

private:
    bool Readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        while (!m_stop)
            if (poll(&p, 1, 20) > 0)
                return true;
        return false;
    }
    // Reads one request's head and body; false when the client closed.
    bool ReadRequest(int fd)
    {
        std::string in;
        char buffer[4096];
        std::size_t need = std::string::npos;
        while (need == std::string::npos || in.size() < need) {
            if (!Readable(fd))
                return false;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            in.append(buffer, std::size_t(n));
            const std::size_t end = in.find("\r\n\r\n");
            const std::size_t length = in.find("Content-Length: ");
            if (need == std::string::npos && end != std::string::npos && length != std::string::npos)
                need = end + 4 + std::stoul(in.substr(length + 16));
        }
        ++m_requests;
        return true;
    }
    void Serve()
    {
        for (const std::vector<Answer> &script : m_connections) {
            if (!Readable(m_listener))
                return;
            const int fd = accept(m_listener, nullptr, nullptr);
            bool closed = false;
            for (const Answer &answer : script) {
                if (!ReadRequest(fd)) {
                    closed = true;
                    break;
                }
                for (std::size_t i = 0; i < answer.Pieces.size(); ++i) {
                    if (i > 0)
                        std::this_thread::sleep_for(answer.Pause);
                    send(fd, answer.Pieces[i].data(), answer.Pieces[i].size(), MSG_NOSIGNAL);
                }
                if (answer.Close) {
                    closed = true;
                    break;
                }
            }
            // An open connection stays until the client leaves it.
            char buffer[256];
            while (!closed && Readable(fd) && recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
            close(fd);
        }
    }

    std::vector<std::vector<Answer>> m_connections;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

// The bytes of an answer to TestService.Echo whose result is text.
std::string EchoReply(const QString &text)
{
    TROMessage m;
    m.InitializeResponse(kLibrary, kService, QStringLiteral("Echo"));
    m.WriteUtf8String(QStringLiteral("Result"), text);
    m.WriteInteger(QStringLiteral("Twice"), 2);
    return m.SaveToBytes().toStdString();
}

std::string Head(const std::string &lines)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n" + lines + "\r\n";
}

std::string Sized(const std::string &body)
{
    return Head("Content-Length: " + std::to_string(body.size()) + "\r\n") + body;
}

std::string Hex(std::size_t n)
{
    char text[32];
    std::snprintf(text, sizeof text, "%zx", n);
    return text;
}

std::shared_ptr<TROHTTPChannel> ChannelTo(const ScriptedServer &server)
{
    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(server.Url());
    return channel;
}

struct Framing
{
    const char *Name;
    std::vector<std::string> Pieces;
    bool Close;
    // Empty: the call answers "framed".
    QString Error;
};

class HttpChannelFraming : public ::testing::TestWithParam<Framing>
{
};

TEST_P(HttpChannelFraming, AReplyIsReadInItsFramingOrRefusedWithAClearError)
{
    const Framing &row = GetParam();
    ScriptedServer server({{Answer{row.Pieces, 20ms, row.Close}}});
    auto channel = ChannelTo(server);
    int failures = 0;
    channel->SetFailureHandler([&failures](const QString &) {
        ++failures;
        return false;
    });
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    if (row.Error.isEmpty()) {
        EXPECT_EQ(proxy.Echo(QStringLiteral("x"), 1), QStringLiteral("framed"));
        EXPECT_EQ(failures, 0);
    } else {
        try {
            proxy.Echo(QStringLiteral("x"), 1);
            FAIL() << "no error";
        } catch (const EROTransportError &e) {
            EXPECT_TRUE(e.Message().contains(row.Error)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(server.Url())) << e.Message().toStdString();
        }
        EXPECT_EQ(failures, 1);
    }
    EXPECT_EQ(server.Requests(), 1);
    EXPECT_FALSE(channel->Busy());
}

std::vector<Framing> Framings()
{
    const std::string body = EchoReply(QStringLiteral("framed"));
    const std::string part1 = body.substr(0, 10);
    const std::string part2 = body.substr(10);
    const std::string length = std::to_string(body.size());
    return {
        Framing{"LengthInPieces", {"HTTP/1.1 200 OK\r\nContent-Le", "ngth: " + length + "\r\n\r\n" + part1, part2}, false, {}},
        Framing{"Chunked",
                {Head("Transfer-Encoding: chunked\r\n") + Hex(part1.size()) + ";name=value\r\n" + part1 + "\r\n",
                 Hex(part2.size()) + "\r\n" + part2 + "\r\n0\r\nX-Trailer: 1\r\n\r\n"},
                false, {}},
        Framing{"ConnectionClose", {Head("Connection: close\r\nContent-Length: " + length + "\r\n") + body}, true, {}},
        Framing{"UntilClose", {Head(""), part1, part2}, true, {}},
        Framing{"InterimContinue", {"HTTP/1.1 100 Continue\r\n\r\n", Sized(body)}, false, {}},
        Framing{"ServerError", {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\noops"}, false, QStringLiteral("HTTP 500")},
        Framing{"NotHttp", {"HELLO THERE\r\n\r\n"}, false, QStringLiteral("not valid HTTP")},
        Framing{"BadLength", {Head("Content-Length: 12x\r\n")}, false, QStringLiteral("not valid HTTP")},
        Framing{"EndlessHeader", {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(70 * 1024, 'a')}, false, QStringLiteral("not valid HTTP")},
        Framing{"Oversize", {Head("Content-Length: 99999999999\r\n")}, false, QStringLiteral("larger than")},
        Framing{"ClosedInTheBody", {Head("Content-Length: " + length + "\r\n") + part1}, true, QStringLiteral("closed")},
    };
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpChannelFraming, ::testing::ValuesIn(Framings()),
                         [](const ::testing::TestParamInfo<Framing> &row) { return std::string(row.param.Name); });

TEST(HttpChannel, ARequestOnAKeptAliveConnectionTheServerDroppedGoesOnceMoreOnANewOne)
{
    // The server closes without saying so; the client's thread runs no event loop meanwhile, so
    // the second call finds out only when it writes on the dead connection.
    ScriptedServer server({{Answer{{Sized(EchoReply(QStringLiteral("first")))}, 0ms, true}},
                           {Answer{{Sized(EchoReply(QStringLiteral("second")))}, 0ms, false}}});
    TestService_Proxy proxy(std::make_shared<TROMessage>(), ChannelTo(server));
    EXPECT_EQ(proxy.Echo(QStringLiteral("x"), 1), QStringLiteral("first"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(proxy.Echo(QStringLiteral("x"), 2), QStringLiteral("second"));
    EXPECT_EQ(server.Requests(), 2);
}

TEST(HttpChannel, AReplyThatKeepsMovingOutlastsTheTimeout)
{
    const std::string reply = Sized(EchoReply(QStringLiteral("slow")));
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < reply.size(); at += reply.size() / 4 + 1)
        pieces.push_back(reply.substr(at, reply.size() / 4 + 1));
    ScriptedServer server({{Answer{pieces, 200ms, false}}});
    auto channel = ChannelTo(server);
    channel->SetTimeout(500ms);
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(proxy.Echo(QStringLiteral("x"), 1), QStringLiteral("slow"));
    EXPECT_GE(timer.elapsed(), 500);
}

TEST(HttpChannel, AnAsynchronousCompletionMayCallOnTheSameChannelAtOnce)
{
    ScriptedServer server({{Answer{{Sized(EchoReply(QStringLiteral("async")))}}, Answer{{Sized(EchoReply(QStringLiteral("then")))}}}});
    auto channel = ChannelTo(server);
    // Were the completion run inside the socket's signal, the second call would wait for this.
    channel->SetTimeout(2s);
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    TROMessage request;
    request.InitializeRequest(kLibrary, kService, QStringLiteral("Echo"));
    QString first;
    QString second;
    channel->DispatchAsync(request, [&](const QByteArray &reply, const QString &error) {
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_FALSE(channel->Busy());
        TROMessage answer;
        answer.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
        first = answer.ReadUtf8String(QStringLiteral("Result"));
        second = proxy.Echo(QStringLiteral("x"), 1);
    });
    EXPECT_TRUE(channel->Busy());
    ASSERT_TRUE(WaitFor([&] { return !second.isEmpty(); }, 5000ms));
    EXPECT_EQ(first, QStringLiteral("async"));
    EXPECT_EQ(second, QStringLiteral("then"));
}

TEST(HttpChannel, AChannelDestroyedDuringAnAsynchronousCallNeverCompletesIt)
{
    ScriptedServer server({{Answer{{"HTTP/1.1 200 OK\r\n", "Content-Length: 0\r\n\r\n"}, 200ms, false}}});
    auto channel = ChannelTo(server);
    TROMessage request;
    request.InitializeRequest(kLibrary, kService, QStringLiteral("Echo"));
    bool completed = false;
    channel->DispatchAsync(request, [&completed](const QByteArray &, const QString &) { completed = true; });
    ASSERT_TRUE(WaitFor([&] { return server.Requests() == 1; }, 5000ms));
    channel.reset();
    WaitFor([] { return false; }, 400ms);
    EXPECT_FALSE(completed);
}

} // namespace
