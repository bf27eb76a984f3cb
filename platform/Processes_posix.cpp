// Processes on Linux and other POSIX systems.
#include "Processes.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char** environ;

namespace fs = std::filesystem;

namespace zalohy::platform {

ProcessId currentProcessId() { return ::getpid(); }

fs::path ownExecutable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

ChildProcesses::ChildProcesses() = default;
ChildProcesses::~ChildProcesses() = default;

std::optional<ChildProcesses::Child> ChildProcesses::start(const fs::path& program,
                                                           const std::vector<std::string>& args) {
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
    return Child{pid};
}

namespace {

using Ended = std::optional<std::pair<std::size_t, int>>;

// The first of `children` that has ended, let go of; nothing while all run.
Ended reapEnded(const std::vector<ChildProcesses::Child>& children) {
    for (std::size_t i = 0; i < children.size(); ++i) {
        int raw = 0;
        pid_t pid;
        while ((pid = ::waitpid(static_cast<pid_t>(children[i].handle), &raw, WNOHANG)) < 0 && errno == EINTR) {
        }
        // A child that cannot be waited for (let go of already) has not ended well.
        if (pid != 0) return std::make_pair(i, pid > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1);
    }
    return std::nullopt;
}

// Waits up to `ms` (-1: no limit) until one of `children` may have ended:
// a process descriptor of each, readable once its child ends (Linux 5.3 and
// later). False where the system has none, and the caller waits a tick.
bool waitForAnEnd(const std::vector<ChildProcesses::Child>& children, int ms) {
#ifdef SYS_pidfd_open
    std::vector<pollfd> fds;
    bool opened = true;
    for (const ChildProcesses::Child& child : children) {
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(child.handle), 0));
        if (fd < 0) {
            opened = false;
            break;
        }
        fds.push_back({fd, POLLIN, 0});
    }
    if (opened) ::poll(fds.data(), fds.size(), ms);
    for (const pollfd& fd : fds) ::close(fd.fd);
    return opened;
#else
    (void)children, (void)ms;
    return false;
#endif
}

}  // namespace

std::optional<std::pair<std::size_t, int>> ChildProcesses::waitAny(const std::vector<Child>& children,
                                                                   std::optional<std::chrono::milliseconds> timeout) {
    if (children.empty()) return std::nullopt;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        if (Ended ended = reapEnded(children)) return ended;
        int ms = -1;
        if (timeout) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            ms = static_cast<int>(std::min<long long>(left, 1'000'000));
        }
        if (!waitForAnEnd(children, ms)) ::usleep(static_cast<useconds_t>(ms < 0 || ms > 10 ? 10'000 : ms * 1000));
    }
}

bool dieWithParent(ProcessId parent) {
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the request: then nobody kills us.
    return ::getppid() == parent;
#else
    (void)parent;
    return true;
#endif
}
}  // namespace zalohy::platform
