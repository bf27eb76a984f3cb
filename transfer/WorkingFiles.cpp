#include "WorkingFiles.h"

#include "File.h"

#include <system_error>

namespace fs = std::filesystem;

namespace zalohy::files {

fs::path workingFolder() {
    std::error_code ec;
    return fs::current_path(ec);
}

bool exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool canRemove(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    return fs::exists(st) && !fs::is_directory(st) && !isReadOnly(path);
}

bool removeFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st)) return true;
    if (fs::is_directory(st) || isReadOnly(path)) return false;
    return fs::remove(path, ec) && !ec;
}

bool namesWorkingFile(const fs::path& path, const std::vector<fs::path>& names) {
    // Two look-ups in all: the path resolved, and the working folder.
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return false;
    const fs::path folder = fs::weakly_canonical(fs::current_path(ec), ec);
    if (ec || !platform::sameFileName(resolved.parent_path(), folder)) return false;
    for (const fs::path& name : names)
        if (platform::sameFileName(resolved.filename(), name.filename())) return true;
    return false;
}

bool renameFile(const fs::path& from, const fs::path& to) { return platform::renameNoReplace(from, to); }

}  // namespace zalohy::files
