#include "SafetyBackup.h"

#include "DatedArchives.h"
#include "File.h"
#include "Platform.h"
#include "ScaleRuns.h"
#include "WorkingFiles.h"

#include <algorithm>
#include <ctime>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy {

bool prepareSafetyFolder(const fs::path& path, JobOutput& out, bool dryRun, bool tell) {
    const std::string folder = files::toUtf8(path);
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    if (fs::exists(fs::symlink_status(path, ec))) return complain(folder + " není složka", out), false;
    if (dryRun) {
        if (tell) say("složka " + folder + " pro zálohy před odesláním bude vytvořena", out);
        return true;
    }
    if (!fs::create_directory(path, ec) || ec)
        return complain("složku " + folder + " pro zálohy před odesláním nelze vytvořit", out), false;
    if (tell) say("složka " + folder + " pro zálohy před odesláním vytvořena", out);
    return true;
}

std::string localTime(const char* format) {
    const std::tm local = platform::localTime(std::time(nullptr));
    char text[32] = {};
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool backUpBeforeSend(const std::string& address, const KindSet& kinds, const fs::path& folder, bool force,
                      JobOutput& out) {
    if (std::none_of(kinds.begin(), kinds.end(), [](bool kind) { return kind; })) return true;  // nothing replaced

    const fs::path target =
        folder / files::toPath(safetyArchiveName(address, localTime("%Y-%m-%d-%H%M%S")));
    const std::string shown = files::toUtf8(target);
    say(address + ": záloha před odesláním do " + shown, out);

    int status = 0;
    std::string why;
    Placed placed = Placed::Incomplete;
    if (files::exists(target)) {
        why = "soubor " + shown + " už existuje";
    } else {
        placed = backUpInPlace(address, target, kinds, files::Replace::No, &status, out);
        if (placed == Placed::NoTemporary) why = "nelze vytvořit soubor ve složce " + files::toUtf8(folder);
        if (placed == Placed::NotPlaced) why = "nelze přejmenovat zálohu na " + shown;
    }
    if (placed == Placed::Done) {
        say(address + ": záloha před odesláním uložena do " + shown, out);
        return true;
    }
    std::string said = address + ": záloha před odesláním se nezdařila";
    if (status != 0) said = withStatus(said, status);
    if (!why.empty()) said += ": " + why;
    said += force ? "; odesílá se přesto (--force)" : "; do váhy nebylo nic odesláno";
    say(said, out);
    complain(said, out);
    return force;
}

}  // namespace zalohy
