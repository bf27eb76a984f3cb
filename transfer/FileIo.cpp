#include "FileIo.h"

#include "FolderLock.h"

#include <algorithm>
#include <memory>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace zalohy::fileio {

fs::path toPath(const std::string& utf8) {
#ifdef _WIN32
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return fs::path(utf8);
#endif
}

std::string toUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool isReadOnly(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st)) return false;
    const fs::perms writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (st.permissions() & writeBits) == fs::perms::none;
}

std::optional<DirEntry> findOrdinaryFile(const fs::path& path) {
#ifdef _WIN32
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(h);
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return std::nullopt;
    return DirEntry{toUtf8(fs::path(data.cFileName)),
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return DirEntry{toUtf8(path.filename()), static_cast<std::uint64_t>(st.st_size)};
#endif
}

File::~File() {
    if (f_) std::fclose(f_);
}

File::File(File&& other) noexcept : f_(other.f_) { other.f_ = nullptr; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (f_) std::fclose(f_);
        f_ = other.f_;
        other.f_ = nullptr;
    }
    return *this;
}

bool File::open(const fs::path& path, const char* mode) {
    if (f_) close();
    const std::string m(mode);
    const bool writes = m.find_first_of("wa+") != std::string::npos;
    if (writes && isReadOnly(path)) return false;
#ifdef _WIN32
    if (m.find('x') != std::string::npos) {
        // Not every Windows C runtime knows fopen's "x": create exclusively by hand.
        const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) return false;
        f_ = _fdopen(fd, "w+b");
        if (!f_) _close(fd);
        return f_ != nullptr;
    }
    const std::wstring wmode(m.begin(), m.end());
    f_ = _wfopen(path.c_str(), wmode.c_str());
#else
    f_ = std::fopen(path.c_str(), mode);
#endif
    return f_ != nullptr;
}

std::size_t File::read(void* data, std::size_t size) { return std::fread(data, 1, size, f_); }

bool File::write(const void* data, std::size_t size) { return std::fwrite(data, 1, size, f_) == size; }

bool File::seek(std::int64_t offset) {
#ifdef _WIN32
    return _fseeki64(f_, offset, SEEK_SET) == 0;
#else
    return fseeko(f_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool File::seekEnd() {
#ifdef _WIN32
    return _fseeki64(f_, 0, SEEK_END) == 0;
#else
    return fseeko(f_, 0, SEEK_END) == 0;
#endif
}

std::int64_t File::tell() {
#ifdef _WIN32
    return _ftelli64(f_);
#else
    return static_cast<std::int64_t>(ftello(f_));
#endif
}

std::int64_t File::length() { return seekEnd() ? tell() : -1; }

bool File::hadReadError() const { return std::ferror(f_) != 0; }

bool File::sync() {
    if (!f_ || std::fflush(f_) != 0) return false;
#ifdef _WIN32
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f_)))) != 0;
#else
    // A file system that cannot sync (EINVAL) has nothing more to do.
    return ::fsync(fileno(f_)) == 0 || errno == EINVAL;
#endif
}

bool File::close() {
    if (!f_) return true;
    const bool ok = std::ferror(f_) == 0 && std::fflush(f_) == 0;
    const bool closed = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok && closed;
}

// Large enough that copying runs at the speed of the disk, small enough to keep
// the program's memory footprint flat whatever the member's size.
static constexpr std::size_t kCopyBlock = 1024 * 1024;

#ifdef __linux__
// Lets the kernel copy from the streams' current positions, without the bytes
// passing through this process (and on file systems that can, without copying
// them at all). Stops early, with the positions where they got to, when the
// kernel cannot copy between these files; the caller copies the rest.
//
// Only when both positions lie at the same place within a page, as in a copy
// of a whole file. A member starts anywhere in the archive, and between such
// positions the kernel splices partial pages: measured on ext4, both the copy
// and the sync after it took about 1.4 times as long as the block copy.
static void kernelCopy(File& in, File& out, std::int64_t maxBytes, CopyResult& result) {
    std::FILE* src = in.stream();
    std::FILE* dst = out.stream();
    if (std::fflush(dst) != 0) return;
    off_t inAt = ::ftello(src);
    off_t outAt = ::ftello(dst);
    static const long page = ::sysconf(_SC_PAGESIZE);
    if (inAt < 0 || outAt < 0 || page <= 0 || (inAt - outAt) % page != 0) return;
    const int inFd = ::fileno(src);
    const int outFd = ::fileno(dst);
    while (result.copied < maxBytes) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(maxBytes - result.copied, 1 << 30));
        const ssize_t n = ::copy_file_range(inFd, &inAt, outFd, &outAt, want, 0);
        if (n > 0) {
            result.copied += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // n == 0: the end of the input; EIO, ENOSPC, EFBIG and the like are
        // met again by the plain copy, which reports them.
        break;
    }
    // The streams continue where the kernel left off.
    if (::fseeko(src, inAt, SEEK_SET) != 0 || ::fseeko(dst, outAt, SEEK_SET) != 0) result.writeError = true;
}
#endif

CopyResult copyBytes(File& in, File& out, std::int64_t maxBytes) {
    CopyResult result;
#ifdef __linux__
    kernelCopy(in, out, maxBytes, result);
    if (result.writeError || result.copied == maxBytes) return result;
#endif
    // Not zeroed: only the pages a copy touches are ever faulted in; and no
    // larger than the copy, so a small one costs little.
    const std::size_t block =
        maxBytes < static_cast<std::int64_t>(kCopyBlock) ? static_cast<std::size_t>(maxBytes < 1 ? 1 : maxBytes) : kCopyBlock;
    const auto buffer = std::make_unique_for_overwrite<char[]>(block);
    while (result.copied < maxBytes) {
        const std::int64_t left = maxBytes - result.copied;
        const std::size_t want = left < static_cast<std::int64_t>(block) ? static_cast<std::size_t>(left) : block;
        const std::size_t got = in.read(buffer.get(), want);
        if (got > 0 && !out.write(buffer.get(), got)) {
            result.writeError = true;
            return result;
        }
        result.copied += static_cast<std::int64_t>(got);
        if (got < want) {
            result.readError = in.hadReadError();
            break;
        }
    }
    return result;
}

static constexpr std::size_t kTempDigits = 8;

bool isTempNameOf(const std::string& name, const std::string& targetName) {
    const std::string suffix = ".tmp";
    if (name.size() != targetName.size() + 1 + kTempDigits + suffix.size()) return false;
    if (name.compare(0, targetName.size(), targetName) != 0 || name[targetName.size()] != '.') return false;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    for (std::size_t i = targetName.size() + 1; i < targetName.size() + 1 + kTempDigits; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f'))) return false;
    return true;
}

// Temporary files of `target` that a killed run left behind: files or links,
// never folders, and never one that a running job holds.
static void removeStaleTemps(const fs::path& folder, const std::string& base) {
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!isTempNameOf(toUtf8(it->path().filename()), base)) continue;
        std::error_code statusError;
        const fs::file_status st = fs::symlink_status(it->path(), statusError);
        if (!statusError && (fs::is_regular_file(st) || fs::is_symlink(st))) removeUnlessHeld(it->path());
    }
}

std::optional<fs::path> createTempBeside(const fs::path& target, File& file) {
    if (isReadOnly(target)) return std::nullopt;
    static std::mt19937_64 random{std::random_device{}()};
    const fs::path folder = target.parent_path();
    const std::string base = toUtf8(target.filename());
    static const char hex[] = "0123456789abcdef";
    removeStaleTemps(folder, base);
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = base + ".";
        std::uint64_t r = random();
        for (std::size_t i = 0; i < kTempDigits; ++i, r >>= 4) name.push_back(hex[r & 15]);
        name += ".tmp";
        const fs::path candidate = folder / toPath(name);
        // "x": fails when the name exists, so another file is never taken over.
        if (file.open(candidate, "w+bx")) return candidate;
        std::error_code ec;
        if (!fs::exists(candidate, ec)) return std::nullopt;  // the folder is not writable
    }
    return std::nullopt;
}

bool createFresh(const fs::path& path, File& file) {
    if (isReadOnly(path)) return false;
    removeQuietly(path);
    return file.open(path, "wbx");
}

bool replaceFile(const fs::path& from, const fs::path& to, bool syncTheFolder) {
    if (isReadOnly(to)) return false;
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) return false;
    if (syncTheFolder) syncFolder(to.parent_path());
    return true;
}

void syncFolder(const fs::path& folder) {
#ifndef _WIN32
    const fs::path name = folder.empty() ? fs::path(".") : folder;
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#else
    (void)folder;
#endif
}

bool truncateFile(const fs::path& path, std::int64_t size) {
    if (size < 0 || isReadOnly(path)) return false;
#ifdef _WIN32
    std::error_code ec;
    fs::resize_file(path, static_cast<std::uintmax_t>(size), ec);
    return !ec;
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    return ::close(fd) == 0 && ok;
#endif
}

void removeQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

std::string currentFolder() {
    std::error_code ec;
    return toUtf8(fs::current_path(ec));
}

bool exists(const std::string& name) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(toPath(name), ec));
}

bool canRemove(const std::string& name) {
    const fs::path path = toPath(name);
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    return fs::exists(st) && !fs::is_directory(st) && !isReadOnly(path);
}

bool removeFile(const std::string& name) {
    const fs::path path = toPath(name);
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st)) return true;
    if (fs::is_directory(st) || isReadOnly(path)) return false;
    return fs::remove(path, ec) && !ec;
}

// Names compared as the file system does: Windows does not tell letter case
// apart.
static bool sameName(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
    const std::wstring& wa = a.native();
    const std::wstring& wb = b.native();
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
#else
    return a == b;
#endif
}

bool namesWorkingFile(const std::string& path, const std::vector<std::string>& names) {
    // Two look-ups in all: the path resolved, and the working folder.
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(toPath(path), ec), ec);
    if (ec) return false;
    const fs::path folder = fs::weakly_canonical(fs::current_path(ec), ec);
    if (ec || !sameName(resolved.parent_path(), folder)) return false;
    for (const std::string& name : names)
        if (sameName(resolved.filename(), toPath(name).filename())) return true;
    return false;
}

bool renameFile(const std::string& from, const std::string& to) {
    const fs::path source = toPath(from);
    const fs::path target = toPath(to);
#ifdef _WIN32
    // MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces a file.
    return MoveFileExW(source.c_str(), target.c_str(), 0) != 0;
#else
    // RENAME_NOREPLACE: the kernel refuses an existing target, so a file
    // that appears meanwhile is never replaced either.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: checking first is the best guard left.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec)) || !fs::exists(fs::symlink_status(source, ec))) return false;
    fs::rename(source, target, ec);
    return !ec;
#endif
}

}  // namespace zalohy::fileio
