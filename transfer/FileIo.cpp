#include "FileIo.h"

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
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    return DirEntry{toUtf8(path.filename()), static_cast<std::uint64_t>(size)};
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

CopyResult copyBytes(File& in, File& out, std::int64_t maxBytes) {
    CopyResult result;
    // Not zeroed: only the pages a copy touches are ever faulted in, so a
    // small file costs little although the block is large.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kCopyBlock);
    while (result.copied < maxBytes) {
        const std::int64_t left = maxBytes - result.copied;
        const std::size_t want = left < static_cast<std::int64_t>(kCopyBlock) ? static_cast<std::size_t>(left) : kCopyBlock;
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

std::optional<fs::path> createTempBeside(const fs::path& target, File& file) {
    if (isReadOnly(target)) return std::nullopt;
    static std::mt19937_64 random{std::random_device{}()};
    const fs::path folder = target.parent_path();
    const std::string base = toUtf8(target.filename());
    static const char hex[] = "0123456789abcdef";
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = base + ".";
        std::uint64_t r = random();
        for (int i = 0; i < 8; ++i, r >>= 4) name.push_back(hex[r & 15]);
        name += ".tmp";
        const fs::path candidate = folder / toPath(name);
        // "x": fails when the name exists, so another file is never taken over.
        if (file.open(candidate, "w+bx")) return candidate;
        std::error_code ec;
        if (!fs::exists(candidate, ec)) return std::nullopt;  // the folder is not writable
    }
    return std::nullopt;
}

bool replaceFile(const fs::path& from, const fs::path& to) {
    if (isReadOnly(to)) return false;
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
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

bool removeFile(const std::string& name) {
    const fs::path path = toPath(name);
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st)) return true;
    if (fs::is_directory(st) || isReadOnly(path)) return false;
    return fs::remove(path, ec) && !ec;
}

bool renameFile(const std::string& from, const std::string& to) {
    const fs::path source = toPath(from);
    const fs::path target = toPath(to);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec)) || !fs::exists(fs::symlink_status(source, ec))) return false;
#ifdef _WIN32
    // MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces a file.
    return MoveFileExW(source.c_str(), target.c_str(), 0) != 0;
#else
    // RENAME_NOREPLACE: the kernel refuses an existing target, so a file
    // that appears meanwhile is never replaced either.
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: the check above is the guard.
    fs::rename(source, target, ec);
    return !ec;
#endif
}

}  // namespace zalohy::fileio
