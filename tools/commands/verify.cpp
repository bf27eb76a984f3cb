// zaltool verify ARCHIVE.
#include "ArchiveOperands.h"

namespace zalohy {
namespace {

Exit verify(const Call& call) {
    BackupArchive archive(call.operands[0]);
    if (!readDirectory(archive)) return Exit::Failed;
    std::string problem = overlapProblem(archive.header());
    if (problem.empty()) problem = placementProblem(archive.header());
    if (!problem.empty()) return complain(archive.fileName() + ": not a sound archive: " + problem);
    return Exit::Done;
}

const CommandRegistration registered{{"verify", "ARCHIVE",
                                      "check the header: every member inside the file, no overlaps, each in its slot", 1, 1, {}, verify,
                                      CommandGroup::Archive, 40}};

}  // namespace
}  // namespace zalohy
