// The scale library's sockets over the platform's (platform/Sockets.h): TCP
// connect, send and receive with time-outs, and the few server calls the
// emulator and the benchmark need. Sockets are non-blocking and every wait
// goes through poll (WSAPoll/select on Windows), so no call blocks longer
// than the time-out it is given. Writing to a closed connection never raises
// SIGPIPE.
#pragma once

#include "Sockets.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zalohy::net {

using platform::kNoSocket;
using platform::NativeSocket;

enum class Result {
    Ok,
    Closed,        // the peer closed the connection in order (end of stream)
    Failed,        // reset or any other socket error
    TimedOut,      // nothing moved within the time-out
    Refused,       // connect: nothing listens there, or no route to it
    NotFound,      // connect: the host is not a dotted IPv4 address (names are never looked up)
    AddressInUse,  // listen: the address and port are taken
    Cancelled,     // the cancel flag was raised while waiting
    NotLoopback,   // connect: the target is outside 127.0.0.0/8 and only loopback is allowed
};

// Raised by another thread to end a wait early; checked at least every 100 ms.
using CancelFlag = const std::atomic<bool>*;

// Starts the platform's socket layer for the lifetime of the object (Winsock
// needs it; nothing to do on POSIX). Nestable.
class NetScope {
public:
    NetScope();
    ~NetScope();
    NetScope(const NetScope&) = delete;
    NetScope& operator=(const NetScope&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

class Socket {
public:
    Socket() = default;
    explicit Socket(NativeSocket handle) : handle_(handle) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoSocket; }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return handle_ != kNoSocket; }
    NativeSocket native() const { return handle_; }
    void close();

private:
    NativeSocket handle_ = kNoSocket;
};

// Dotted IPv4 text ("127.0.0.2") to a host-order number; false for anything else.
bool parseIPv4(std::string_view text, std::uint32_t& address);
std::string formatIPv4(std::uint32_t address);
inline bool isLoopback(std::uint32_t address) { return (address >> 24) == 127; }

// With TWSWTCP_LOOPBACK_ONLY set to anything but "" or "0" (tests, demos)
// nothing outside 127.0.0.0/8 is ever dialled, whatever address a window or
// a list holds.
bool loopbackOnly();
// Whether an address may be dialled under that rule.
bool mayDial(std::uint32_t address, bool onlyLoopback);

// Connects to host, a dotted IPv4 address, within timeoutMs. Anything else is
// NotFound at once: a name lookup cannot be bounded by the time-out.
Result connectTcp(std::string_view host, std::uint16_t port, int timeoutMs, Socket& out);

// Each wait for the socket to become ready is limited to idleTimeoutMs, so a
// slow but moving transfer goes on and a stalled one ends.
Result sendAll(Socket& socket, const void* data, std::size_t size, int idleTimeoutMs, CancelFlag cancel = nullptr);
// Sends between 1 and size bytes (size > 0) after at most one wait for room.
Result sendSome(Socket& socket, const void* data, std::size_t size, std::size_t& sent, int idleTimeoutMs,
                CancelFlag cancel = nullptr);
// Receives between 1 and capacity bytes; Closed at the end of the stream.
Result receiveSome(Socket& socket, void* data, std::size_t capacity, std::size_t& received, int idleTimeoutMs,
                   CancelFlag cancel = nullptr);
// Receives exactly size bytes; Closed when the stream ends before.
Result receiveAll(Socket& socket, void* data, std::size_t size, int idleTimeoutMs, CancelFlag cancel = nullptr);
// Waits until something arrives or the peer closes (Ok), or the time-out.
Result waitReadable(Socket& socket, int timeoutMs, CancelFlag cancel = nullptr);

// A listening, non-blocking socket on address:port (port 0: any free port).
Result listenTcp(std::uint32_t address, std::uint16_t port, Socket& out);
std::uint16_t localPort(const Socket& socket);
// Takes one pending connection of a non-blocking listener; TimedOut when none.
Result acceptConnection(Socket& listener, Socket& out);

// Text of the last socket error of this thread, for messages.
std::string lastErrorText();

}  // namespace zalohy::net
