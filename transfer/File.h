// Files as the archive, the runner, the trimming and the settings layer use
// them. Paths are std::filesystem::path; toPath() and toUtf8() convert at the
// program's edges (command lines, windows, messages), where names are UTF-8.
//
// A file whose permission bits grant no write permission at all counts as
// read-only, and is refused for writing even when the process could write it
// anyway (root on Linux), so the program behaves the same on every host.
#pragma once

#include "Files.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace zalohy::files {

std::filesystem::path toPath(const std::string& utf8);
std::string toUtf8(const std::filesystem::path& path);

// True when the path names an existing file whose permission bits grant no
// write permission (the read-only attribute on Windows).
bool isReadOnly(const std::filesystem::path& path);

// A regular file as its directory entry gives it: its name and size.
using platform::DirEntry;
using platform::findOrdinaryFile;

// A binary stdio stream that closes itself. Opening for writing fails on a
// read-only file (see above).
class File {
public:
    File() = default;
    // Takes over an open stream (a held file, see createHeldFile).
    explicit File(std::FILE* stream) : f_(stream) {}
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // mode is one of fopen's binary modes ("rb", "r+b", "wb", "w+bx", ...).
    bool open(const std::filesystem::path& path, const char* mode);
    // Opens a regular file for reading and nothing else, never waiting for a
    // FIFO or a device (platform::openRegularFile); `notAFile` (when given)
    // tells a name that gives something else from a missing one.
    bool openRegular(const std::filesystem::path& path, bool* notAFile = nullptr);
    bool isOpen() const { return f_ != nullptr; }

    // Reads up to size bytes; fewer only at end of file or on a read error.
    std::size_t read(void* data, std::size_t size);
    bool write(const void* data, std::size_t size);
    bool seek(std::int64_t offset);
    bool seekEnd();
    std::int64_t tell();  // -1 on failure
    // The file's length (moves to its end), or -1.
    std::int64_t length();
    bool hadReadError() const;
    // The stream itself, for copies the kernel makes (see copyBytes).
    std::FILE* stream() const { return f_; }
    // Hands the buffered bytes to the system; false when that fails.
    bool flush();
    // Flushes the buffered bytes and has the system put the file on the disk;
    // false when either fails.
    bool sync();
    // Flushes and closes; false when any buffered write failed.
    bool close();

private:
    std::FILE* f_ = nullptr;
};

// Copies up to maxBytes from the current position of `in` to `out` in blocks.
struct CopyResult {
    std::int64_t copied = 0;
    bool readError = false;
    bool writeError = false;
};
CopyResult copyBytes(File& in, File& out, std::int64_t maxBytes);

// Creates `path` anew, empty, and opens it for writing. A read-only file under
// that name is refused and left alone; anything else there (an older file, a
// symbolic link) is unlinked first and the new file is created exclusively,
// so a write never follows a link planted under the name.
bool createFresh(const std::filesystem::path& path, File& file);

// Cuts a file to its first size bytes: one change of the file's length, done
// whole or not at all. Refuses a read-only file.
bool truncateFile(const std::filesystem::path& path, std::int64_t size);

// Removes a file, ignoring every error (used to drop temporary files).
void removeQuietly(const std::filesystem::path& path);

using platform::syncFolder;

}  // namespace zalohy::files
