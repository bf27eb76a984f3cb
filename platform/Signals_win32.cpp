// The stop request on Windows: the console's control events.
#include "Signals.h"

#include "SocketCalls.h"

namespace zalohy::platform {

namespace {

// The writing end of the pair; it lives as long as the process.
NativeSocket wakeWriter = kNoSocket;

BOOL WINAPI onConsoleEvent(DWORD event) {
    const char byte = 1;
    send(wakeWriter, &byte, 1, 0);
    // After a close, log-off or shut-down event Windows ends the process as
    // soon as this returns: give the server a moment to stop in order.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(2000);
    return TRUE;
}

// A connected pair of loopback sockets, both blocking; false with
// lastSocketError when it cannot be made.
bool loopbackPair(NativeSocket& reader, NativeSocket& writer) {
    const NativeSocket listener = newTcpSocket();
    if (listener == kNoSocket) return false;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof at;
    const bool listening = bind(listener, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 &&
                           listen(listener, 1) == 0 &&
                           getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) == 0;
    writer = listening ? newTcpSocket() : kNoSocket;
    if (writer != kNoSocket && connect(writer, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0)
        reader = accept(listener, nullptr, nullptr);
    const int error = WSAGetLastError();
    closeSocket(listener);
    WSASetLastError(error);
    return reader != kNoSocket;
}

}  // namespace

bool watchStopRequest(NativeSocket& wake, std::string& error) {
    static NativeSocket reader = kNoSocket;
    if (!loopbackPair(reader, wakeWriter)) {
        error = "cannot make the stop signal's socket pair: " + socketErrorText();
        return false;
    }
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        error = "cannot install the console handler";
        return false;
    }
    wake = reader;
    return true;
}

}  // namespace zalohy::platform
