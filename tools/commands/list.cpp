// zaltool list ARCHIVE: one line per member.
#include "ArchiveOperands.h"
#include "DataKind.h"

#include <cstdio>

namespace zalohy {
namespace {

Exit list(const Call& call) {
    BackupArchive archive(call.operands[0]);
    if (!readDirectory(archive)) return Exit::Failed;
    const ArchiveHeader& header = archive.header();
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const ArchiveSlot& s = header.slots[i];
        if (s.id == 0) continue;
        const DataKind* kind = kindById(s.id);
        std::printf("%s\t%d\t%zu\t%d\t%d\t%lld\n", kind ? kind->name : "unknown", s.id, i, s.first, s.last,
                    static_cast<long long>(s.last) - s.first + 1);
    }
    return Exit::Done;
}

const CommandRegistration registered{{"list", "ARCHIVE",
                                      "one line per member: kind, id, slot, first, last, size (tab-separated)", 1, 1,
                                      {}, list, CommandGroup::Archive, 10}};

}  // namespace
}  // namespace zalohy
