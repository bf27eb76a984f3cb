#include "Net.h"
#include "NetPoll.h"

#include "SocketCalls.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace zalohy::net {

using namespace platform;

namespace {

using Clock = std::chrono::steady_clock;

// One chunk per send/recv call: Winsock takes int lengths.
constexpr std::size_t kMaxChunk = std::size_t(1) << 30;

// Options every connection gets: no SIGPIPE where the send flag cannot say
// so, and no Nagle delay for the small request and answer headers.
void tuneConnection(NativeSocket s) {
#ifdef SO_NOSIGPIPE
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    int noDelay = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1'000'000));
}

// Waits for `events` on one socket. Ok also when the socket reports an error
// or hang-up: the next send/recv then tells what happened.
Result waitFor(NativeSocket s, short events, int timeoutMs, CancelFlag cancel) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel && cancel->load()) return Result::Cancelled;
        const int left = millisecondsLeft(deadline);
        pollfd fd{};
        fd.fd = s;
        fd.events = events;
        const int n = pollSockets(&fd, 1, cancel ? std::min(left, 100) : left);
        if (n > 0) return Result::Ok;
        if (n < 0 && !interrupted(lastSocketError())) return Result::Failed;
        if (n == 0 && left == 0) return Result::TimedOut;
    }
}

// Waits for a non-blocking connect to finish and tells how it ended.
Result finishConnect(NativeSocket s, int timeoutMs) {
    const int waited = waitConnected(s, timeoutMs);
    if (waited == 0) return Result::TimedOut;
    if (waited < 0) return Result::Failed;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return Result::Failed;
    return error == 0 ? Result::Ok : Result::Refused;
}

Result connectOne(std::uint32_t address, std::uint16_t port, Clock::time_point deadline, Socket& out) {
    Socket s(newTcpSocket());
    if (!s.valid() || !makeNonBlocking(s.native())) return Result::Failed;
    tuneConnection(s.native());
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    if (::connect(s.native(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (!connectPending(lastSocketError())) return Result::Refused;
        const Result r = finishConnect(s.native(), millisecondsLeft(deadline));
        if (r != Result::Ok) return r;
    }
    out = std::move(s);
    return Result::Ok;
}

}  // namespace

NetScope::NetScope() : ok_(startSockets()) {}

NetScope::~NetScope() {
    if (ok_) stopSockets();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = kNoSocket;
    }
    return *this;
}

void Socket::close() {
    if (handle_ != kNoSocket) closeSocket(handle_);
    handle_ = kNoSocket;
}

bool parseIPv4(std::string_view text, std::uint32_t& address) {
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::uint32_t part = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + static_cast<std::uint32_t>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255) return false;
        value = (value << 8) | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    if (i != text.size()) return false;
    address = value;
    return true;
}

std::string formatIPv4(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 255) + '.' +
           std::to_string((address >> 8) & 255) + '.' + std::to_string(address & 255);
}

bool loopbackOnly() {
    const char* value = std::getenv("TWSWTCP_LOOPBACK_ONLY");
    return value && *value && std::string_view(value) != "0";
}

bool mayDial(std::uint32_t address, bool onlyLoopback) { return !onlyLoopback || isLoopback(address); }

Result connectTcp(std::string_view host, std::uint16_t port, int timeoutMs, Socket& out) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint32_t address = 0;
    if (!parseIPv4(host, address)) return Result::NotFound;
    // A safety switch for tests and demos on machines that must never reach
    // a real network: the target must be a loopback address.
    if (!mayDial(address, loopbackOnly())) return Result::NotLoopback;
    return connectOne(address, port, deadline, out);
}

Result sendSome(Socket& socket, const void* data, std::size_t size, std::size_t& sent, int idleTimeoutMs,
                CancelFlag cancel) {
    sent = 0;
    for (;;) {
        const auto n = ::send(socket.native(), static_cast<const char*>(data),
                              static_cast<SocketIoSize>(std::min(size, kMaxChunk)), kSendFlags);
        if (n > 0) {
            sent = static_cast<std::size_t>(n);
            return Result::Ok;
        }
        const int error = lastSocketError();
        if (interrupted(error)) continue;
        if (!wouldBlock(error)) return Result::Failed;
        const Result r = waitFor(socket.native(), POLLOUT, idleTimeoutMs, cancel);
        if (r != Result::Ok) return r;
    }
}

Result sendAll(Socket& socket, const void* data, std::size_t size, int idleTimeoutMs, CancelFlag cancel) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        std::size_t sent = 0;
        const Result r = sendSome(socket, next, size, sent, idleTimeoutMs, cancel);
        if (r != Result::Ok) return r;
        next += sent;
        size -= sent;
    }
    return Result::Ok;
}

Result receiveSome(Socket& socket, void* data, std::size_t capacity, std::size_t& received, int idleTimeoutMs,
                   CancelFlag cancel) {
    received = 0;
    for (;;) {
        const auto n =
            ::recv(socket.native(), static_cast<char*>(data), static_cast<SocketIoSize>(std::min(capacity, kMaxChunk)), 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Result::Ok;
        }
        if (n == 0) return Result::Closed;
        const int error = lastSocketError();
        if (interrupted(error)) continue;
        if (!wouldBlock(error)) return Result::Failed;
        const Result r = waitFor(socket.native(), POLLIN, idleTimeoutMs, cancel);
        if (r != Result::Ok) return r;
    }
}

Result receiveAll(Socket& socket, void* data, std::size_t size, int idleTimeoutMs, CancelFlag cancel) {
    char* next = static_cast<char*>(data);
    while (size > 0) {
        std::size_t got = 0;
        const Result r = receiveSome(socket, next, size, got, idleTimeoutMs, cancel);
        if (r != Result::Ok) return r;
        next += got;
        size -= got;
    }
    return Result::Ok;
}

Result waitReadable(Socket& socket, int timeoutMs, CancelFlag cancel) {
    return waitFor(socket.native(), POLLIN, timeoutMs, cancel);
}

Result listenTcp(std::uint32_t address, std::uint16_t port, Socket& out) {
    Socket s(newTcpSocket());
    if (!s.valid()) return Result::Failed;
    setListenerAddressRule(s.native());
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(address);
    if (::bind(s.native(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
        return addressInUse(lastSocketError()) ? Result::AddressInUse : Result::Failed;
    if (::listen(s.native(), 64) != 0 || !makeNonBlocking(s.native())) return Result::Failed;
    out = std::move(s);
    return Result::Ok;
}

std::uint16_t localPort(const Socket& socket) {
    sockaddr_in at{};
    socklen_t length = sizeof at;
    if (getsockname(socket.native(), reinterpret_cast<sockaddr*>(&at), &length) != 0) return 0;
    return ntohs(at.sin_port);
}

Result acceptConnection(Socket& listener, Socket& out) {
    for (;;) {
        const NativeSocket s = acceptNonBlocking(listener.native());
        if (s != kNoSocket) {
            Socket accepted(s);
            tuneConnection(s);
            out = std::move(accepted);
            return Result::Ok;
        }
        const int error = lastSocketError();
        if (interrupted(error)) continue;
        return wouldBlock(error) ? Result::TimedOut : Result::Failed;
    }
}

std::string lastErrorText() { return socketErrorText(); }

int pollMany(pollfd* fds, std::size_t count, int timeoutMs) {
    const int n = pollSockets(fds, static_cast<unsigned>(count), timeoutMs);
    if (n < 0 && interrupted(lastSocketError())) return 0;
    return n;
}

}  // namespace zalohy::net
