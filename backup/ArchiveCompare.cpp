#include "ArchiveCompare.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zalohy {

ArchiveState openSoundArchive(const std::filesystem::path& path, OpenArchive& archive, std::string* problem) {
    if (!archive.file.openRegular(path)) return ArchiveState::Unopenable;
    const std::int64_t length = archive.file.length();
    HeaderBytes bytes{};
    std::string why;
    if (length < kArchiveHeaderSize || !archive.file.seek(0) ||
        archive.file.read(bytes.data(), bytes.size()) != bytes.size()) {
        why = "kratší než 128bajtová hlavička";
    } else {
        archive.header = decodeHeader(bytes);
        why = headerProblem(archive.header, length);
        if (why.empty()) why = overlapProblem(archive.header);
        if (why.empty()) why = placementProblem(archive.header);
        // An archive without members restores nothing: it is no backup.
        if (why.empty() && std::all_of(archive.header.slots.begin(), archive.header.slots.end(),
                                       [](const ArchiveSlot& slot) { return slot.id == 0; }))
            why = "neobsahuje žádná data";
    }
    if (why.empty()) return ArchiveState::Sound;
    if (problem) *problem = why;
    return ArchiveState::Unsound;
}

Compared compareMembers(OpenArchive& a, const ArchiveSlot& inA, OpenArchive& b, const ArchiveSlot& inB) {
    if (memberSize(inA) != memberSize(inB)) return Compared::Different;
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

std::vector<KindCompared> compareArchives(OpenArchive& a, OpenArchive& b) {
    std::vector<KindCompared> kinds;
    for (const DataKind& kind : kDataKinds) {
        KindCompared one{&kind, a.header.memberOf(kind.id), b.header.memberOf(kind.id)};
        if (!one.inA && !one.inB) continue;
        one.compared = one.inA && one.inB ? compareMembers(a, *one.inA, b, *one.inB) : Compared::Different;
        kinds.push_back(one);
        if (one.compared == Compared::Unreadable) break;
    }
    return kinds;
}

}  // namespace zalohy
