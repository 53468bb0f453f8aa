// A TCP relay in front of a server that cuts one reply short: once a request holding every
// marker has gone up, only the first bytes of its answer come back, then both ends close, as
// when a connection drops in the middle of a download.
#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class DroppingProxy
{
public:
    DroppingProxy(quint16 upstreamPort, const QList<QByteArray> &markers, qsizetype bytesBeforeCut);
    ~DroppingProxy();
    DroppingProxy(const DroppingProxy &) = delete;
    DroppingProxy &operator=(const DroppingProxy &) = delete;

    quint16 Port() const { return m_port; }
    bool Dropped() const { return m_dropped; }

private:
    void Accept();
    void Relay(int client);
    bool Marked(const QByteArray &request) const;

    quint16 m_upstream;
    QList<QByteArray> m_markers;
    qsizetype m_budget;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_dropped{false};
    std::thread m_acceptor;
    std::mutex m_lock;
    std::vector<std::thread> m_relays;
};
