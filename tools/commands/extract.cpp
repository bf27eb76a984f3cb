// zaltool extract ARCHIVE ID OUTFILE.
#include "ArchiveOperands.h"

namespace zalohy {
namespace {

Exit extract(const Call& call) {
    const std::int32_t id = memberId(call.operands[1]);
    BackupArchive archive(call.operands[0]);
    if (archive.ExtractMember(id, call.operands[2]) == BackupArchive::kExtracted) return Exit::Done;
    return complain(archive.lastError(), call.out());
}

const CommandRegistration registered{{"extract", "ARCHIV ID VÝSTUP",
                                      "zapíše člen ID (34, 38, 52, 41, 25, 67) do souboru VÝSTUP", 3, 3, {}, extract,
                                      CommandGroup::Archive, 20}};

}  // namespace
}  // namespace zalohy
