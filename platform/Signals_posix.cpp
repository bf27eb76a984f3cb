// The stop request on POSIX: SIGINT and SIGTERM.
#include "Signals.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zalohy::platform {

namespace {

int wakeWrite = -1;

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(wakeWrite, &byte, 1);
}

}  // namespace

bool watchStopRequest(NativeSocket& wake, std::string& error) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wakeWrite = pipeEnds[1];
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    wake = pipeEnds[0];
    return true;
}

}  // namespace zalohy::platform
