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
    if (!readDirectory(archive, call.out())) return Exit::Failed;
    OpenArchive open;
    std::string problem;
    switch (openSoundArchive(files::toPath(call.operands[0]), open, &problem)) {
    case ArchiveState::Sound: return Exit::Done;
    case ArchiveState::Unopenable: return complain("nelze otevřít archiv " + archive.fileName(), call.out());
    case ArchiveState::Unsound: break;
    }
    return complain(archive.fileName() + ": není platný archiv záloh: " + problem, call.out());
}

const CommandRegistration registered{{"verify", "ARCHIV",
                                      "zkontroluje archiv: každý člen uvnitř souboru, žádné překryvy, každý druh\n"
                                      "      na své pozici, aspoň jeden člen",
                                      1, 1, {}, verify, CommandGroup::Archive, 40}};

}  // namespace
}  // namespace zalohy
