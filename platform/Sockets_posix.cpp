// The sockets on Linux and other POSIX systems.
#include "SocketCalls.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zalohy::platform {

bool startSockets() { return true; }
void stopSockets() {}

NativeSocket newTcpSocket() {
#ifdef SOCK_CLOEXEC
    return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
#else
    const NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != kNoSocket) fcntl(s, F_SETFD, FD_CLOEXEC);
    return s;
#endif
}

bool makeNonBlocking(NativeSocket s) {
    const int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

void closeSocket(NativeSocket s) { ::close(s); }

int lastSocketError() { return errno; }
bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
bool interrupted(int error) { return error == EINTR; }
bool connectPending(int error) { return error == EINPROGRESS; }
bool addressInUse(int error) { return error == EADDRINUSE; }
std::string socketErrorText() { return std::strerror(errno); }

int pollSockets(pollfd* fds, unsigned count, int timeoutMs) { return ::poll(fds, count, timeoutMs); }

int waitConnected(NativeSocket s, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fd{s, POLLOUT, 0};
        const int n = ::poll(&fd, 1, left <= 0 ? 0 : static_cast<int>(left));
        if (n > 0) return 1;
        if (n < 0 && errno != EINTR) return -1;
        if (n == 0 && left <= 0) return 0;
    }
}

void setListenerAddressRule(NativeSocket listener) {
    int reuse = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
}

NativeSocket acceptNonBlocking(NativeSocket listener) {
#if defined(__linux__)
    return ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
#else
    // BSDs do not pass the listener's non-blocking mode on.
    const NativeSocket s = ::accept(listener, nullptr, nullptr);
    if (s == kNoSocket || makeNonBlocking(s)) return s;
    closeSocket(s);
    return kNoSocket;
#endif
}

}  // namespace zalohy::platform
