#include "remoting/ROHTTPListener.h"

#include "remoting/ROErrors.h"
#include "remoting/RemotingLimits.h"

#include "foundation/RequestScope.h"

#include <QString>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Open files the rest of the process keeps for itself (database connections, logs, plug-ins).
constexpr std::size_t kFilesKeptBack = 512;
constexpr milliseconds kSweepInterval{100};
constexpr milliseconds kAcceptPause{100};

enum class Phase {
    Idle,    // waiting for a request to start
    Head,    // request line and headers arriving
    Body,    // body arriving
    Refused, // refusal sent; reading and discarding until the peer closes or the linger ends
};

// One connection. The listener thread owns it while it watches it; while it is lent to a pool
// thread (Lent), only that thread touches it, except for Lent itself.
struct Connection
{
    int Fd = -1;
    std::string Address;
    int PeerPort = 0;
    Phase State = Phase::Idle;
    Clock::time_point Deadline;
    std::string In;            // received, not yet served
    std::size_t Scanned = 0;   // head bytes searched for the blank line so far
    std::size_t HeadEnd = 0;   // where the body starts, once the head is complete
    std::size_t BodyLength = 0;
    std::size_t Requests = 0;
    std::size_t InFlight = 0;  // bytes of the request being served
    bool PeerDone = false;     // the peer sent everything it will send
    bool Watched = false;
    bool Lent = false;
};

bool SameText(const std::string &a, const char *b)
{
    return a.size() == std::strlen(b) && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string &s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// What the head says about the body; Status is 0 when the head may be served.
struct HeadInfo
{
    int Status = 0;
    const char *Reason = "";
    std::size_t BodyLength = 0;
    bool ExpectContinue = false;
    std::string HeadWithoutExpect;
};

HeadInfo Refusal(int status, const char *reason)
{
    HeadInfo info;
    info.Status = status;
    info.Reason = reason;
    return info;
}

HeadInfo ReadHead(const std::string &head)
{
    HeadInfo info;
    bool haveLength = false;
    std::size_t pos = head.find("\r\n");
    std::string kept = head.substr(0, pos + 2);
    while (pos != std::string::npos && pos + 2 < head.size()) {
        const std::size_t start = pos + 2;
        pos = head.find("\r\n", start);
        const std::string line = head.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (line.empty())
            break;
        const auto colon = line.find(':');
        const std::string name = colon == std::string::npos ? line : line.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : Trim(line.substr(colon + 1));
        if (SameText(name, "Content-Length")) {
            if (value.empty() || value.size() > 19 || value.find_first_not_of("0123456789") != std::string::npos)
                return Refusal(400, "Bad Request");
            const std::size_t length = std::stoull(value);
            if (haveLength && length != info.BodyLength)
                return Refusal(400, "Bad Request");
            haveLength = true;
            info.BodyLength = length;
        } else if (SameText(name, "Transfer-Encoding")) {
            return Refusal(411, "Length Required");
        } else if (SameText(name, "Expect")) {
            if (!SameText(value, "100-continue"))
                return Refusal(417, "Expectation Failed");
            info.ExpectContinue = true;
            continue;
        }
        kept += line + "\r\n";
    }
    if (info.BodyLength > RemotingLimits::kMaxRequestBody)
        return Refusal(413, "Payload Too Large");
    info.HeadWithoutExpect = kept + "\r\n";
    return info;
}

// The stream a pool thread hands cpp-httplib: the request from memory, the reply to the socket
// within a deadline.
class RequestStream : public httplib::Stream
{
public:
    RequestStream(int fd, std::string request, std::string peer, int peerPort, Clock::time_point writeDeadline)
        : m_fd(fd), m_request(std::move(request)), m_peer(std::move(peer)), m_peerPort(peerPort), m_deadline(writeDeadline)
    {
    }

    bool is_readable() const override { return m_pos < m_request.size(); }
    bool is_writable() const override { return Clock::now() < m_deadline; }

    ssize_t read(char *ptr, size_t size) override
    {
        const std::size_t n = std::min(size, m_request.size() - m_pos);
        std::memcpy(ptr, m_request.data() + m_pos, n);
        m_pos += n;
        return ssize_t(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::send(m_fd, ptr + done, size - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                const auto left = std::chrono::duration_cast<milliseconds>(m_deadline - Clock::now());
                if (left.count() <= 0)
                    return -1;
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, int(std::min<milliseconds::rep>(left.count(), 1000)));
                continue;
            }
            return -1;
        }
        return ssize_t(size);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = m_peer;
        port = m_peerPort;
    }

    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        ip.clear();
        port = 0;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        char text[INET6_ADDRSTRLEN] = {};
        if (address.ss_family == AF_INET) {
            const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address);
            ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
            port = ntohs(v4->sin_port);
        } else if (address.ss_family == AF_INET6) {
            const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address);
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
            port = ntohs(v6->sin6_port);
        }
        ip = text;
    }

    socket_t socket() const override { return m_fd; }

private:
    int m_fd;
    std::string m_request;
    std::size_t m_pos = 0;
    std::string m_peer;
    int m_peerPort;
    Clock::time_point m_deadline;
};

// The peer's address as text (an IPv4 address inside IPv6 as plain IPv4) and its port.
std::pair<std::string, int> Peer(const sockaddr_storage &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return {text, ntohs(v4->sin_port)};
    }
    const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address);
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr))
        ::inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
    else
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    return {text, ntohs(v6->sin6_port)};
}

// Raises the open-file limit toward what the connection cap needs; answers how many
// connections the limit leaves room for.
std::size_t ConnectionRoom()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 256;
    const rlim_t wanted = rlim_t(RemotingLimits::kMaxConnections + kFilesKeptBack);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    const std::size_t files = limit.rlim_cur == RLIM_INFINITY ? wanted : std::size_t(limit.rlim_cur);
    const std::size_t room = files > 2 * kFilesKeptBack ? files - kFilesKeptBack : files / 2;
    return std::min(RemotingLimits::kMaxConnections, room);
}

} // namespace

struct TROHTTPListener::Impl
{
    ROListenerOptions Options;
    ROServeRequest Serve;
    int ListenFd = -1;
    int EpollFd = -1;
    int WakeFd = -1;
    std::thread Thread;
    std::unique_ptr<httplib::ThreadPool> Pool;
    std::atomic<bool> Stopping{false};
    std::size_t MaxConnections = RemotingLimits::kMaxConnections;
    // Request bytes held: received and not served yet, or being served.
    std::atomic<std::size_t> Buffered{0};

    // Touched by the listener thread only.
    std::unordered_map<int, Connection> Connections;
    std::unordered_map<std::string, std::size_t> PerAddress;
    bool AcceptPaused = false;
    Clock::time_point AcceptResume;

    // Connections pool threads give back: fd, and whether to watch it again (else close it).
    std::mutex ReturnMutex;
    std::vector<std::pair<int, bool>> Returned;

    // Connections lent to pool threads, for a stop that waits for them within a bound.
    std::mutex ServingMutex;
    std::condition_variable ServingDone;
    std::size_t Serving = 0;
    milliseconds StopWait = milliseconds::max();
    // Requests were still in service when the stop's wait ended.
    bool Abandoned = false;

    enum class Progress { Waiting, Complete, Refused };

    // Listener thread.
    void Run();
    void Accept();
    void Read(Connection &c);
    void HandOver(Connection &c);
    void Close(int fd);
    void Watch(Connection &c, bool on);
    void WatchFd(int fd);
    void TakeReturns();
    void Sweep();
    // Whichever thread holds the connection.
    bool Receive(Connection &c);
    Progress Advance(Connection &c);
    std::string TakeRequest(Connection &c);
    void Refuse(Connection &c, int status, const char *reason);
    bool WaitForServing();
    // Pool threads.
    void ServeOn(Connection &c, std::string request);
    void GiveBack(const Connection &c, bool watch);
};

void TROHTTPListener::Impl::WatchFd(int fd)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    ::epoll_ctl(EpollFd, EPOLL_CTL_ADD, fd, &event);
}

void TROHTTPListener::Impl::Watch(Connection &c, bool on)
{
    if (on == c.Watched)
        return;
    if (on)
        WatchFd(c.Fd);
    else
        ::epoll_ctl(EpollFd, EPOLL_CTL_DEL, c.Fd, nullptr);
    c.Watched = on;
}

void TROHTTPListener::Impl::Close(int fd)
{
    const auto it = Connections.find(fd);
    if (it == Connections.end())
        return;
    Connection &c = it->second;
    Watch(c, false);
    ::close(fd);
    Buffered -= c.In.size() + c.InFlight;
    const auto count = PerAddress.find(c.Address);
    if (count != PerAddress.end() && --count->second == 0)
        PerAddress.erase(count);
    Connections.erase(it);
}

void TROHTTPListener::Impl::Refuse(Connection &c, int status, const char *reason)
{
    const std::string text = std::string(reason) + "\n";
    const std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                              "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(text.size()) +
                              "\r\nConnection: close\r\n\r\n" + text;
    // A few hundred bytes on a connection with nothing else to write: the socket buffer takes them.
    (void)::send(c.Fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(c.Fd, SHUT_WR);
    Buffered -= c.In.size();
    std::string().swap(c.In);
    c.State = Phase::Refused;
    c.Deadline = Clock::now() + RemotingLimits::kRefusalLinger;
}

void TROHTTPListener::Impl::Accept()
{
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd = ::accept4(ListenFd, reinterpret_cast<sockaddr *>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of files: stop asking for a moment instead of spinning on the queue.
                epoll_event event{};
                event.data.fd = ListenFd;
                ::epoll_ctl(EpollFd, EPOLL_CTL_MOD, ListenFd, &event);
                AcceptPaused = true;
                AcceptResume = Clock::now() + kAcceptPause;
            }
            return;
        }
        auto [peer, port] = Peer(address);
        std::size_t &fromPeer = PerAddress[peer];
        if (Connections.size() >= MaxConnections || fromPeer >= RemotingLimits::kMaxConnectionsPerAddress) {
            if (fromPeer == 0)
                PerAddress.erase(peer);
            ::close(fd);
            continue;
        }
        ++fromPeer;
        int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        Connection &c = Connections[fd];
        c.Fd = fd;
        c.Address = std::move(peer);
        c.PeerPort = port;
        c.State = Phase::Idle;
        // A new connection must start its request as promptly as it must finish its headers.
        c.Deadline = Clock::now() + Options.HeaderTimeout;
        Watch(c, true);
    }
}

bool TROHTTPListener::Impl::Receive(Connection &c)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::recv(c.Fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            if (c.State == Phase::Refused)
                continue;
            if (Buffered + std::size_t(n) > RemotingLimits::kMaxBufferedRequestBytes) {
                Refuse(c, 503, "Service Unavailable");
                return true;
            }
            if (c.State == Phase::Idle) {
                c.State = Phase::Head;
                c.Deadline = Clock::now() + Options.HeaderTimeout;
            }
            c.In.append(buffer, std::size_t(n));
            Buffered += std::size_t(n);
            if (std::size_t(n) < sizeof buffer || (c.State == Phase::Head && c.In.size() > RemotingLimits::kMaxRequestHead))
                return true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        // Failed, or a refused peer has finished: close. Otherwise a request that is complete
        // is still served.
        if (n < 0 || c.State == Phase::Refused)
            return false;
        c.PeerDone = true;
        return true;
    }
}

TROHTTPListener::Impl::Progress TROHTTPListener::Impl::Advance(Connection &c)
{
    if (c.State == Phase::Refused)
        return Progress::Refused;
    if (c.State == Phase::Idle && !c.In.empty()) {
        c.State = Phase::Head;
        c.Deadline = Clock::now() + Options.HeaderTimeout;
    }
    if (c.State == Phase::Head) {
        const std::size_t end = c.In.find("\r\n\r\n", c.Scanned >= 3 ? c.Scanned - 3 : 0);
        if (end == std::string::npos || end + 4 > RemotingLimits::kMaxRequestHead) {
            c.Scanned = c.In.size();
            if (c.In.size() <= RemotingLimits::kMaxRequestHead)
                return Progress::Waiting;
            Refuse(c, 431, "Request Header Fields Too Large");
            return Progress::Refused;
        }
        HeadInfo head = ReadHead(c.In.substr(0, end + 4));
        if (head.Status != 0) {
            Refuse(c, head.Status, head.Reason);
            return Progress::Refused;
        }
        // The continue goes out here; cpp-httplib must not send a second one.
        const std::size_t oldHead = end + 4;
        c.In.replace(0, oldHead, head.HeadWithoutExpect);
        Buffered += head.HeadWithoutExpect.size();
        Buffered -= oldHead;
        c.HeadEnd = head.HeadWithoutExpect.size();
        c.BodyLength = head.BodyLength;
        c.State = Phase::Body;
        c.Deadline = Clock::now() + Options.BodyTimeout + std::chrono::seconds(c.BodyLength / RemotingLimits::kMinBodyRate);
        if (head.ExpectContinue && c.In.size() < c.HeadEnd + c.BodyLength) {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            (void)::send(c.Fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
    }
    return c.In.size() >= c.HeadEnd + c.BodyLength ? Progress::Complete : Progress::Waiting;
}

std::string TROHTTPListener::Impl::TakeRequest(Connection &c)
{
    const std::size_t total = c.HeadEnd + c.BodyLength;
    std::string request;
    if (c.In.size() == total) {
        request.swap(c.In);
    } else {
        request = c.In.substr(0, total);
        c.In.erase(0, total);
    }
    c.InFlight = total;
    c.State = Phase::Idle;
    c.Scanned = c.HeadEnd = c.BodyLength = 0;
    return request;
}

void TROHTTPListener::Impl::Read(Connection &c)
{
    if (!Receive(c)) {
        Close(c.Fd);
        return;
    }
    if (Advance(c) == Progress::Complete)
        HandOver(c);
    else if (c.PeerDone)
        Close(c.Fd);
}

void TROHTTPListener::Impl::HandOver(Connection &c)
{
    Watch(c, false);
    c.Lent = true;
    {
        std::lock_guard lock(ServingMutex);
        ++Serving;
    }
    Pool->enqueue([this, &c, request = TakeRequest(c)]() mutable {
        ServeOn(c, std::move(request));
        std::lock_guard lock(ServingMutex);
        --Serving;
        ServingDone.notify_all();
    });
}

bool TROHTTPListener::Impl::WaitForServing()
{
    std::unique_lock lock(ServingMutex);
    const auto idle = [this] { return Serving == 0; };
    if (StopWait == milliseconds::max()) {
        ServingDone.wait(lock, idle);
        return true;
    }
    return ServingDone.wait_for(lock, StopWait, idle);
}

void TROHTTPListener::Impl::ServeOn(Connection &c, std::string request)
{
    for (;;) {
        ++c.Requests;
        const bool closeConnection = c.PeerDone || c.Requests >= RemotingLimits::kKeepAliveMaxRequests;
        bool closed = false;
        bool served = false;
        {
            RequestStream stream(c.Fd, std::move(request), c.Address, c.PeerPort, Clock::now() + RemotingLimits::kWriteTimeout);
            // A client that closes its connection while its request runs waits for nothing: the
            // request's database work is ended. A peer that had already shut its sending side
            // may still read the reply, so for it only a reset or a full close counts.
            const short gone = short(POLLHUP | POLLERR | (c.PeerDone ? 0 : POLLRDHUP));
            const QorRequest::TClientWatchScope watch([fd = c.Fd, gone] {
                pollfd p{fd, POLLRDHUP, 0};
                return ::poll(&p, 1, 0) > 0 && (p.revents & gone) != 0;
            });
            try {
                served = Serve(stream, closeConnection, closed);
            } catch (...) {
                served = false;
            }
        }
        Buffered -= c.InFlight;
        c.InFlight = 0;
        if (!served || closed || closeConnection || Stopping) {
            GiveBack(c, false);
            return;
        }
        c.Deadline = Clock::now() + Options.KeepAliveTimeout;
        // A client that sends its next request right away keeps this thread; any other goes
        // back to be watched, so a thread never waits on a slow or idle client.
        const auto until = Clock::now() + RemotingLimits::kFollowUpWait;
        Progress progress = c.In.empty() ? Progress::Waiting : Advance(c);
        while (progress == Progress::Waiting && !c.PeerDone) {
            const auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now());
            pollfd ready{c.Fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0)
                break;
            if (!Receive(c)) {
                GiveBack(c, false);
                return;
            }
            progress = Advance(c);
        }
        if (progress != Progress::Complete) {
            GiveBack(c, !c.PeerDone);
            return;
        }
        request = TakeRequest(c);
    }
}

void TROHTTPListener::Impl::GiveBack(const Connection &c, bool watch)
{
    {
        std::lock_guard lock(ReturnMutex);
        Returned.emplace_back(c.Fd, watch);
    }
    // An eventfd write fails only when its counter is full, and then the listener wakes anyway.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(WakeFd, &one, sizeof one);
}

void TROHTTPListener::Impl::TakeReturns()
{
    std::vector<std::pair<int, bool>> returned;
    {
        std::lock_guard lock(ReturnMutex);
        returned.swap(Returned);
    }
    for (const auto &[fd, watch] : returned) {
        const auto it = Connections.find(fd);
        if (it == Connections.end())
            continue;
        Connection &c = it->second;
        c.Lent = false;
        if (!watch || Stopping)
            Close(fd);
        else
            Watch(c, true);
    }
}

void TROHTTPListener::Impl::Sweep()
{
    const auto now = Clock::now();
    if (AcceptPaused && now >= AcceptResume) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = ListenFd;
        ::epoll_ctl(EpollFd, EPOLL_CTL_MOD, ListenFd, &event);
        AcceptPaused = false;
    }
    std::vector<int> late;
    for (const auto &[fd, c] : Connections)
        if (!c.Lent && now >= c.Deadline)
            late.push_back(fd);
    for (int fd : late) {
        Connection &c = Connections.at(fd);
        if (c.State == Phase::Head || c.State == Phase::Body)
            Refuse(c, 408, "Request Timeout");
        else
            Close(fd);
    }
}

void TROHTTPListener::Impl::Run()
{
    std::vector<epoll_event> events(256);
    auto nextSweep = Clock::now() + kSweepInterval;
    while (!Stopping) {
        const int n = ::epoll_wait(EpollFd, events.data(), int(events.size()), int(kSweepInterval.count()));
        for (int i = 0; i < n; ++i) {
            const int fd = events[std::size_t(i)].data.fd;
            if (fd == ListenFd) {
                Accept();
            } else if (fd == WakeFd) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t cleared = ::read(WakeFd, &count, sizeof count);
            } else {
                const auto it = Connections.find(fd);
                if (it != Connections.end() && !it->second.Lent)
                    Read(it->second);
            }
        }
        TakeReturns();
        if (Clock::now() >= nextSweep) {
            Sweep();
            nextSweep = Clock::now() + kSweepInterval;
        }
    }

    ::close(ListenFd);
    ListenFd = -1;
    // Requests in service end their replies quickly once their sockets are shut.
    for (const auto &[fd, c] : Connections)
        ::shutdown(fd, SHUT_RDWR);
    Abandoned = !WaitForServing();
    if (!Abandoned)
        Pool->shutdown();
    TakeReturns();
    std::vector<int> open;
    for (const auto &[fd, c] : Connections)
        // A connection still lent keeps its descriptor: closed, its number could be reused by
        // any file while its thread still writes to it.
        if (!c.Lent)
            open.push_back(fd);
    for (int fd : open)
        Close(fd);
}

TROHTTPListener::TROHTTPListener(ROListenerOptions options, ROServeRequest serve) : m_impl(std::make_unique<Impl>())
{
    m_impl->Options = std::move(options);
    m_impl->Serve = std::move(serve);
}

TROHTTPListener::~TROHTTPListener()
{
    if (!m_impl)
        return;
    Stop();
    if (m_impl->ListenFd >= 0)
        ::close(m_impl->ListenFd);
}

int TROHTTPListener::Listen()
{
    Impl &d = *m_impl;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(d.Options.Port);
    const QString where = QStringLiteral("%1:%2").arg(QString::fromStdString(d.Options.Host)).arg(d.Options.Port);
    if (::getaddrinfo(d.Options.Host.empty() ? nullptr : d.Options.Host.c_str(), service.c_str(), &hints, &found) != 0)
        throw EROTransportError(QStringLiteral("Cannot listen on %1: unknown address").arg(where));
    int error = 0;
    for (addrinfo *ai = found; ai && d.ListenFd < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        // Not SO_REUSEPORT: a port in use must make the start fail.
        int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, RemotingLimits::kListenBacklog) != 0) {
            error = errno;
            ::close(fd);
            continue;
        }
        d.ListenFd = fd;
    }
    ::freeaddrinfo(found);
    if (d.ListenFd < 0)
        throw EROTransportError(QStringLiteral("Cannot listen on %1: %2").arg(where, QString::fromLocal8Bit(std::strerror(error))));
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(d.ListenFd, reinterpret_cast<sockaddr *>(&bound), &length);
    return Peer(bound).second;
}

void TROHTTPListener::Start()
{
    Impl &d = *m_impl;
    d.MaxConnections = ConnectionRoom();
    d.EpollFd = ::epoll_create1(EPOLL_CLOEXEC);
    d.WakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.EpollFd < 0 || d.WakeFd < 0)
        throw EROTransportError(QStringLiteral("The HTTP server cannot watch its connections: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
    d.WatchFd(d.ListenFd);
    d.WatchFd(d.WakeFd);
    d.Pool = std::make_unique<httplib::ThreadPool>(std::size_t(std::max(1, d.Options.PoolSize)));
    d.Thread = std::thread([&d] { d.Run(); });
}

void TROHTTPListener::Stop()
{
    Stop(milliseconds::max());
}

bool TROHTTPListener::Stop(milliseconds wait)
{
    if (!m_impl)
        return false;
    Impl &d = *m_impl;
    if (!d.Thread.joinable())
        return true;
    d.StopWait = wait;
    d.Stopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(d.WakeFd, &one, sizeof one);
    d.Thread.join();
    if (d.Abandoned) {
        // The requests still in service use all of it, the wake-up descriptor too: it is left
        // to them, for a process that ends without waiting for them.
        static std::mutex keptMutex;
        static auto *kept = new std::vector<Impl *>; // reachable, never freed
        std::lock_guard lock(keptMutex);
        kept->push_back(m_impl.release());
        return false;
    }
    ::close(d.EpollFd);
    ::close(d.WakeFd);
    d.EpollFd = d.WakeFd = -1;
    return true;
}
