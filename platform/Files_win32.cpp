// Files and folders on Windows.
#include "Files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

namespace {

HANDLE handleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

}  // namespace

fs::path pathFromUtf8(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::FILE* openFile(const fs::path& path, const char* mode) {
    const std::string m(mode);
    if (m.find('x') != std::string::npos) {
        // Not every Windows C runtime knows fopen's "x": create exclusively by hand.
        const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) return nullptr;
        std::FILE* f = _fdopen(fd, "w+b");
        if (!f) _close(fd);
        return f;
    }
    const std::wstring wmode(m.begin(), m.end());
    return _wfopen(path.c_str(), wmode.c_str());
}

bool seekFile(std::FILE* file, std::int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }

std::int64_t tellFile(std::FILE* file) { return _ftelli64(file); }

bool syncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
    return FlushFileBuffers(handleOf(file)) != 0;
}

void syncFolder(const fs::path&) {}

std::FILE* openRegularFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        std::error_code ec;
        notAFile = fs::exists(path, ec);
        return nullptr;
    }
    if (GetFileType(handleOf(f)) != FILE_TYPE_DISK) {
        std::fclose(f);
        notAFile = true;
        return nullptr;
    }
    return f;
}

std::optional<DirEntry> findOrdinaryFile(const fs::path& path) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(h);
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return std::nullopt;
    return DirEntry{fs::path(data.cFileName),
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

bool truncateFile(const fs::path& path, std::int64_t size) {
    std::error_code ec;
    fs::resize_file(path, static_cast<std::uintmax_t>(size), ec);
    return !ec;
}

bool renameNoReplace(const fs::path& from, const fs::path& to) {
    // MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces a file.
    return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

bool sameFileName(const fs::path& a, const fs::path& b) {
    const std::wstring& wa = a.native();
    const std::wstring& wb = b.native();
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

std::int64_t kernelCopy(std::FILE*, std::FILE*, std::int64_t, bool&) { return 0; }

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

// A C stream that owns the handle `h`; the handle closed when none can be made.
std::FILE* streamOf(HANDLE h, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, mode);
    if (!f) _close(fd);
    return f;
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
    return streamOf(h, "w+b");
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

// The lock file is opened for deletion on close, shared with every other
// opener. Once any of its handles is closed the file is on its way out and
// cannot be opened again until its last handle is gone: so while one run
// holds the lock on it, a run that opens it later can neither open nor lock
// it, and when the holder closes it the file disappears.
LockAttempt tryLockFile(const fs::path& lockFile, std::intptr_t& lock, std::string& reason,
                        const std::function<void()>& between) {
    HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE && between) between();
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
            // A file on its way out answers "access denied" too; only a file
            // that is not there at all means the folder cannot take one.
            if (GetFileAttributesW(lockFile.c_str()) != INVALID_FILE_ATTRIBUTES) return LockAttempt::Taken;
            const DWORD why = GetLastError();
            if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return LockAttempt::Taken;
        }
        reason = "systémová chyba " + std::to_string(error);
        return LockAttempt::Failed;
    }
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return LockAttempt::Taken;
        reason = "systémová chyba " + std::to_string(error);
        return LockAttempt::Failed;
    }
    lock = reinterpret_cast<std::intptr_t>(h);
    return LockAttempt::Locked;
}

void unlockFile(const fs::path&, std::intptr_t& lock) {
    if (lock == kNoLock) return;
    const HANDLE h = reinterpret_cast<HANDLE>(lock);
    OVERLAPPED at{};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);  // deletes the file
    lock = kNoLock;
}

// A shared file's lock lies beyond any end too, as a held file's does.
namespace {
constexpr DWORD kSharedOffsetHigh = 0x7FFFFFFE;
}  // namespace

std::FILE* openSharedFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::error_code ec;
        const fs::file_status st = fs::status(path, ec);
        notAFile = !ec && fs::exists(st) && !fs::is_regular_file(st);
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        notAFile = true;
        return nullptr;
    }
    return streamOf(h, "r+b");
}

bool lockSharedFile(std::FILE* file, bool exclusive, int waitMs) {
    for (int waited = 0;; waited += 5) {
        OVERLAPPED at{};
        at.OffsetHigh = kSharedOffsetHigh;
        if (LockFileEx(handleOf(file), (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &at))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) || waited >= waitMs) return false;
        Sleep(5);
    }
}

void unlockSharedFile(std::FILE* file) {
    OVERLAPPED at{};
    at.OffsetHigh = kSharedOffsetHigh;
    UnlockFileEx(handleOf(file), 0, 1, 0, &at);
}

bool truncateOpenFile(std::FILE* file, std::int64_t size) {
    return std::fflush(file) == 0 && _chsize_s(_fileno(file), size) == 0;
}
}  // namespace zalohy::platform
