// zaltool append ARCHIVE ID DATAFILE.
#include "ArchiveOperands.h"
#include "DataKind.h"

namespace zalohy {
namespace {

Exit append(const Call& call) {
    const std::int32_t id = memberId(call.operands[1]);
    // Refused before the archive is touched: no new archive is left behind.
    if (archiveSlotOf(id) < 0) return complain("žádný druh dat nemá id " + std::to_string(id), call.out());
    BackupArchive archive(call.operands[0]);
    switch (archive.AppendMember(id, call.operands[2])) {
    case BackupArchive::kAppended: return Exit::Done;
    case BackupArchive::kAlreadyStored:
        return complain(archive.fileName() + " už obsahuje člen " + std::to_string(id), call.out());
    case BackupArchive::kUnknownId: return complain("žádný druh dat nemá id " + std::to_string(id), call.out());
    default: return complain(archive.lastError(), call.out());
    }
}

const CommandRegistration registered{{"append", "ARCHIV ID DATOVÝ_SOUBOR",
                                      "uloží DATOVÝ_SOUBOR jako člen ID; chybějící archiv vytvoří", 3, 3, {}, append,
                                      CommandGroup::Archive, 30}};

}  // namespace
}  // namespace zalohy
