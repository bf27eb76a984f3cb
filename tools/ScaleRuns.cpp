#include "ScaleRuns.h"

#include "DatedArchives.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "Platform.h"
#include "ScaleCommand.h"
#include "SendDialog.h"

#include <algorithm>
#include <ctime>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy {

static_assert(kKindWords.size() == kDataKinds.size());

std::string kindsArgument(const KindSet& kinds) {
    std::string text;
    for (bool kind : kinds) text.push_back(kind ? '1' : '0');
    return text;
}

KindSet kindsFromArgument(const std::string& text) {
    KindSet kinds{};
    for (std::size_t i = 0; i < kinds.size() && i < text.size(); ++i) kinds[i] = text[i] == '1';
    return kinds;
}

std::optional<KindSet> kindsOption(const Call& call) {
    const std::optional<std::string> given = call.value("kinds");
    if (!given) return std::nullopt;
    const std::string_view list = *given;
    KindSet kinds{};
    for (std::size_t at = 0;;) {
        const std::size_t comma = list.find(',', at);
        const std::string_view word = list.substr(at, comma == std::string_view::npos ? comma : comma - at);
        const auto found = std::find(kKindWords.begin(), kKindWords.end(), word);
        if (found == kKindWords.end())
            throw UsageError{"neznámý druh dat '" + std::string(word) +
                             "' (druhy: formaty,texty,nazev,presety,plu,image)"};
        kinds[static_cast<std::size_t>(found - kKindWords.begin())] = true;
        if (comma == std::string_view::npos) return kinds;
        at = comma + 1;
    }
}

std::optional<std::string> backupFirstOption(const Call& call) {
    const std::optional<std::string> folder = call.value("backup-first");
    if (call.has("force") && !folder) throw UsageError{"--force platí jen s --backup-first"};
    if (folder) return absolutePath(*folder);
    return std::nullopt;
}

bool prepareSafetyFolder(const std::string& folder, JobOutput& out, bool dryRun, bool tell) {
    const fs::path path = files::toPath(folder);
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

std::string absolutePath(const std::string& given) {
    std::error_code ec;
    const fs::path path = fs::absolute(files::toPath(given), ec);
    return ec ? given : files::toUtf8(path.lexically_normal());
}

bool enterWorkFolder(const Call& call) {
    const std::optional<std::string> work = call.value("work");
    if (!work) return true;
    std::error_code ec;
    fs::current_path(files::toPath(*work), ec);
    if (ec) complain("nelze pracovat ve složce " + *work + ": " + ec.message(), call.out());
    return !ec;
}

// The scale library beside zaltool (the build tree, the Windows zips), or
// where an installation keeps it with the program.
bool bindLibrary(JobOutput& out) {
    const LibraryBinding beside = ScaleLibrary::bindBesideExecutable();
    if (beside.ok) return true;
    std::string problem = beside.message();
#ifdef ZALOHY_TOOL_TO_LIBRARY
    const LibraryBinding installed = ScaleLibrary::bindNearExecutable(ZALOHY_TOOL_TO_LIBRARY);
    if (installed.ok) return true;
    problem += "; " + installed.message();
#endif
    complain(problem, out);
    return false;
}

namespace {

// Whether the archive's directory lists every kind of the set.
bool archiveHolds(const std::string& path, const KindSet& kinds) {
    BackupArchive archive(path);
    std::array<std::int32_t, 10> ids{};
    if (!archive.ReadDirectory(ids)) return false;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i] && ids[static_cast<std::size_t>(archiveSlotOf(kDataKinds[i].id))] != kDataKinds[i].id)
            return false;
    return true;
}

std::string withStatus(const std::string& text, int status) {
    return text + " (stav " + std::to_string(status) + ")";
}

}  // namespace

// The dialog shown, the address typed, the kinds ticked, "Ulož" pressed and
// the archive chosen.
bool backUpScale(const std::string& address, const std::string& archive, const KindSet& kinds, int* status,
                 JobOutput& out) {
    ConsolePort port(kBackupDialogForm);
    port.setSink([&out](bool error, const std::string& text) { out.write(error, text); });
    port.setChosenFile(archive);
    BackupDialog dialog(port, std::string());  // no settings file: its FormClose is never called
    dialog.FormActivate();
    port.setEditText(Control::EditScaleNumber, address);
    for (std::size_t i = 0; i < kinds.size(); ++i) port.setChecked(kDataKinds[i].checkBox, kinds[i]);
    const RunResult run = dialog.SaveToArchiveClick();
    if (status) *status = run.failedStatus();
    if (!run.complete || port.problemBoxes() > 0) return false;
    if (archiveHolds(archive, kinds)) return true;
    complain(archive + " neobsahuje všechny zazálohované druhy dat", out);
    return false;
}

Placed backUpInPlace(const std::string& address, const fs::path& target, const KindSet& kinds, files::Replace replace,
                     int* status, JobOutput& out) {
    const std::optional<fs::path> temp = files::temporaryNameBeside(target);
    if (!temp) return Placed::NoTemporary;
    if (!backUpScale(address, files::toUtf8(*temp), kinds, status, out)) {
        files::removeQuietly(*temp);
        return Placed::Incomplete;
    }
    return files::placeFile(*temp, target, {replace}) ? Placed::Done : Placed::NotPlaced;
}

std::string communicationFailureLine(const std::string& address, int status) {
    return withStatus(address + ": Chyba komunikace s váhou", status);
}

std::string localTime(const char* format) {
    const std::tm local = platform::localTime(std::time(nullptr));
    char text[32] = {};
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string today() { return localTime("%Y-%m-%d"); }

std::string archiveName(const std::string& address, const std::string& date) {
    return archiveNamePart(address) + "-" + date + ".zal";
}

std::string safetyArchiveName(const std::string& address, const std::string& stamp) {
    return archiveName(address, stamp + "-pred-odeslanim");
}

bool backUpBeforeSend(const std::string& address, const KindSet& kinds, const std::string& folder, bool force,
                      JobOutput& out) {
    if (std::none_of(kinds.begin(), kinds.end(), [](bool kind) { return kind; })) return true;  // nothing replaced

    const fs::path target =
        files::toPath(folder) / files::toPath(safetyArchiveName(address, localTime("%Y-%m-%d-%H%M%S")));
    const std::string shown = files::toUtf8(target);
    say(address + ": záloha před odesláním do " + shown, out);

    int status = 0;
    std::string why;
    Placed placed = Placed::Incomplete;
    if (files::exists(target)) {
        why = "soubor " + shown + " už existuje";
    } else {
        placed = backUpInPlace(address, target, kinds, files::Replace::No, &status, out);
        if (placed == Placed::NoTemporary) why = "nelze vytvořit soubor ve složce " + folder;
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

bool sendToScale(const SendRequest& request, JobOutput& out, int* status) {
    const ConsolePort::Sink sink = [&out](bool error, const std::string& text) { out.write(error, text); };
    ConsolePort runnerPort(kBackupDialogForm);
    runnerPort.setSink(sink);
    ConsolePort port(kSendDialogForm);
    port.setSink(sink);
    port.setChosenFile(request.archive);
    BackupDialog runner(runnerPort, std::string());  // the send dialog's transfers go through it
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    dialog.FileSelectBtnClick();
    if (port.problemBoxes() > 0) return complain("nelze číst archiv " + request.archive, out), false;
    if (request.kinds) {
        for (std::size_t i = 0; i < kDataKinds.size(); ++i)
            if ((*request.kinds)[i] && !port.isEnabled(kDataKinds[i].checkBox) && !request.onlyHeld)
                return complain(request.archive + " neobsahuje " + kKindWords[i], out), false;
        for (std::size_t i = 0; i < kDataKinds.size(); ++i)
            port.setChecked(kDataKinds[i].checkBox,
                            (*request.kinds)[i] && port.isEnabled(kDataKinds[i].checkBox));
    }
    // An archive that holds none of the kinds asked for has nothing to send:
    // the run must not report a send that sent nothing.
    if (std::none_of(kDataKinds.begin(), kDataKinds.end(), [&](const DataKind& kind) { return port.isChecked(kind.checkBox); }))
        return complain(request.archive + " neobsahuje žádný z vybraných druhů dat; do váhy nebylo nic odesláno", out),
               false;
    port.setEditText(Control::EditScaleNumber, request.address);
    if (request.safetyFolder) {
        KindSet ticked{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) ticked[i] = port.isChecked(kDataKinds[i].checkBox);
        if (!backUpBeforeSend(request.address, ticked, *request.safetyFolder, request.force, out)) return false;
    }
    const RunResult run = dialog.SendFormatBtnClick();
    if (status) *status = run.failedStatus();
    if (run.complete && port.problemBoxes() + runnerPort.problemBoxes() == 0) return true;
    complain("odeslání do váhy " + request.address + " není úplné", out);
    return false;
}

ScaleCheck askShopName(const std::string& address) {
    ScaleCheck result;
    result.status = RunScaleCommand(scaleCommandLine(kDataKinds[kShopName].downloadWord, address));
    // Only 0 is taken for an answer: what other statuses mean depends on the
    // library in use (a vendor's numbers are not ours), and a dead scale must
    // never pass for a live one.
    result.answered = result.status == 0;
    files::removeQuietly(files::toPath(scaleFileName(address, kDataKinds[kShopName].downloadedSuffix)));
    return result;
}

std::string checkLine(const std::string& address, const ScaleCheck& check) {
    if (!check.problem.empty()) return address + ": nelze ověřit: " + check.problem;
    if (check.answered) return withStatus(address + ": váha odpovídá", check.status);
    return withStatus(address + ": váha neodpovídá", check.status);
}

}  // namespace zalohy
