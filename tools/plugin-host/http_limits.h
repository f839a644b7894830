#pragma once
// The limits of plugin-host's HTTP front: how long a client may take, how
// much it may send, and how many clients are served at once. Any page open
// in a browser can reach a loopback server, so none of them is left to the
// client's good will.

#include <chrono>
#include <cstddef>

namespace PluginHost::HttpLimits {

// The request head (request line and headers) must arrive within this time
// of the connection being accepted.
inline constexpr std::chrono::seconds headTime{5};
// The body must arrive within this time of the head, plus one second for
// every MiB begun (of its Content-Length, or for a chunked body of what has
// arrived so far).
inline constexpr std::chrono::seconds bodyTime{5};
inline constexpr std::size_t mebibyte = std::size_t{1} << 20;

// The head: at most this many bytes and header lines (431 beyond).
inline constexpr std::size_t longestHead = 64 * 1024;
inline constexpr std::size_t mostHeaderLines = 100;
// The body as it travels, a chunked body's size lines included (413 beyond).
inline constexpr std::size_t longestBody = 16 * mebibyte;

// A write that makes no progress for this long fails; once the server is
// stopping, the shorter time.
inline constexpr std::chrono::seconds writeStall{5};
inline constexpr std::chrono::milliseconds writeStallWhileStopping{500};
// After its answer a connection reads what the client still sends for at
// most this long before it is closed, so that closing it does not reset the
// connection before the client has read the answer.
inline constexpr std::chrono::seconds closingTime{1};
// The system's send buffer of a connection: how much of the answers a
// client that does not read can leave waiting in the server.
inline constexpr int sendBuffer = 64 * 1024;
// How often a waiting read or write looks at the time and at shutdown.
inline constexpr std::chrono::milliseconds pollInterval{100};

// Connections served at once (event-stream watchers among them, at most
// EventStream::maxWatchers), and accepted connections that may wait for a
// thread; beyond that a new connection is answered 503 and closed at once.
inline constexpr std::size_t servingThreads = 64;
inline constexpr std::size_t waitingConnections = 64;

}  // namespace PluginHost::HttpLimits
