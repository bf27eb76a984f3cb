// Waiting on several sockets at once, for the emulator's server loop: pollfd
// and POLLIN come from the platform (SocketCalls.h), and pollMany is poll on
// POSIX and WSAPoll on Windows.
#pragma once

#include "SocketCalls.h"

#include <cstddef>

namespace zalohy::net {

// Like poll: the number of entries with events, 0 when the time-out passed or
// a signal interrupted the wait, -1 when the wait failed.
int pollMany(pollfd* fds, std::size_t count, int timeoutMs);

}  // namespace zalohy::net
