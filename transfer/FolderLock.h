// An exclusive lock on a working folder for the duration of one run.
//
// The scale library leaves its status in the file "error" of the working
// folder, and the runs exchange the scale data files and "temp.dat" there, so
// two runs in one folder (two copies of the program, or a window and a
// scheduled zaltool) would read each other's status and files. Every run
// therefore locks its working folder first, through the lock file
// ".zalohy.lock" in it: flock on Linux, LockFileEx on Windows. A second run
// waits a few seconds for the first, then gives up and says why.
//
// The lock belongs to the process: when a run crashes the system drops it.
// The lock file is removed when the lock is released (on Windows when its last
// handle closes), so a folder keeps no trace of a finished run.
#pragma once

#include "Files.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <filesystem>
#include <string>

namespace zalohy {

inline constexpr const char* kFolderLockFile = ".zalohy.lock";

class FolderLock {
public:
    enum class State { Released, Held, Busy, Unavailable };

    // How long acquire() waits for another run by default. Tests shorten it.
    static inline std::chrono::milliseconds defaultWait{5000};
    // Called between the opening of the lock file and its locking (tests
    // change the file there).
    static inline std::function<void()> betweenOpenAndLock;

    FolderLock() = default;
    ~FolderLock() { release(); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Locks `folder` (UTF-8; empty: the working folder), waiting up to `wait`
    // while another run holds it. False when another run still holds it after
    // that (Busy) or the lock file cannot be made at all (Unavailable).
    bool acquire(const std::string& folder = {});
    bool acquire(const std::string& folder, std::chrono::milliseconds wait);
    // Removes the lock file and unlocks; nothing when not held.
    void release();

    State state() const { return state_; }
    // After a failed acquire: a Czech sentence for the user (UTF-8) that names
    // the folder and says what to do; empty otherwise.
    const std::string& problem() const { return problem_; }

private:
    std::filesystem::path path_;
    std::intptr_t lock_ = platform::kNoLock;
    State state_ = State::Released;
    std::string problem_;
};

// The same lock on files that a job holds while it writes them (a temporary
// archive beside its final name): a sweep removes only the files nobody holds.
using platform::createHeldFile;
using platform::removeUnlessHeld;

}  // namespace zalohy
