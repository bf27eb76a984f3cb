// The system's socket declarations (sockaddr_in, send, recv, pollfd, POLLIN)
// for the files that call the system's sockets themselves, and the few
// names in which POSIX and Winsock differ there.
#pragma once

#include "Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <cstddef>

namespace zalohy::platform {

#ifdef _WIN32
using SocketIoSize = int;  // Winsock's send and recv take int lengths
inline constexpr int kSendFlags = 0;
#else
using SocketIoSize = std::size_t;
#ifdef MSG_NOSIGNAL
inline constexpr int kSendFlags = MSG_NOSIGNAL;
#else
inline constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on each socket instead
#endif
#endif

// poll on POSIX, WSAPoll on Windows (which then also sets errno to EIO on
// failure, as callers look at it like poll's).
int pollSockets(pollfd* fds, unsigned count, int timeoutMs);

}  // namespace zalohy::platform
