#include "FolderLock.h"

#include "FileIo.h"

#include <system_error>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// How often a waiting run looks again.
constexpr std::chrono::milliseconds kRetryEvery{25};

}  // namespace

bool FolderLock::acquire(const std::string& folder) { return acquire(folder, defaultWait); }

bool FolderLock::acquire(const std::string& folder, std::chrono::milliseconds wait) {
    release();
    problem_.clear();
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::current_path(ec) : fileio::toPath(folder);
    path_ = dir / kFolderLockFile;
    const std::string shown = fileio::toUtf8(dir);

    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::string reason;
        switch (tryOnce(reason)) {
        case Attempt::Locked:
            state_ = State::Held;
            return true;
        case Attempt::Failed:
            state_ = State::Unavailable;
            problem_ = "Pracovní složku\n" + shown + "\nnelze zamknout pro přenos dat (" + reason +
                       ").\nZkontrolujte, zda do ní lze zapisovat, a opakujte zadání.";
            return false;
        case Attempt::Taken:
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            state_ = State::Busy;
            problem_ = "V pracovní složce\n" + shown +
                       "\nprávě probíhá jiné zálohování nebo odesílání.\nPočkejte, až skončí, a opakujte zadání.";
            return false;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
}

#ifdef _WIN32

// The lock file is opened for deletion on close, shared with every other
// opener. Once any of its handles is closed the file is on its way out and
// cannot be opened again until its last handle is gone: so while one run
// holds the lock on it, a run that opens it later can neither open nor lock
// it, and when the holder closes it the file disappears.
FolderLock::Attempt FolderLock::tryOnce(std::string& reason) {
    HANDLE h = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE && betweenOpenAndLock) betweenOpenAndLock();
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
            // A file on its way out answers "access denied" too; only a file
            // that is not there at all means the folder cannot take one.
            if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) return Attempt::Taken;
            const DWORD why = GetLastError();
            if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return Attempt::Taken;
        }
        reason = "systémová chyba " + std::to_string(error);
        return Attempt::Failed;
    }
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return Attempt::Taken;
        reason = "systémová chyba " + std::to_string(error);
        return Attempt::Failed;
    }
    handle_ = h;
    return Attempt::Locked;
}

void FolderLock::release() {
    if (handle_) {
        OVERLAPPED at{};
        UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &at);
        CloseHandle(static_cast<HANDLE>(handle_));  // deletes the file
        handle_ = nullptr;
    }
    state_ = State::Released;
}


// A held file is locked beyond its end, so the lock never stands in the way of
// the file's own reads and writes; its handle shares deletion, so the holder
// can rename it while it holds it.
namespace {
constexpr DWORD kHeldOffsetHigh = 0x7FFFFFFF;

bool lockHeld(HANDLE h) {
    OVERLAPPED at{};
    at.OffsetHigh = kHeldOffsetHigh;
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
}  // namespace

std::FILE* createHeldFile(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (!lockHeld(h)) {
        CloseHandle(h);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "w+b");
    if (!f) _close(fd);
    return f;
}

bool removeUnlessHeld(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    if (lockHeld(h)) {
        // Deleted through the handle that holds the lock: the very file checked.
        FILE_DISPOSITION_INFO gone{};
        gone.DeleteFile = TRUE;
        removed = SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone) != 0;
    }
    CloseHandle(h);
    return removed;
}


#else

FolderLock::Attempt FolderLock::tryOnce(std::string& reason) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return Attempt::Failed;
    }
    if (betweenOpenAndLock) betweenOpenAndLock();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK || error == EINTR) return Attempt::Taken;
        reason = std::strerror(error);
        return Attempt::Failed;
    }
    // The holder removes the file before it unlocks. A lock won on a removed
    // file locks nothing: look again at the name's present file.
    struct stat locked {};
    struct stat named {};
    if (::fstat(fd, &locked) != 0 || ::lstat(path_.c_str(), &named) != 0 || locked.st_dev != named.st_dev ||
        locked.st_ino != named.st_ino) {
        ::close(fd);
        return Attempt::Taken;
    }
    fd_ = fd;
    return Attempt::Locked;
}

void FolderLock::release() {
    if (fd_ >= 0) {
        // Removed while still locked, so that nobody can lock the old file
        // after us and think he holds the folder.
        ::unlink(path_.c_str());
        ::close(fd_);
        fd_ = -1;
    }
    state_ = State::Released;
}


namespace {
// True when fd is the file the name now gives (not removed or replaced).
bool stillNamed(int fd, const fs::path& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}
}  // namespace

std::FILE* createHeldFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return nullptr;
    // A sweep may have removed the new file before it was locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !stillNamed(fd, path)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "w+b");
    if (!f) ::close(fd);
    return f;
}

bool removeUnlessHeld(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        // A symbolic link holds nothing: the link itself goes.
        std::error_code ec;
        return errno == ELOOP && fs::is_symlink(fs::symlink_status(path, ec)) && ::unlink(path.c_str()) == 0;
    }
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, path)) removed = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

#endif

}  // namespace zalohy
