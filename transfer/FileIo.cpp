#include "FileIo.h"

namespace fs = std::filesystem;

namespace zalohy::fileio {

std::string currentFolder() { return toUtf8(files::workingFolder()); }

bool exists(const std::string& name) { return files::exists(toPath(name)); }

bool canRemove(const std::string& name) { return files::canRemove(toPath(name)); }

bool removeFile(const std::string& name) { return files::removeFile(toPath(name)); }

bool namesWorkingFile(const std::string& path, const std::vector<std::string>& names) {
    std::vector<fs::path> paths;
    for (const std::string& name : names) paths.push_back(toPath(name));
    return files::namesWorkingFile(toPath(path), paths);
}

bool renameFile(const std::string& from, const std::string& to) { return files::renameFile(toPath(from), toPath(to)); }

bool replaceFile(const fs::path& from, const fs::path& to, bool syncTheFolder) {
    return renameInto(from, to, Replace::Yes, syncTheFolder);
}

}  // namespace zalohy::fileio
