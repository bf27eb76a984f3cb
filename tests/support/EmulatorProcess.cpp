#include "EmulatorProcess.h"

#include "ScratchFolder.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <sys/wait.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace zalohy::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Starts the emulator with its output going to logFile.
pid_t spawn(const std::vector<std::string>& args, const fs::path& logFile) {
    std::vector<std::string> words{EmulatorProcess::binaryPath().string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const int out = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) return -1;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
#ifdef __linux__
        // A test that crashes must not leave its emulator behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
#endif
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(in);
    return pid;
}

// The exit code once the process has ended, -1 if it was killed by a signal,
// or false while it is still running when the time is up.
bool waitForExit(pid_t pid, std::chrono::milliseconds timeout, int& exitCode) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || r < 0) {
            exitCode = r == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int terminate(pid_t pid) {
    int exitCode = -1;
    ::kill(pid, SIGTERM);
    if (waitForExit(pid, std::chrono::seconds(5), exitCode)) return exitCode;
    ::kill(pid, SIGKILL);
    waitForExit(pid, std::chrono::seconds(5), exitCode);
    return -1;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

fs::path EmulatorProcess::binaryPath() { return ZALOHY_EMULATOR_PATH; }

EmulatorProcess::EmulatorProcess(EmulatorSetup setup) : setup_(std::move(setup)) {
    if (setup_.logFile.empty()) setup_.logFile = setup_.dataDir / "emulator.log";
}

EmulatorProcess::~EmulatorProcess() { stop(); }

bool EmulatorProcess::start(std::chrono::milliseconds timeout) {
    std::vector<std::string> args{"--data", setup_.dataDir.string()};
    for (const std::string& address : setup_.addresses) {
        args.push_back("--listen");
        args.push_back(address + ":" + std::to_string(setup_.port));
    }
    if (setup_.seed) args.push_back("--seed");
    args.insert(args.end(), setup_.extraArgs.begin(), setup_.extraArgs.end());

    std::error_code ec;
    fs::create_directories(setup_.dataDir, ec);
    pid_ = spawn(args, setup_.logFile);
    if (pid_ < 0) {
        error_ = "cannot start " + binaryPath().string();
        return false;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const std::string text = output();
        const std::size_t ready = text.find("ready port=");
        if (ready != std::string::npos && text.find('\n', ready) != std::string::npos) {
            port_ = static_cast<std::uint16_t>(std::strtoul(text.c_str() + ready + 11, nullptr, 10));
            return true;
        }
        int exitCode = 0;
        if (waitForExit(pid_, std::chrono::milliseconds(0), exitCode)) {
            pid_ = -1;
            error_ = "the emulator ended with " + std::to_string(exitCode) + ":\n" + output();
            return false;
        }
        if (Clock::now() >= deadline) {
            stop();
            error_ = "the emulator did not get ready:\n" + output();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int EmulatorProcess::stop() {
    if (pid_ < 0) return -1;
    const int exitCode = terminate(pid_);
    pid_ = -1;
    return exitCode;
}

std::string EmulatorProcess::scaleAddress(std::size_t i) const {
    return setup_.addresses.at(i) + ":" + std::to_string(port_);
}

fs::path EmulatorProcess::scaleFolder(std::size_t i) const { return setup_.dataDir / setup_.addresses.at(i); }

fs::path EmulatorProcess::scaleFile(std::size_t i, int kindId) const {
    return scaleFolder(i) / (std::to_string(kindId) + ".dat");
}

std::string EmulatorProcess::output() const { return readText(setup_.logFile); }

EmulatorRun runEmulator(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    ScratchFolder folder("zalohy-emulator-run-");
    const fs::path log = folder / "output.log";
    EmulatorRun run;
    const pid_t pid = spawn(args, log);
    if (pid < 0) return run;
    if (!waitForExit(pid, timeout, run.exitCode)) {
        terminate(pid);
        run.exitCode = -1;
    }
    run.output = readText(log);
    return run;
}

std::vector<std::string> loopbackAddresses(std::size_t count, int first) {
    std::vector<std::string> addresses;
    for (std::size_t i = 0; i < count; ++i) addresses.push_back("127.0.0." + std::to_string(first + static_cast<int>(i)));
    return addresses;
}

}  // namespace zalohy::test
