#include "DroppingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool sendAll(int socket, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size_t(size), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

} // namespace

DroppingProxy::DroppingProxy(quint16 upstreamPort, const QList<QByteArray> &markers, qsizetype bytesBeforeCut)
    : m_upstream(upstreamPort), m_markers(markers), m_budget(bytesBeforeCut)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listen, 16) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("the proxy cannot listen");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { Accept(); });
}

DroppingProxy::~DroppingProxy()
{
    m_stop = true;
    m_acceptor.join();
    for (std::thread &relay : m_relays)
        relay.join();
    ::close(m_listen);
}

bool DroppingProxy::Marked(const QByteArray &request) const
{
    for (const QByteArray &marker : m_markers)
        if (!request.contains(marker))
            return false;
    return true;
}

void DroppingProxy::Accept()
{
    while (!m_stop) {
        pollfd waiting {m_listen, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0)
            continue;
        std::lock_guard guard(m_lock);
        m_relays.emplace_back([this, client] { Relay(client); });
    }
}

void DroppingProxy::Relay(int client)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(m_upstream);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(client);
        if (server >= 0)
            ::close(server);
        return;
    }
    QByteArray request; // what went up since the last answer began
    qsizetype budget = m_budget;
    bool cutting = false;
    char buffer[16384];
    while (!m_stop) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(ends, 2, 50) <= 0)
            continue;
        if (ends[0].revents) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0 || !sendAll(server, buffer, got))
                break;
            request.append(buffer, got);
        }
        if (ends[1].revents) {
            const ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            if (!cutting && !m_dropped && Marked(request))
                cutting = true;
            request.clear();
            if (cutting) {
                const qsizetype part = std::min<qsizetype>(budget, got);
                sendAll(client, buffer, part);
                budget -= part;
                if (budget == 0) {
                    m_dropped = true;
                    break;
                }
            } else if (!sendAll(client, buffer, got)) {
                break;
            }
        }
    }
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
    ::close(server);
}
