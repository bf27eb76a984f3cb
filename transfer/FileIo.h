// The file layer under its former names, with UTF-8 names relative to the
// working folder, for the code not yet moved to the path-based calls of
// File.h, AtomicWrite.h and WorkingFiles.h.
#pragma once

#include "AtomicWrite.h"
#include "File.h"
#include "WorkingFiles.h"

#include <string>
#include <vector>

namespace zalohy::fileio {

using namespace files;

// Names as UTF-8 text.
std::string currentFolder();
bool exists(const std::string& name);
bool canRemove(const std::string& name);
bool removeFile(const std::string& name);
bool namesWorkingFile(const std::string& path, const std::vector<std::string>& names);
bool renameFile(const std::string& from, const std::string& to);

// Renames `from` over `to` (files::renameInto with Replace::Yes).
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, bool syncTheFolder = true);

}  // namespace zalohy::fileio
