// Processes on Linux and other POSIX systems.
#include "Processes.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
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

std::pair<std::size_t, int> ChildProcesses::waitAny(const std::vector<Child>& children) {
    for (;;) {
        int raw = 0;
        const pid_t pid = ::waitpid(-1, &raw, 0);
        if (pid < 0 && errno == EINTR) continue;
        for (std::size_t i = 0; i < children.size(); ++i)
            if (children[i].handle == pid) return {i, WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
        if (pid < 0) return {0, -1};
    }
}

std::optional<int> ChildProcesses::ended(const Child& child) {
    int raw = 0;
    pid_t pid;
    while ((pid = ::waitpid(static_cast<pid_t>(child.handle), &raw, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (pid == 0) return std::nullopt;
    return pid > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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
