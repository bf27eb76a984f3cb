// zaltool backup ADDRESS ARCHIVE: the backup run for one scale.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScaleRuns.h"

namespace zalohy {
namespace {

Exit backup(const Call& call) {
    const std::string& address = call.operands[0];
    const std::filesystem::path path = absolutePath(call.operands[1]);
    const std::string archive = files::toUtf8(path);
    const KindSet kinds = kindsOption(call).value_or(kAllKinds);
    const bool overwrite = call.has("overwrite");
    JobOutput& out = call.out();
    if (files::exists(path) && !overwrite)
        return complain(archive + " už existuje; nahradí ho jen --overwrite", out);
    if (!enterWorkFolder(call) || !bindLibrary(out)) return Exit::Failed;
    if (!overwrite) {
        if (backUpScale(address, path, kinds, nullptr, out)) return Exit::Done;
        return complain("záloha váhy " + address + " není úplná", out);
    }
    // The older archive is replaced only by a complete one: the run writes a
    // temporary file beside it, renamed over it at the end.
    switch (backUpInPlace(address, path, kinds, files::Replace::Yes, nullptr, out)) {
    case Placed::Done: return Exit::Done;
    case Placed::NoTemporary: return complain("vedle " + archive + " nelze vytvořit soubor", out);
    case Placed::NotPlaced: complain(archive + " nelze nahradit", out); break;
    case Placed::Incomplete: break;
    }
    return complain("záloha váhy " + address + " není úplná" +
                    (files::exists(path) ? "; původní " + archive + " zůstává" : std::string()),
                    out);
}

const CommandRegistration registered{
    {"backup", "ADRESA ARCHIV", "zazálohuje jednu váhu do ARCHIVU, jako okno zálohy", 2, 2,
     {kKindsOption, {"overwrite", nullptr, "nahradí existující ARCHIV (jinak je odmítnut)"}, kWorkOption}, backup,
     CommandGroup::Run, 10}};

}  // namespace
}  // namespace zalohy
