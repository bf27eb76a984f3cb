// The file operations of the runs on the names they work with (the settings
// file, data files, archives), with the same read-only rule as the rest of
// the file layer. Relative paths are taken from the working folder.
#pragma once

#include <filesystem>
#include <vector>

namespace zalohy::files {

// The working folder, absolute (empty when it cannot be told).
std::filesystem::path workingFolder();
// True when a file (or anything else) of that name exists; a symbolic link
// counts even when it leads nowhere.
bool exists(const std::filesystem::path& path);
// True when removeFile would delete the file: anything but a folder, and not
// read-only.
bool canRemove(const std::filesystem::path& path);
// Deletes a file; refuses a read-only one and a folder. True when the name is
// gone afterwards.
bool removeFile(const std::filesystem::path& path);
// True when path leads to one of the names in the working folder, also when
// it does not exist yet: compared after resolving the folders, ".." and
// links of path, and without regard to letter case on Windows.
bool namesWorkingFile(const std::filesystem::path& path, const std::vector<std::filesystem::path>& names);
// Renames a file; fails when the target exists, leaving both as they are.
bool renameFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace zalohy::files
