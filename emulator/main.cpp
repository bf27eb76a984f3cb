// scale-emulator: serves emulated scales to our scale library over TCP, so
// the program can be used and tested without a scale. See PROTOCOL.md.
#include "EmulatorOptions.h"
#include "EmulatorServer.h"
#include "Signals.h"

#include <cstdio>

#ifndef ZALOHY_VERSION
#define ZALOHY_VERSION "unknown"
#endif

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

    const zalohy::net::NetScope sockets;
    zalohy::net::NativeSocket wake;
    if (!sockets.ok() || !zalohy::platform::watchStopRequest(wake, error)) {
        std::fprintf(stderr, "scale-emulator: %s\n", sockets.ok() ? error.c_str() : "cannot start Winsock");
        return 1;
    }

    EmulatorServer server(std::move(options));
    if (!server.start(error)) {
        std::fprintf(stderr, "scale-emulator: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.readyLine().c_str());
    std::fflush(stdout);
    server.serve(wake);
    std::printf("stopped\n");
    std::fflush(stdout);
    return 0;
}
