// scale-emulator: serves emulated scales to our scale library over TCP, so
// the program can be used and tested without a scale. See PROTOCOL.md.
#include "EmulatorOptions.h"
#include "EmulatorServer.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#ifndef ZALOHY_VERSION
#define ZALOHY_VERSION "unknown"
#endif

namespace {

int wakeWrite = -1;

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(wakeWrite, &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zalohy::emulator;
    EmulatorOptions options;
    std::string error;
    switch (parseOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
        std::fputs(usageText(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case ParseOutcome::Version:
        std::printf("scale-emulator %s\n", ZALOHY_VERSION);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    case ParseOutcome::Error:
        std::fprintf(stderr, "scale-emulator: %s (see 'scale-emulator --help')\n", error.c_str());
        return 2;
    case ParseOutcome::Run:
        break;
    }

    int wake[2];
    if (::pipe(wake) != 0) {
        std::perror("scale-emulator: pipe");
        return 1;
    }
    wakeWrite = wake[1];
    ::fcntl(wake[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    EmulatorServer server(std::move(options));
    if (!server.start(error)) {
        std::fprintf(stderr, "scale-emulator: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.readyLine().c_str());
    std::fflush(stdout);
    server.serve(wake[0]);
    std::printf("stopped\n");
    std::fflush(stdout);
    return 0;
}
