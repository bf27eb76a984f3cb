// The stop request on Windows: the console's control events.
#include "StopSignal.h"

#include <windows.h>

namespace zalohy::emulator {

namespace {

// The writing end of the pair; it lives as long as the process.
net::Socket* wakeWriter = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    const char byte = 1;
    send(wakeWriter->native(), &byte, 1, 0);
    // After a close, log-off or shut-down event Windows ends the process as
    // soon as this returns: give the server a moment to stop in order.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(2000);
    return TRUE;
}

}  // namespace

bool installStopSignal(net::NativeSocket& wake, std::string& error) {
    using net::Result;
    static net::Socket reader, writer;
    net::Socket listener;
    const std::uint32_t loopback = 0x7f000001;
    if (net::listenTcp(loopback, 0, listener) != Result::Ok ||
        net::connectTcp("127.0.0.1", net::localPort(listener), 5000, writer) != Result::Ok ||
        net::waitReadable(listener, 5000) != Result::Ok || net::acceptConnection(listener, reader) != Result::Ok) {
        error = "cannot make the stop signal's socket pair: " + net::lastErrorText();
        return false;
    }
    wakeWriter = &writer;
    if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
        error = "cannot install the console handler";
        return false;
    }
    wake = reader.native();
    return true;
}

}  // namespace zalohy::emulator
