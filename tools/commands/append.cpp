// zaltool append ARCHIVE ID DATAFILE.
#include "ArchiveOperands.h"
#include "DataKind.h"

namespace zalohy {
namespace {

Exit append(const Call& call) {
    const std::int32_t id = memberId(call.operands[1]);
    // Refused before the archive is touched: no new archive is left behind.
    if (archiveSlotOf(id) < 0) return complain("no kind of data has the id " + std::to_string(id));
    BackupArchive archive(call.operands[0]);
    switch (archive.AppendMember(id, call.operands[2])) {
    case BackupArchive::kAppended: return Exit::Done;
    case BackupArchive::kAlreadyStored:
        return complain(archive.fileName() + " already holds member " + std::to_string(id));
    case BackupArchive::kUnknownId: return complain("no kind of data has the id " + std::to_string(id));
    default: return complain(archive.lastError());
    }
}

const CommandRegistration registered{{"append", "ARCHIVE ID DATAFILE",
                                      "store DATAFILE as member ID; creates a missing archive", 3, 3, {}, append,
                                      CommandGroup::Archive, 30}};

}  // namespace
}  // namespace zalohy
