// zaltool diff A.zal B.zal: two archives compared kind by kind.
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

// One archive opened for the comparison, its header checked.
struct OpenArchive {
    std::string name;
    files::File file;
    ArchiveHeader header;
};

// Opens and checks an archive; on failure says why on stderr.
bool openArchive(OpenArchive& archive) {
    if (!archive.file.open(files::toPath(archive.name), "rb")) {
        complain("nelze otevřít archiv " + archive.name);
        return false;
    }
    const std::int64_t length = archive.file.length();
    HeaderBytes bytes{};
    std::string problem;
    if (length < kArchiveHeaderSize || !archive.file.seek(0) ||
        archive.file.read(bytes.data(), bytes.size()) != bytes.size()) {
        problem = "shorter than the 128-byte header";
    } else {
        archive.header = decodeHeader(bytes);
        problem = headerProblem(archive.header, length);
        if (problem.empty()) problem = overlapProblem(archive.header);
        // Every member must lie in the slot of its own kind: the send run
        // looks for a kind only there.
        for (std::size_t i = 0; problem.empty() && i < archive.header.slots.size(); ++i) {
            const std::int32_t id = archive.header.slots[i].id;
            if (id != 0 && archiveSlotOf(id) != static_cast<int>(i))
                problem = "slot " + std::to_string(i) + " holds id " + std::to_string(id);
        }
    }
    if (problem.empty()) return true;
    complain(archive.name + " není platný archiv záloh: " + problem);
    return false;
}

std::int64_t memberSize(const ArchiveSlot& slot) { return static_cast<std::int64_t>(slot.last) - slot.first + 1; }

enum class Compared { Same, Different, Unreadable };

// Compares two members of equal size block by block, never holding more than
// one block of each.
Compared compareMembers(OpenArchive& a, const ArchiveSlot& inA, OpenArchive& b, const ArchiveSlot& inB) {
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<unsigned char> left(kBlock), right(kBlock);
    if (!a.file.seek(inA.first) || !b.file.seek(inB.first)) return Compared::Unreadable;
    for (std::int64_t rest = memberSize(inA); rest > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(rest, kBlock));
        if (a.file.read(left.data(), n) != n || b.file.read(right.data(), n) != n) return Compared::Unreadable;
        if (std::memcmp(left.data(), right.data(), n) != 0) return Compared::Different;
        rest -= static_cast<std::int64_t>(n);
    }
    return Compared::Same;
}

std::string bytes(std::int64_t size) { return std::to_string(size) + " B"; }

Exit diff(const Call& call) {
    OpenArchive a{call.operands[0], {}, {}}, b{call.operands[1], {}, {}};
    if (!openArchive(a) || !openArchive(b)) return kCannotCompare;
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
            Compared compared = Compared::Different;
            if (memberSize(inA) == memberSize(inB)) compared = compareMembers(a, inA, b, inB);
            if (compared == Compared::Unreadable) {
                complain("nelze číst archivy " + a.name + " a " + b.name);
                return kCannotCompare;
            }
            verdict = compared == Compared::Same
                          ? "stejné (" + bytes(memberSize(inA)) + ")"
                          : "rozdílné (A " + bytes(memberSize(inA)) + ", B " + bytes(memberSize(inB)) + ")";
        }
        differ = differ || verdict.rfind("stejné", 0) != 0;
        say(std::string(kind.backupCaption) + ": " + verdict);
    }
    return differ ? kDiffer : Exit::Done;
}

const CommandRegistration registered{{"diff", "A.zal B.zal",
                                      "compare two archives kind by kind (exit 0 same, 1 different, 2 unreadable)", 2,
                                      2, {}, diff, CommandGroup::Safety, 10}};

}  // namespace

}  // namespace zalohy
