// The connection side of the HTTP server, in front of cpp-httplib's request processing.
// cpp-httplib gives each connection a pool thread from its first byte to its close, so a few
// hundred clients that open connections and send slowly (or nothing) would hold every thread.
// Here one thread watches every connection (epoll) and reads until a request has fully arrived
// within its time bounds; only then does a pool thread parse and serve it from memory, and the
// connection comes back to be watched. The listener also refuses what it can see at once (an
// oversize Content-Length, a head too long) and bounds connections per address and in all.
#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

struct ROListenerOptions
{
    std::string Host;
    int Port = 0; // 0: any free port
    int PoolSize = 1;
    std::chrono::milliseconds KeepAliveTimeout{0};
    std::chrono::milliseconds HeaderTimeout{0};
    std::chrono::milliseconds BodyTimeout{0};
};

// Serves one request that arrived whole in the stream; false or connectionClosed ends the
// connection (httplib::Server::process_request has this shape).
using ROServeRequest = std::function<bool(httplib::Stream &stream, bool closeConnection, bool &connectionClosed)>;

class TROHTTPListener
{
public:
    TROHTTPListener(ROListenerOptions options, ROServeRequest serve);
    ~TROHTTPListener();
    TROHTTPListener(const TROHTTPListener &) = delete;
    TROHTTPListener &operator=(const TROHTTPListener &) = delete;

    // Binds and listens; answers the port. Throws EROTransportError when the address cannot be bound.
    int Listen();
    // Serves on a thread of its own until Stop.
    void Start();
    // Closes every connection and waits for requests in service to finish.
    void Stop();
    // The same, waiting at most that long. False when requests were still in service: they run
    // on, and the listener and whatever they use must outlive them, so the process is to end
    // (the listener is left to them and does nothing more).
    bool Stop(std::chrono::milliseconds wait);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
