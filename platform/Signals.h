// A console program's stop request as a handle a socket wait loop can watch:
// SIGINT or SIGTERM on POSIX (through a pipe), Ctrl+C, Ctrl+Break or closing
// the console window on Windows (through a loopback socket pair, since
// WSAPoll waits on sockets only). Signals_posix.cpp and Signals_win32.cpp
// implement it.
#pragma once

#include "Sockets.h"

#include <string>

namespace zalohy::platform {

// Installs the handlers once; `wake` becomes readable when a stop is asked
// for. False with a message when it cannot be made. On Windows the socket
// layer must be started (startSockets) first. Writing to a closed connection
// or pipe no longer ends the process (SIGPIPE ignored).
bool watchStopRequest(NativeSocket& wake, std::string& error);

}  // namespace zalohy::platform
