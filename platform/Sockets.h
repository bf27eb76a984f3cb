// The system's TCP sockets (POSIX or Winsock) in the few calls where the two
// differ: starting the layer, making, closing and unblocking a socket, the
// error codes, waiting for a connect, taking a connection, a listener's
// address rule. The wire layer (scalelib/Net.cpp) builds its time-outs and
// rules on them; Sockets_posix.cpp and Sockets_win32.cpp implement them.
// No system header here: SocketCalls.h brings those to the files that call
// the system themselves.
#pragma once

#include <cstdint>
#include <string>

namespace zalohy::platform {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
inline constexpr NativeSocket kNoSocket = ~NativeSocket(0);
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

// Winsock's start and end (WSAStartup, WSACleanup); nothing on POSIX.
bool startSockets();
void stopSockets();

// A TCP socket over IPv4 that no child process inherits.
NativeSocket newTcpSocket();
bool makeNonBlocking(NativeSocket s);
void closeSocket(NativeSocket s);

// The last socket error of this thread, and what kind it is.
int lastSocketError();
bool wouldBlock(int error);
bool interrupted(int error);
bool connectPending(int error);
bool addressInUse(int error);
// Its text, for messages.
std::string socketErrorText();

// Waits up to timeoutMs for a non-blocking connect to finish: 1 when it did
// (well or not: SO_ERROR tells), 0 when the time ran out, -1 when the wait
// failed. (WSAPoll on older Windows never reports a refused connect; select
// does.)
int waitConnected(NativeSocket s, int timeoutMs);

// A listener's address rule, set before it binds: a restarted emulator may
// take its port again while old connections linger (POSIX), and a port
// another socket listens on stays refused (both).
void setListenerAddressRule(NativeSocket listener);

// Takes one pending connection of a non-blocking listener, itself
// non-blocking and not inherited; kNoSocket with lastSocketError when none.
NativeSocket acceptNonBlocking(NativeSocket listener);

}  // namespace zalohy::platform
