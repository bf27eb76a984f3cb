// zaltool backup ADDRESS ARCHIVE: the backup run for one scale.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScaleRuns.h"

namespace zalohy {
namespace {

Exit backup(const Call& call) {
    const std::string& address = call.operands[0];
    const std::string archive = absolutePath(call.operands[1]);
    const KindSet kinds = kindsOption(call).value_or(kAllKinds);
    const bool overwrite = call.has("overwrite");
    if (files::exists(files::toPath(archive)) && !overwrite) return complain(archive + " už existuje; nahradí ho jen --overwrite");
    if (!enterWorkFolder(call) || !bindLibrary()) return Exit::Failed;
    if (!overwrite) {
        if (backUpScale(address, files::toPath(archive), kinds)) return Exit::Done;
        return complain("záloha váhy " + address + " není úplná");
    }
    // The older archive is replaced only by a complete one: the run writes a
    // temporary file beside it, renamed over it at the end.
    switch (backUpInPlace(address, files::toPath(archive), kinds, files::Replace::Yes)) {
    case Placed::Done: return Exit::Done;
    case Placed::NoTemporary: return complain("vedle " + archive + " nelze vytvořit soubor");
    case Placed::NotPlaced: complain(archive + " nelze nahradit"); break;
    case Placed::Incomplete: break;
    }
    return complain("záloha váhy " + address + " není úplná" +
                    (files::exists(files::toPath(archive)) ? "; původní " + archive + " zůstává" : std::string()));
}

const CommandRegistration registered{{"backup", "ADDRESS ARCHIVE [--kinds=LIST] [--overwrite] [--work=DIR]",
                                      "back up one scale into ARCHIVE, as the backup dialog does", 2, 2,
                                      {kKindsOption, kWorkOption, {"overwrite"}}, backup, CommandGroup::Run, 10,
                                      kRunOptionsHelp}};

}  // namespace
}  // namespace zalohy
