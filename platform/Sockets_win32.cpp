// The sockets on Windows (Winsock 2).
#include "SocketCalls.h"

#include <cerrno>

namespace zalohy::platform {

bool startSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSockets() { WSACleanup(); }

NativeSocket newTcpSocket() { return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

bool makeNonBlocking(NativeSocket s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

void closeSocket(NativeSocket s) { closesocket(s); }

int lastSocketError() { return WSAGetLastError(); }
bool wouldBlock(int error) { return error == WSAEWOULDBLOCK; }
bool interrupted(int error) { return error == WSAEINTR; }
bool connectPending(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
bool addressInUse(int error) { return error == WSAEADDRINUSE; }
std::string socketErrorText() { return "socket error " + std::to_string(WSAGetLastError()); }

int pollSockets(pollfd* fds, unsigned count, int timeoutMs) {
    const int n = WSAPoll(fds, count, timeoutMs);
    if (n < 0) errno = EIO;  // Winsock leaves errno alone
    return n;
}

int waitConnected(NativeSocket s, int timeoutMs) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int n = select(0, nullptr, &writable, &failed, &tv);
    return n > 0 ? 1 : n;
}

void setListenerAddressRule(NativeSocket listener) {
    int exclusive = 1;
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
}

NativeSocket acceptNonBlocking(NativeSocket listener) {
    const NativeSocket s = ::accept(listener, nullptr, nullptr);
    if (s == kNoSocket || makeNonBlocking(s)) return s;
    closeSocket(s);
    return kNoSocket;
}

}  // namespace zalohy::platform
