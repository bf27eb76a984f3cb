// The emulator's stop request as a handle the server's wait loop watches:
// SIGINT or SIGTERM on POSIX (through a pipe), Ctrl+C, Ctrl+Break or closing
// the console window on Windows (through a loopback socket pair, since
// WSAPoll waits on sockets only).
#pragma once

#include "Net.h"

#include <string>

namespace zalohy::emulator {

// Installs the handlers once; the returned handle becomes readable when a
// stop is asked for. False with a message when it cannot be made.
bool installStopSignal(net::NativeSocket& wake, std::string& error);

}  // namespace zalohy::emulator
