// The one way a file is put in place: written to a temporary file beside the
// target (same folder, so the rename never crosses file systems), synced,
// renamed onto the target's name with or without replacing a file there, and
// the folder synced. The target's name thus only ever names a complete file:
// the old one or the new one, never a part of either.
//
// Temporary files are named "<target's name>.<8 hex digits>.tmp" and held
// (createHeldFile) while they are written; those a killed run left beside a
// target are removed when the next one is made there, but never one that a
// running job still holds.
#pragma once

#include "File.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zalohy::files {

// Whether an existing target is replaced, or the write fails instead.
enum class Replace { No, Yes };

struct WriteOptions {
    Replace replace = Replace::Yes;
    // Synced file and folder, so the new file survives a power loss. False
    // for scratch files the run reads back at once (a member extracted for
    // sending).
    bool durable = true;
    // The new file takes the permission bits of the file it replaces (a
    // 0600 settings file must not come back readable by everyone).
    bool keepPermissions = false;
    // A symbolic link under the target's name is refused (NotAFile) instead
    // of being replaced by the new file: for the files of the night's runs,
    // where a link that someone else planted must be neither followed nor
    // quietly replaced.
    bool refuseLink = false;
};

enum class WriteResult {
    Written,
    NotCreated,  // no temporary file could be made beside the target, or
                 // the target is read-only and would be replaced
    NotWritten,  // the writer failed, or the bytes did not reach the disk
    NotPlaced,   // the rename failed (the target exists and Replace::No, or
                 // it became read-only); the target is as it was
    NotAFile,    // the target is a folder, a device, a FIFO or a socket (or a
                 // symbolic link, with refuseLink): never replaced by a file
};

// Fills the temporary file, positioned at its start; false on failure.
using FileWriter = std::function<bool(File& out)>;

WriteResult writeFileAtomically(const std::filesystem::path& target, const FileWriter& write,
                                WriteOptions options = {});
WriteResult writeFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                WriteOptions options = {});

// For a file that something else makes by name (the scale library writes an
// archive): a free temporary name beside `target`, nothing left under it.
// Nothing when no file can be made in that folder, or `target` is read-only.
std::optional<std::filesystem::path> temporaryNameBeside(const std::filesystem::path& target);
// Puts such a finished file in place: synced (unless not durable), renamed
// onto `target` as options.replace says, the folder synced. On failure (also
// a target that is no regular file, as for writeFileAtomically) the
// finished file is removed and the target is as it was.
bool placeFile(const std::filesystem::path& finished, const std::filesystem::path& target,
               WriteOptions options = {});

// True for the names of temporary files of a target named `targetName`.
bool isTempNameOf(const std::string& name, const std::string& targetName);

// Renames `from` onto `to` as `replace` says; a read-only `to` is never
// replaced. With `durable`, the folder is synced afterwards.
bool renameInto(const std::filesystem::path& from, const std::filesystem::path& to, Replace replace,
                bool durable = true);

}  // namespace zalohy::files
