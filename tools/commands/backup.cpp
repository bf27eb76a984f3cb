// zaltool backup ADDRESS ARCHIVE: the backup dialog's run for one scale.
#include "FileIo.h"
#include "ScaleRuns.h"

namespace fs = std::filesystem;

namespace zalohy {
namespace {

bool syncFile(const fs::path& path) {
    fileio::File file;
    return file.open(path, "r+b") && file.sync() && file.close();
}

Exit backup(const Call& call) {
    const std::string& address = call.operands[0];
    const std::string archive = absolutePath(call.operands[1]);
    const KindSet kinds = kindsOption(call).value_or(kAllKinds);
    const bool overwrite = call.has("overwrite");
    if (fileio::exists(archive) && !overwrite) return complain(archive + " už existuje; nahradí ho jen --overwrite");
    if (!enterWorkFolder(call) || !bindLibrary()) return Exit::Failed;
    if (!overwrite) {
        if (backUpScale(address, archive, kinds)) return Exit::Done;
        return complain("záloha váhy " + address + " není úplná");
    }
    // The older archive is replaced only by a complete one: the run writes a
    // temporary file beside it, renamed over it at the end.
    const fs::path target = fileio::toPath(archive);
    fileio::File reserved;
    const std::optional<fs::path> temp = fileio::createTempBeside(target, reserved);
    if (!temp) return complain("vedle " + archive + " nelze vytvořit soubor");
    reserved.close();
    fileio::removeQuietly(*temp);  // only the name is kept: the run creates the archive
    bool complete = backUpScale(address, fileio::toUtf8(*temp), kinds);
    if (complete && !syncFile(*temp)) complete = false;
    if (complete && !fileio::replaceFile(*temp, target)) {
        complain(archive + " nelze nahradit");
        complete = false;
    }
    if (complete) return Exit::Done;
    fileio::removeQuietly(*temp);
    return complain("záloha váhy " + address + " není úplná" +
                    (fileio::exists(archive) ? "; původní " + archive + " zůstává" : std::string()));
}

const CommandRegistration registered{{"backup", "ADDRESS ARCHIVE [--kinds=LIST] [--overwrite] [--work=DIR]",
                                      "back up one scale into ARCHIVE, as the backup dialog does", 2, 2,
                                      {kKindsOption, kWorkOption, {"overwrite"}}, backup, CommandGroup::Run, 10,
                                      kRunOptionsHelp}};

}  // namespace
}  // namespace zalohy
