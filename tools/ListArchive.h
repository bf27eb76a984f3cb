// How backup-list puts a scale's archive in place.
#pragma once

#include "AtomicWrite.h"

#include <cstdint>
#include <filesystem>

namespace zalohy {

// A copy of the job's finished archive at `target`, over an older one:
// written into a held temporary file beside it (so that no sweep takes it
// from under the job), synced, renamed, the folder synced. The final name
// only ever names a complete archive; anything but a regular file under it
// (a link, a FIFO, a device, a folder) is refused and left alone.
inline bool placeListArchive(const std::filesystem::path& archive, const std::filesystem::path& target) {
    const auto copy = [&](files::File& out) {
        files::File in;
        if (!in.openRegular(archive)) return false;
        const files::CopyResult copied = files::copyBytes(in, out, INT64_MAX);
        return !copied.readError && !copied.writeError;
    };
    return files::writeFileAtomically(target, copy, {.refuseLink = true}) == files::WriteResult::Written;
}

}  // namespace zalohy
