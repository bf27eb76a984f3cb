// Archives opened for reading side by side, as `diff`, the report page and
// restore-list need them: the header checked strictly (every member inside
// the file, none overlapping, each in the slot of its own kind, where the
// send run looks for it, and at least one member) and members compared block
// by block, never read whole into memory.
#pragma once

#include "BackupArchive.h"
#include "DataKind.h"
#include "File.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zalohy {

struct OpenArchive {
    files::File file;
    ArchiveHeader header;
};

enum class ArchiveState { Sound, Unopenable, Unsound };

// Opens the archive at `path` and checks it: sound when its header checks
// and it holds at least one member. For an unsound one, `problem` (when
// given) says what is wrong with it. verify, diff, restore-list, the report
// and the retention of backup-list all judge archives by this one check.
// Only a regular file is opened (a FIFO or a device is Unopenable, never
// waited for).
ArchiveState openSoundArchive(const std::filesystem::path& path, OpenArchive& archive,
                              std::string* problem = nullptr);

inline std::int64_t memberSize(const ArchiveSlot& slot) {
    return static_cast<std::int64_t>(slot.last) - slot.first + 1;
}

enum class Compared { Same, Different, Unreadable };

// Compares a member of `a` with one of `b`: different sizes differ, equal
// ones are compared block by block.
Compared compareMembers(OpenArchive& a, const ArchiveSlot& inA, OpenArchive& b, const ArchiveSlot& inB);

// One kind that either archive holds: its member in each (null: not held)
// and whether the two are the same (a kind held by one only differs).
struct KindCompared {
    const DataKind* kind = nullptr;
    const ArchiveSlot* inA = nullptr;
    const ArchiveSlot* inB = nullptr;
    Compared compared = Compared::Same;
};
// Two sound archives compared kind by kind, in the order of kDataKinds; the
// last entry is Unreadable when the members could not be read.
std::vector<KindCompared> compareArchives(OpenArchive& a, OpenArchive& b);

}  // namespace zalohy
