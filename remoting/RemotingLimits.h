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
// Bodies above this many bytes travel zlib-compressed.
constexpr std::size_t kCompressThreshold = 1024;
// Records, arrays and variants nest at most this deep, so a hostile message cannot exhaust the stack.
constexpr int kMaxNesting = 64;

// HTTP server.
constexpr int kDefaultPoolSize = 128;
constexpr std::chrono::seconds kKeepAliveTimeout{5};
// cpp-httplib closes a kept-alive connection after this many requests (its default of 5 would
// make clients reconnect all the time).
constexpr std::size_t kKeepAliveMaxRequests = 100000;
constexpr std::chrono::seconds kReadTimeout{30};
constexpr std::chrono::seconds kWriteTimeout{300};

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
