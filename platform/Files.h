// Files and folders where POSIX and Windows differ: wide names, sync,
// exclusive creation, renames that never replace, files held by a running
// job, the lock of a folder and of a shared file. Files_posix.cpp and
// Files_win32.cpp implement it; the build takes one. Paths are
// std::filesystem::path; UTF-8 only where text meets the system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zalohy::platform {

// A path from UTF-8 text: its bytes as they are on POSIX, wide characters on
// Windows (never through the ANSI code page).
std::filesystem::path pathFromUtf8(const std::string& utf8);

// fopen with a binary mode ("rb", "r+b", "wb", "w+b"; "x" as in "w+bx"
// creates the file exclusively), wide names on Windows.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);
// 64-bit positions (SEEK_SET, SEEK_END); tellFile gives -1 on failure.
bool seekFile(std::FILE* file, std::int64_t offset, int whence);
std::int64_t tellFile(std::FILE* file);
// Flushes the stream and has the system put the file on the disk (fsync,
// FlushFileBuffers). A file system that cannot sync counts as synced.
bool syncFile(std::FILE* file);
// Has the system put a folder's entries (new, removed, renamed names) on the
// disk; nothing on Windows, where folders are not synced this way. Empty:
// the working folder.
void syncFolder(const std::filesystem::path& folder);
// Opens a regular file for reading and nothing else: `notAFile` when the
// name gives something else (a folder, a device, a FIFO, which is not waited
// for). The type is taken from what was opened, not from the name, so
// nothing can be swapped in between.
std::FILE* openRegularFile(const std::filesystem::path& path, bool& notAFile);

// A regular file as its directory entry gives it (hidden or system entries do
// not count on Windows): its name without folder, and its size.
struct DirEntry {
    std::filesystem::path name;
    std::uint64_t size = 0;
};
std::optional<DirEntry> findOrdinaryFile(const std::filesystem::path& path);
// Cuts a file to its first size bytes in one change of its length; a
// symbolic link is not followed on POSIX.
bool truncateFile(const std::filesystem::path& path, std::int64_t size);
// Renames `from` to `to`; fails when `to` exists, leaving both as they are
// (also when it appears meanwhile, where the file system can tell).
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// A file that runs of several processes append to and rewrite in turn (the
// run record): opened for reading and writing, made when missing, but only
// when it is a regular file (`notAFile` for a folder, a device, a FIFO,
// which is not waited for). Positioned at its start.
std::FILE* openSharedFile(const std::filesystem::path& path, bool& notAFile);
// Locks a file opened so (or by openRegularFile) against the others that
// lock it: exclusive to change it, shared to read it (flock; LockFileEx
// beyond the file's end on Windows, so the lock never stands in the way of
// its reads and writes). Waits up to `waitMs` for a lock another holds;
// false when it was not had by then. unlockSharedFile lets it go.
bool lockSharedFile(std::FILE* file, bool exclusive, int waitMs);
void unlockSharedFile(std::FILE* file);
// Cuts an open file to its first `size` bytes (its buffer flushed first).
bool truncateOpenFile(std::FILE* file, std::int64_t size);
// Two names of one folder compared as the file system does (Windows does not
// tell letter case apart).
bool sameFileName(const std::filesystem::path& a, const std::filesystem::path& b);
// Lets the kernel copy up to maxBytes from the current position of `in` to
// that of `out` (Linux, when both positions lie alike within a page); the
// streams continue where it stopped. Returns the bytes copied, 0 where the
// system cannot; `failed` when the streams could not be positioned after.
std::int64_t kernelCopy(std::FILE* in, std::FILE* out, std::int64_t maxBytes, bool& failed);

// Files a running job holds while it writes them (flock, LockFileEx beyond
// the file's end): a sweep removes only the files nobody holds. Creates
// `path` exclusively for writing and locks it; held until closed. Nothing
// when the name is taken, the file cannot be made, or it was removed before
// it was locked.
std::FILE* createHeldFile(const std::filesystem::path& path);
// Removes `path` (a file, or a symbolic link) unless a live process holds it.
// True when it was removed.
bool removeUnlessHeld(const std::filesystem::path& path);
// POSIX: called by both between the opening of the file and its locking, with
// its path (tests remove or replace the file there, as a sweep or a job can).
inline std::function<void(const std::filesystem::path&)> betweenOpenAndHold;

// The lock on a folder's lock file (FolderLock). tryLockFile opens or creates
// `lockFile` and locks it without waiting, calling `between` after the
// opening (tests); Taken while another process holds it; Failed with the
// system's reason when no lock file can be had at all.
enum class LockAttempt { Locked, Taken, Failed };
inline constexpr std::intptr_t kNoLock = -1;
LockAttempt tryLockFile(const std::filesystem::path& lockFile, std::intptr_t& lock, std::string& reason,
                        const std::function<void()>& between);
// Removes the lock file while still locked, then lets the lock go.
void unlockFile(const std::filesystem::path& lockFile, std::intptr_t& lock);

// `digits` random lower-case hexadecimal digits (at most 16), for names of
// temporary files and folders (Files.cpp: the same on every system).
std::string randomHex(int digits);
}  // namespace zalohy::platform
