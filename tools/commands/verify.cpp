// zaltool verify ARCHIVE.
#include "ArchiveCompare.h"
#include "ArchiveOperands.h"
#include "WorkingFiles.h"

namespace zalohy {
namespace {

// The archive judged as restore-list and the report judge it: a header that
// checks and at least one member.
Exit verify(const Call& call) {
    BackupArchive archive(call.operands[0]);
    if (!readDirectory(archive)) return Exit::Failed;
    OpenArchive open;
    std::string problem;
    switch (openSoundArchive(files::toPath(call.operands[0]), open, &problem)) {
    case ArchiveState::Sound: return Exit::Done;
    case ArchiveState::Unopenable: return complain("nelze otevřít archiv " + archive.fileName());
    case ArchiveState::Unsound: break;
    }
    return complain(archive.fileName() + ": není platný archiv záloh: " + problem);
}

const CommandRegistration registered{{"verify", "ARCHIVE",
                                      "check the archive: every member inside the file, no overlaps, each kind in "
                                      "its own slot, at least one member",
                                      1, 1, {}, verify, CommandGroup::Archive, 40}};

}  // namespace
}  // namespace zalohy
