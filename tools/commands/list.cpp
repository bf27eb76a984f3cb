// zaltool list ARCHIVE: one line per member.
#include "ArchiveOperands.h"
#include "DataKind.h"

#include <string>

namespace zalohy {
namespace {

Exit list(const Call& call) {
    BackupArchive archive(call.operands[0]);
    if (!readDirectory(archive, call.out())) return Exit::Failed;
    const ArchiveHeader& header = archive.header();
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const ArchiveSlot& s = header.slots[i];
        if (s.id == 0) continue;
        const DataKind* kind = kindById(s.id);
        say(std::string(kind ? kind->name : "unknown") + "\t" + std::to_string(s.id) + "\t" + std::to_string(i) +
            "\t" + std::to_string(s.first) + "\t" + std::to_string(s.last) + "\t" +
            std::to_string(static_cast<long long>(s.last) - s.first + 1),
            call.out());
    }
    return Exit::Done;
}

const CommandRegistration registered{{"list", "ARCHIV",
                                      "vypíše jeden řádek na člen: druh, id, pozice, první, poslední bajt, velikost\n"
                                      "      (oddělené tabulátorem)",
                                      1, 1,
                                      {}, list, CommandGroup::Archive, 10}};

}  // namespace
}  // namespace zalohy
