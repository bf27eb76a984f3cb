#include "ScaleRuns.h"

#include "DatedArchives.h"

#include "AtomicWrite.h"
#include "BackupRun.h"
#include "DataKind.h"
#include "Platform.h"
#include "ScaleCommand.h"
#include "SendRun.h"
#include "WorkingFiles.h"

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
            throw UsageError{"unknown kind '" + std::string(word) +
                             "' (kinds: formaty,texty,nazev,presety,plu,image)"};
        kinds[static_cast<std::size_t>(found - kKindWords.begin())] = true;
        if (comma == std::string_view::npos) return kinds;
        at = comma + 1;
    }
}

std::optional<std::string> backupFirstOption(const Call& call) {
    const std::optional<std::string> folder = call.value("backup-first");
    if (call.has("force") && !folder) throw UsageError{"--force needs --backup-first"};
    if (folder) return absolutePath(*folder);
    return std::nullopt;
}

bool prepareSafetyFolder(const std::string& folder, bool dryRun, bool tell) {
    const fs::path path = files::toPath(folder);
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    if (fs::exists(fs::symlink_status(path, ec))) return complain(folder + " není složka"), false;
    if (dryRun) {
        if (tell) say("složka " + folder + " pro zálohy před odesláním bude vytvořena");
        return true;
    }
    if (!fs::create_directory(path, ec) || ec)
        return complain("složku " + folder + " pro zálohy před odesláním nelze vytvořit"), false;
    if (tell) say("složka " + folder + " pro zálohy před odesláním vytvořena");
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
    if (ec) complain("cannot work in " + *work + ": " + ec.message());
    return !ec;
}

// The scale library beside zaltool (the build tree, the Windows zips), or
// where an installation keeps it with the program.
bool bindLibrary() {
    const LibraryBinding beside = ScaleLibrary::bindBesideExecutable();
    if (beside.ok) return true;
    std::string problem = beside.message();
#ifdef ZALOHY_TOOL_TO_LIBRARY
    const LibraryBinding installed = ScaleLibrary::bindNearExecutable(ZALOHY_TOOL_TO_LIBRARY);
    if (installed.ok) return true;
    problem += "; " + installed.message();
#endif
    complain(problem);
    return false;
}

namespace {

std::string withStatus(const std::string& text, int status) {
    return text + " (stav " + std::to_string(status) + ")";
}

// A run's report on the console: its lines and status lines on stdout (a
// status line only when it changes), each box on stderr as "caption: text"
// on one line; the list run's pause says nothing.
class ConsoleReport : public RunReport {
public:
    explicit ConsoleReport(JobOutput& out) : out_(out) {}
    void line(const std::string& text) override { out_.write(false, text + "\n"); }
    void message(const std::string& text, const std::string& caption) override {
        out_.write(true, caption + ": " + asOneLine(text) + "\n");
    }
    void warning(const std::string& text, const std::string& caption) override { message(text, caption); }
    void status(const std::string& text) override {
        if (text.empty() || text == printedStatus_) return;
        printedStatus_ = text;
        line(text);
    }

private:
    JobOutput& out_;
    std::string printedStatus_;
};

}  // namespace

bool backUpScale(const std::string& address, const fs::path& archive, const KindSet& kinds, int* status,
                 JobOutput& out) {
    ConsoleReport report(out);
    const RunResult run = BackupRun({address, archive, kinds, BackupRequest::Existing::Refuse}, report).run();
    if (status) *status = run.failedStatus();
    if (!run.complete) return false;
    const std::optional<KindSet> held = heldKinds(archive, nullptr);
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i] && !(held && (*held)[i]))
            return complain(files::toUtf8(archive) + " neobsahuje všechny zazálohované druhy dat", out), false;
    return true;
}

Placed backUpInPlace(const std::string& address, const fs::path& target, const KindSet& kinds, files::Replace replace,
                     int* status, JobOutput& out) {
    const std::optional<fs::path> temp = files::temporaryNameBeside(target);
    if (!temp) return Placed::NoTemporary;
    if (!backUpScale(address, *temp, kinds, status, out)) {
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

RunResult sendToScale(const ScaleSend& send, JobOutput& out) {
    ConsoleReport report(out);
    const std::string archive = files::toUtf8(send.archive);
    SendRequest request{send.address, send.archive, send.kinds.value_or(KindSet{}), send.listed};
    KindSet replaced = request.kinds;
    if (send.listed) {
        replaced[kImage] = false;  // never sent to a list
    } else {
        report.line(archive);
        const std::optional<KindSet> held = heldKinds(send.archive, &report);
        if (!held) return complain("nelze číst archiv " + archive, out), RunResult{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            if (send.kinds && (*send.kinds)[i] && !(*held)[i] && !send.onlyHeld)
                return complain(archive + " neobsahuje " + kKindWords[i], out), RunResult{};
            request.kinds[i] = (*held)[i] && (!send.kinds || (*send.kinds)[i]);
        }
        // An archive that holds none of the kinds asked for has nothing to
        // send: the run must not report a send that sent nothing.
        if (std::none_of(request.kinds.begin(), request.kinds.end(), [](bool kind) { return kind; }))
            return complain(archive + " neobsahuje žádný z vybraných druhů dat; do váhy nebylo nic odesláno", out),
                   RunResult{};
        replaced = request.kinds;
    }
    if (send.safetyFolder && !backUpBeforeSend(send.address, replaced, *send.safetyFolder, send.force, out))
        return {};
    LibraryRunner runner(report);
    const RunResult run = SendRun(std::move(request), report, runner).run();
    if (!send.listed && !run.complete) complain("odeslání do váhy " + send.address + " není úplné", out);
    return run;
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
