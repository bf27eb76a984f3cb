// Small portable file helpers shared by the archive, the runner, the trimming
// and the settings layer. Paths are UTF-8 strings everywhere in the program;
// toPath() turns them into filesystem paths (wide on Windows).
//
// A file whose permission bits grant no write permission at all counts as
// read-only, and is refused for writing even when the process could write it
// anyway (root on Linux), so the program behaves the same on every host.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zalohy::fileio {

std::filesystem::path toPath(const std::string& utf8);
std::string toUtf8(const std::filesystem::path& path);

// True when the path names an existing file whose permission bits grant no
// write permission (the read-only attribute on Windows).
bool isReadOnly(const std::filesystem::path& path);

// A regular file as its directory entry gives it (hidden or system entries do
// not count on Windows): its name without folder, and its size.
struct DirEntry {
    std::string name;
    std::uint64_t size = 0;
};
std::optional<DirEntry> findOrdinaryFile(const std::filesystem::path& path);

// A binary stdio stream that closes itself. Opening for writing fails on a
// read-only file (see above).
class File {
public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // mode is one of fopen's binary modes ("rb", "r+b", "wb", "w+bx", ...).
    bool open(const std::filesystem::path& path, const char* mode);
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
    // Flushes the buffered bytes and has the system put the file on the disk
    // (fsync, FlushFileBuffers on Windows); false when either fails.
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

// Creates a new, empty file beside `target` (same folder, so a rename onto the
// target never crosses file systems) and opens it for writing. Its name is
// "<target's name>.<8 hex digits>.tmp"; such files that a killed run left
// beside the target are removed first. The file is created exclusively, so a
// name that is taken (a file, a symbolic link) is never written through.
// Returns the temporary path, or nothing when no file could be created or
// `target` is read-only: such a target could never be replaced, and on
// Windows a temporary file that took over its read-only attribute could not
// even be removed again.
std::optional<std::filesystem::path> createTempBeside(const std::filesystem::path& target, File& file);

// True for the names createTempBeside gives temporary files of `target`.
bool isTempNameOf(const std::string& name, const std::string& targetName);

// Creates `path` anew, empty, and opens it for writing. A read-only file under
// that name is refused and left alone; anything else there (an older file, a
// symbolic link) is unlinked first and the new file is created exclusively,
// so a write never follows a link planted under the name.
bool createFresh(const std::filesystem::path& path, File& file);

// Renames `from` over `to`, replacing `to` atomically, and on POSIX syncs the
// folder so the new name survives a power loss (unless syncTheFolder is false,
// for files that need not survive one). Fails, leaving both files as they are,
// when `to` is read-only. `from` should have been synced (File::sync).
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, bool syncTheFolder = true);

// Cuts a file to its first size bytes: one change of the file's length, done
// whole or not at all. Refuses a read-only file.
bool truncateFile(const std::filesystem::path& path, std::int64_t size);

// Has the system put a folder's entries on the disk (new, removed and renamed
// names); nothing on Windows, where folders cannot be synced this way.
void syncFolder(const std::filesystem::path& folder);

// Removes a file, ignoring every error (used to drop temporary files).
void removeQuietly(const std::filesystem::path& path);

// The file operations of the runs, all by UTF-8 names relative to the working
// folder, with the same read-only rule as the rest of the file layer.
// The working folder, absolute.
std::string currentFolder();
// True when a file (or anything else) of that name exists.
bool exists(const std::string& name);
// True when removeFile would delete the file: a plain file that is not
// read-only.
bool canRemove(const std::string& name);
// Deletes a file; refuses a read-only one and anything that is not a plain
// file. True when the name is gone afterwards.
bool removeFile(const std::string& name);
// True when path leads to one of the names in the working folder, also when
// it does not exist yet: compared after resolving the folders, ".." and
// links of path, and without regard to letter case on Windows.
bool namesWorkingFile(const std::string& path, const std::vector<std::string>& names);
// Renames a file; fails when the target exists, leaving both as they are.
bool renameFile(const std::string& from, const std::string& to);

}  // namespace zalohy::fileio
