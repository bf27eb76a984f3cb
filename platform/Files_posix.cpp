// Files and folders on Linux and other POSIX systems.
#include "Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

fs::path pathFromUtf8(const std::string& utf8) { return fs::path(utf8); }

std::FILE* openFile(const fs::path& path, const char* mode) {
    // "e": close on exec, so a child process never inherits the file.
    const std::string m = std::string(mode) + "e";
    return std::fopen(path.c_str(), m.c_str());
}

bool seekFile(std::FILE* file, std::int64_t offset, int whence) {
    return ::fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

std::int64_t tellFile(std::FILE* file) { return static_cast<std::int64_t>(::ftello(file)); }

bool syncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
    // A file system that cannot sync (EINVAL) has nothing more to do.
    return ::fsync(::fileno(file)) == 0 || errno == EINVAL;
}

void syncFolder(const fs::path& folder) {
    const fs::path name = folder.empty() ? fs::path(".") : folder;
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

// A stream on `fd`, opened without blocking, when it is a regular file; the
// descriptor closed and `notAFile` set when it is anything else.
std::FILE* regularStream(int fd, const char* mode, bool& notAFile) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        notAFile = true;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

}  // namespace

std::FILE* openRegularFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    return regularStream(fd, "rb", notAFile);
}

std::optional<DirEntry> findOrdinaryFile(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return DirEntry{path.filename(), static_cast<std::uint64_t>(st.st_size)};
}

bool truncateFile(const fs::path& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    return ::close(fd) == 0 && ok;
}

bool renameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef __linux__
    // RENAME_NOREPLACE: the kernel refuses an existing target, so a file
    // that appears meanwhile is never replaced either.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without that flag: checking first is the best guard left.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec)) || !fs::exists(fs::symlink_status(from, ec))) return false;
    fs::rename(from, to, ec);
    return !ec;
}

bool sameFileName(const fs::path& a, const fs::path& b) { return a == b; }

std::int64_t kernelCopy(std::FILE* in, std::FILE* out, std::int64_t maxBytes, bool& failed) {
    std::int64_t copied = 0;
#ifdef __linux__
    // Only when both positions lie at the same place within a page, as in a
    // copy of a whole file: between other positions the kernel splices
    // partial pages, measured on ext4 about 1.4 times slower than a block
    // copy (the copy and the sync after it).
    if (std::fflush(out) != 0) return 0;
    off_t inAt = ::ftello(in);
    off_t outAt = ::ftello(out);
    static const long page = ::sysconf(_SC_PAGESIZE);
    if (inAt < 0 || outAt < 0 || page <= 0 || (inAt - outAt) % page != 0) return 0;
    const int inFd = ::fileno(in);
    const int outFd = ::fileno(out);
    while (copied < maxBytes) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(maxBytes - copied, 1 << 30));
        const ssize_t n = ::copy_file_range(inFd, &inAt, outFd, &outAt, want, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // n == 0: the end of the input; EIO, ENOSPC, EFBIG and the like are
        // met again by the caller's plain copy, which reports them.
        break;
    }
    // The streams continue where the kernel left off.
    if (::fseeko(in, inAt, SEEK_SET) != 0 || ::fseeko(out, outAt, SEEK_SET) != 0) failed = true;
#else
    (void)in, (void)out, (void)maxBytes, (void)failed;
#endif
    return copied;
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
    if (betweenOpenAndHold) betweenOpenAndHold(path);
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
    if (betweenOpenAndHold) betweenOpenAndHold(path);
    // The name may give another file by now: one a job made and holds.
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, path)) removed = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

LockAttempt tryLockFile(const fs::path& lockFile, std::intptr_t& lock, std::string& reason,
                        const std::function<void()>& between) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return LockAttempt::Failed;
    }
    if (between) between();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK || error == EINTR) return LockAttempt::Taken;
        reason = std::strerror(error);
        return LockAttempt::Failed;
    }
    // The holder removes the file before it unlocks. A lock won on a removed
    // file locks nothing: look again at the name's present file.
    if (!stillNamed(fd, lockFile)) {
        ::close(fd);
        return LockAttempt::Taken;
    }
    lock = fd;
    return LockAttempt::Locked;
}

void unlockFile(const fs::path& lockFile, std::intptr_t& lock) {
    if (lock == kNoLock) return;
    // Removed while still locked, so that nobody can lock the old file after
    // us and think he holds the folder.
    ::unlink(lockFile.c_str());
    ::close(static_cast<int>(lock));
    lock = kNoLock;
}

std::FILE* openSharedFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    struct stat st {};
    if (fd < 0) {
        notAFile = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
        return nullptr;
    }
    return regularStream(fd, "r+b", notAFile);
}

bool lockSharedFile(std::FILE* file, bool exclusive, int waitMs) {
    const int fd = ::fileno(file);
    for (int waited = 0;; waited += 5) {
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return true;
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= waitMs) return false;
        ::usleep(5000);
    }
}

void unlockSharedFile(std::FILE* file) { ::flock(::fileno(file), LOCK_UN); }

bool truncateOpenFile(std::FILE* file, std::int64_t size) {
    return std::fflush(file) == 0 && ::ftruncate(::fileno(file), static_cast<off_t>(size)) == 0;
}
}  // namespace zalohy::platform
