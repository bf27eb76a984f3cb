// Runs the scale emulator as a child process for tests and benchmarks: on
// loopback addresses, with a data folder and any extra options, waiting for
// its ready line and stopping it when the object goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zalohy::test {

struct EmulatorSetup {
    std::filesystem::path dataDir;       // the emulator's --data folder
    std::vector<std::string> addresses;  // dotted loopback addresses, without port
    std::uint16_t port = 0;              // 0: the emulator picks a free port
    bool seed = false;                   // --seed
    std::vector<std::string> extraArgs;  // fault options and the like
    std::filesystem::path logFile;       // its output; default dataDir/"emulator.log"
};

class EmulatorProcess {
public:
    explicit EmulatorProcess(EmulatorSetup setup);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Starts the emulator and waits for its ready line. False when it ends or
    // is not ready in time; error() then says why, with its output.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // SIGTERM, then SIGKILL if it has not ended within a few seconds. The
    // exit code, or -1 when it was not running or had to be killed.
    int stop();

    std::uint16_t port() const { return port_; }
    // "127.0.0.2:PORT": what the library is given to reach scale i.
    std::string scaleAddress(std::size_t i = 0) const;
    std::filesystem::path scaleFolder(std::size_t i = 0) const;
    std::filesystem::path scaleFile(std::size_t i, int kindId) const;
    // Everything the emulator has printed so far.
    std::string output() const;
    const std::string& error() const { return error_; }

    // The emulator program of this build.
    static std::filesystem::path binaryPath();

private:
    EmulatorSetup setup_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::string error_;
};

struct EmulatorRun {
    int exitCode = -1;  // -1: killed after the time-out
    std::string output;
};
// Runs the emulator with exactly these arguments to its end (killed after timeout).
EmulatorRun runEmulator(const std::vector<std::string>& args, std::chrono::milliseconds timeout);

// count consecutive addresses 127.0.0.first, 127.0.0.first+1, ...
std::vector<std::string> loopbackAddresses(std::size_t count, int first = 2);

}  // namespace zalohy::test
