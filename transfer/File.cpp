#include "File.h"

#include <algorithm>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy::files {

fs::path toPath(const std::string& utf8) { return platform::pathFromUtf8(utf8); }

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
    f_ = platform::openFile(path, mode);
    return f_ != nullptr;
}

bool File::openRegular(const fs::path& path, bool* notAFile) {
    if (f_) close();
    bool other = false;
    f_ = platform::openRegularFile(path, other);
    if (notAFile) *notAFile = other;
    return f_ != nullptr;
}

std::size_t File::read(void* data, std::size_t size) { return std::fread(data, 1, size, f_); }

bool File::write(const void* data, std::size_t size) { return std::fwrite(data, 1, size, f_) == size; }

bool File::seek(std::int64_t offset) { return platform::seekFile(f_, offset, SEEK_SET); }

bool File::seekEnd() { return platform::seekFile(f_, 0, SEEK_END); }

std::int64_t File::tell() { return platform::tellFile(f_); }

std::int64_t File::length() { return seekEnd() ? tell() : -1; }

bool File::hadReadError() const { return std::ferror(f_) != 0; }

bool File::flush() { return f_ && std::fflush(f_) == 0; }

bool File::sync() { return platform::syncFile(f_); }

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
    // The kernel first, where it can; the blocks below copy the rest.
    result.copied = platform::kernelCopy(in.stream(), out.stream(), maxBytes, result.writeError);
    if (result.writeError || result.copied == maxBytes) return result;
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

bool createFresh(const fs::path& path, File& file) {
    if (isReadOnly(path)) return false;
    removeQuietly(path);
    return file.open(path, "wbx");
}

bool truncateFile(const fs::path& path, std::int64_t size) {
    return size >= 0 && !isReadOnly(path) && platform::truncateFile(path, size);
}

void removeQuietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace zalohy::files
