// How backup-list puts a scale's archive in place.
#pragma once

#include "AtomicWrite.h"

#include <cstdint>
#include <filesystem>

namespace zalohy {

// A copy of the job's finished archive at `target`, over an older one:
// written into a held temporary file beside it (so that no sweep takes it
// from under the job), synced, renamed, the folder synced. The final name
// only ever names a complete archive.
inline bool placeListArchive(const std::filesystem::path& archive, const std::filesystem::path& target) {
    const auto copy = [&](files::File& out) {
        files::File in;
        if (!in.open(archive, "rb")) return false;
        const files::CopyResult copied = files::copyBytes(in, out, INT64_MAX);
        return !copied.readError && !copied.writeError;
    };
    return files::writeFileAtomically(target, copy) == files::WriteResult::Written;
}

}  // namespace zalohy
