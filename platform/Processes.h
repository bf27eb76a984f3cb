// Processes: this one's id and file, children that die with their parent
// and are waited for without polling. Processes_posix.cpp and
// Processes_win32.cpp implement it; the build takes one.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zalohy::platform {

using ProcessId = std::int64_t;
ProcessId currentProcessId();
// The running program's own file, or an empty path when it cannot be told.
std::filesystem::path ownExecutable();

// Child processes that die with this one: on Windows they belong to a job
// object that kills them when this process ends; on Linux the child asks for
// the same itself (dieWithParent).
class ChildProcesses {
public:
    struct Child {
        std::intptr_t handle = -1;  // a process handle or a process id
    };
    ChildProcesses();
    ~ChildProcesses();
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Starts `program` with `args` (UTF-8, each reaching the child intact),
    // with this process's environment and working folder.
    std::optional<Child> start(const std::filesystem::path& program, const std::vector<std::string>& args);
    // Waits for one of `children` (at most 64) to end, without polling: its
    // index and its exit status, -1 when it did not end normally (a signal,
    // a status beyond 255). Nothing when none ended within `timeout` (none
    // given: as long as it takes). The ended child is let go of (ask once).
    static std::optional<std::pair<std::size_t, int>> waitAny(
        const std::vector<Child>& children, std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    // The job object on Windows; unused on POSIX, where each child asks itself.
    [[maybe_unused]] std::intptr_t job_ = -1;
};

// Called first in a child process: the child is killed when its parent ends
// (Linux). False when the process that started it, `parent`, is gone already.
bool dieWithParent(ProcessId parent);
}  // namespace zalohy::platform
