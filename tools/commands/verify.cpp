// zaltool verify ARCHIVE.
#include "ArchiveOperands.h"

namespace zalohy {
namespace {

Exit verify(const Call& call) {
    BackupArchive archive(call.operands[0]);
    if (!readDirectory(archive)) return Exit::Failed;
    const std::string overlap = overlapProblem(archive.header());
    if (!overlap.empty()) return complain(archive.fileName() + ": not a sound archive: " + overlap);
    return Exit::Done;
}

const CommandRegistration registered{{"verify", "ARCHIVE",
                                      "check the header: every member inside the file, no overlaps", 1, 1, {}, verify,
                                      CommandGroup::Archive, 40}};

}  // namespace
}  // namespace zalohy
