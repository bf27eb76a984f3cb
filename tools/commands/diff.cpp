// zaltool diff A.zal B.zal: two archives compared kind by kind.
#include "ArchiveCompare.h"
#include "BackupArchive.h"
#include "Command.h"
#include "DataKind.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zalohy {

namespace {

// The archives hold different members: exit 1. An archive that cannot be
// compared at all (unreadable or unsound) is kept apart from that, so that a
// script never takes a broken archive for a changed one: exit 2, as cmp and
// diff have.
constexpr Exit kDiffer = Exit::Failed;
constexpr Exit kCannotCompare = Exit::Usage;

// Opens and checks an archive; on failure says why on stderr.
bool openArchive(const std::string& name, OpenArchive& archive, JobOutput& out) {
    std::string problem;
    switch (openSoundArchive(files::toPath(name), archive, &problem)) {
    case ArchiveState::Sound: return true;
    case ArchiveState::Unopenable: complain("nelze otevřít archiv " + name, out); return false;
    case ArchiveState::Unsound: break;
    }
    complain(name + " není platný archiv záloh: " + problem, out);
    return false;
}

std::string bytes(std::int64_t size) { return std::to_string(size) + " B"; }

Exit diff(const Call& call) {
    const std::string& nameA = call.operands[0];
    const std::string& nameB = call.operands[1];
    OpenArchive a, b;
    if (!openArchive(nameA, a, call.out()) || !openArchive(nameB, b, call.out())) return kCannotCompare;
    bool differ = false;
    for (const DataKind& kind : kDataKinds) {
        const std::size_t slot = static_cast<std::size_t>(archiveSlotOf(kind.id));
        const ArchiveSlot& inA = a.header.slots[slot];
        const ArchiveSlot& inB = b.header.slots[slot];
        const bool hasA = inA.id == kind.id, hasB = inB.id == kind.id;
        if (!hasA && !hasB) continue;
        std::string verdict;
        if (!hasB) {
            verdict = "jen v A (" + bytes(memberSize(inA)) + ")";
        } else if (!hasA) {
            verdict = "jen v B (" + bytes(memberSize(inB)) + ")";
        } else {
            const Compared compared = compareMembers(a, inA, b, inB);
            if (compared == Compared::Unreadable) {
                complain("nelze číst archivy " + nameA + " a " + nameB, call.out());
                return kCannotCompare;
            }
            verdict = compared == Compared::Same
                          ? "stejné (" + bytes(memberSize(inA)) + ")"
                          : "rozdílné (A " + bytes(memberSize(inA)) + ", B " + bytes(memberSize(inB)) + ")";
        }
        differ = differ || verdict.rfind("stejné", 0) != 0;
        say(std::string(kind.backupCaption) + ": " + verdict, call.out());
    }
    return differ ? kDiffer : Exit::Done;
}

const CommandRegistration registered{{"diff", "A.zal B.zal",
                                      "porovná dva archivy druh po druhu (návratový kód 0 stejné, 1 rozdílné,\n"
                                      "      2 nečitelné)",
                                      2, 2, {}, diff, CommandGroup::Safety, 10}};

}  // namespace

}  // namespace zalohy
