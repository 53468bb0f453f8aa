// Every size, count, time-out and default of the remoting layer, in one place.
// Readers check each length and count against these and against what remains; nothing
// from the network sizes an allocation unchecked.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace RemotingLimits {

// A request body may unpack to at most this; replies carry client updates and may be larger.
constexpr std::size_t kMaxRequestSize = std::size_t(64) * 1024 * 1024;
constexpr std::size_t kMaxReplySize = std::size_t(1024) * 1024 * 1024;
// Bodies above this many bytes travel zlib-compressed; above the second they are packed as they
// are written, so a large reply is not held twice.
constexpr std::size_t kCompressThreshold = 1024;
constexpr std::size_t kPackWhileWritingAfter = std::size_t(1024) * 1024;
// A reply that carries files (a client update's) is written to the connection in pieces of this
// size, each file read from disk as it goes, so the files are never held in memory.
constexpr std::size_t kReplyPieceSize = std::size_t(1024) * 1024;
// A message holds at most kMinValueBudget values plus one per kBodyBytesPerValue bytes of its
// unpacked body (named values, record fields, array elements and variant contents all count).
// A value takes well over a hundred bytes of memory but may be one byte on the wire, so without
// this a compressed body of tiny values would cost a hundred times its unpacked size.
constexpr std::size_t kMinValueBudget = 65536;
constexpr std::size_t kBodyBytesPerValue = 4;
// Records, arrays and variants nest at most this deep, so a hostile message cannot exhaust the stack.
constexpr int kMaxNesting = 64;

// HTTP server.
constexpr int kDefaultPoolSize = 128;
// A request body may be a little larger than the unpacked body it carries; a Content-Length
// above this is refused at once, before any of the body is read.
constexpr std::size_t kMaxRequestBody = kMaxRequestSize + 64 * 1024;
// Everything before the body: request line and header lines.
constexpr std::size_t kMaxRequestHead = 64 * 1024;
// Connections wait in the kernel's queue while the server accepts; bursts from every client at
// once (a pool's worth and more) must not overflow it (the kernel caps it at somaxconn).
constexpr int kListenBacklog = 1024;
// A connection is held without a pool thread until its request has fully arrived: the headers
// must arrive within kHeaderTimeout of the request's start (for a new connection: of its
// opening), the body within kBodyTimeout plus one second per kMinBodyRate bytes of it.
constexpr std::chrono::seconds kHeaderTimeout{10};
constexpr std::chrono::seconds kBodyTimeout{30};
constexpr std::size_t kMinBodyRate = 256 * 1024;
// A pool thread that has answered a request keeps the connection this long for the client's
// next one (a client making calls one after another), then leaves it to the listener thread.
constexpr std::chrono::milliseconds kFollowUpWait{5};
// An idle kept-alive connection is closed after this.
constexpr std::chrono::seconds kKeepAliveTimeout{5};
// A connection is closed after this many requests (cpp-httplib's default of 5 would make
// clients reconnect all the time).
constexpr std::size_t kKeepAliveMaxRequests = 100000;
// A reply must be written within this.
constexpr std::chrono::seconds kWriteTimeout{300};
// Each database statement a request runs is cancelled after this (and at once when the client
// closes its connection), so one request cannot hold a database backend, and a hung database
// cannot hold its callers, for longer.
constexpr std::chrono::seconds kStatementTimeLimit{30};
// Open connections: from one address (a terminal server may carry many clients), and in all.
// Beyond either a new connection is closed at once. The total is also kept below the open-file
// limit of the process, which the server raises toward it.
constexpr std::size_t kMaxConnectionsPerAddress = 128;
constexpr std::size_t kMaxConnections = 8192;
// Request bytes held by the server before their requests are served, over all connections;
// beyond it a request is refused with 503.
constexpr std::size_t kMaxBufferedRequestBytes = std::size_t(256) * 1024 * 1024;
// A refused connection is read and discarded for this long before it is closed, so the client
// gets to read the refusal instead of a reset.
constexpr std::chrono::seconds kRefusalLinger{2};

// Client channel: long enough for a whole scheduling run on the asynchronous channel.
constexpr std::chrono::milliseconds kDefaultCallTimeout{std::chrono::minutes(30)};
// A failed call is sent again at most this often, whatever the channel's failure handler says.
constexpr int kMaxCallRetries = 5;
// A reply's status line and headers together.
constexpr std::size_t kMaxReplyHeadSize = 64 * 1024;

// Sessions and events.
constexpr std::chrono::minutes kSessionIdleTimeout{10};
constexpr std::size_t kMaxEventsPerSession = 1000;
// Far above the clients of one installation; a client inventing session GUIDs meets this bound.
constexpr std::size_t kMaxSessions = 10000;
constexpr std::chrono::milliseconds kDefaultPollInterval{750};

// Discovery.
constexpr std::uint16_t kDefaultDiscoveryPort = 8098;
constexpr int kDiscoveryAttempts = 5;
constexpr std::chrono::milliseconds kDiscoveryRetryInterval{400};
constexpr std::size_t kMaxDatagramSize = 512;

} // namespace RemotingLimits
