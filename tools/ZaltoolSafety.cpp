#include "ZaltoolSafety.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "FileIo.h"
#include "FolderLock.h"
#include "ScaleAddress.h"
#include "ScaleCommand.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// diff: the archives hold different members.
constexpr int kDiffer = 1;
// diff: an archive could not be compared at all (unreadable or unsound), kept
// apart from kDiffer so that a script never takes a broken archive for a
// changed one; the same status as a wrong command line, as cmp and diff have.
constexpr int kCannotCompare = 2;

void line(JobOutput& out, const std::string& text) { out.write(false, text + "\n"); }
void complain(JobOutput& out, const std::string& what) { out.write(true, "zaltool: " + what + "\n"); }
void complain(const std::string& what) { complain(runOutput(), what); }

std::string withStatus(const std::string& text, int status) {
    return text + " (stav " + std::to_string(status) + ")";
}

// What the command line gave one of these commands.
struct Call {
    std::vector<std::string> operands;
    int jobs = 1;
};

// --- diff ------------------------------------------------------------------

// One archive opened for the comparison, its header checked.
struct OpenArchive {
    std::string name;
    fileio::File file;
    ArchiveHeader header;
};

// Opens and checks an archive; on failure says why on stderr.
bool openArchive(OpenArchive& archive) {
    if (!archive.file.open(fileio::toPath(archive.name), "rb")) {
        complain("nelze otevřít archiv " + archive.name);
        return false;
    }
    const std::int64_t length = archive.file.length();
    HeaderBytes bytes{};
    std::string problem;
    if (length < kArchiveHeaderSize || !archive.file.seek(0) ||
        archive.file.read(bytes.data(), bytes.size()) != bytes.size()) {
        problem = "shorter than the 128-byte header";
    } else {
        archive.header = decodeHeader(bytes);
        problem = headerProblem(archive.header, length);
        if (problem.empty()) problem = overlapProblem(archive.header);
        // Every member must lie in the slot of its own kind: the send run
        // looks for a kind only there.
        for (std::size_t i = 0; problem.empty() && i < archive.header.slots.size(); ++i) {
            const std::int32_t id = archive.header.slots[i].id;
            if (id != 0 && archiveSlotOf(id) != static_cast<int>(i))
                problem = "slot " + std::to_string(i) + " holds id " + std::to_string(id);
        }
    }
    if (problem.empty()) return true;
    complain(archive.name + " není platný archiv záloh: " + problem);
    return false;
}

std::int64_t memberSize(const ArchiveSlot& slot) { return static_cast<std::int64_t>(slot.last) - slot.first + 1; }

enum class Compared { Same, Different, Unreadable };

// Compares two members of equal size block by block, never holding more than
// one block of each.
Compared compareMembers(OpenArchive& a, const ArchiveSlot& inA, OpenArchive& b, const ArchiveSlot& inB) {
    constexpr std::size_t kBlock = 64 * 1024;
    std::vector<unsigned char> left(kBlock), right(kBlock);
    if (!a.file.seek(inA.first) || !b.file.seek(inB.first)) return Compared::Unreadable;
    for (std::int64_t rest = memberSize(inA); rest > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(rest, kBlock));
        if (a.file.read(left.data(), n) != n || b.file.read(right.data(), n) != n) return Compared::Unreadable;
        if (std::memcmp(left.data(), right.data(), n) != 0) return Compared::Different;
        rest -= static_cast<std::int64_t>(n);
    }
    return Compared::Same;
}

std::string bytes(std::int64_t size) { return std::to_string(size) + " B"; }

int diff(const Call& call) {
    const std::vector<std::string>& operands = call.operands;
    OpenArchive a{operands[0], {}, {}}, b{operands[1], {}, {}};
    if (!openArchive(a) || !openArchive(b)) return kCannotCompare;
    bool differ = false;
    for (const DataKind& kind : kDataKinds) {
        const std::size_t slot = static_cast<std::size_t>(archiveSlotOf(kind.id));
        const ArchiveSlot& inA = a.header.slots[slot];
        const ArchiveSlot& inB = b.header.slots[slot];
        const bool hasA = inA.id == kind.id, hasB = inB.id == kind.id;
        if (!hasA && !hasB) continue;
        std::string verdict;
        if (!hasB) {
            verdict = "jen v A (" + bytes(memberSize(inA)) + ")";
        } else if (!hasA) {
            verdict = "jen v B (" + bytes(memberSize(inB)) + ")";
        } else {
            Compared compared = Compared::Different;
            if (memberSize(inA) == memberSize(inB)) compared = compareMembers(a, inA, b, inB);
            if (compared == Compared::Unreadable) {
                complain("nelze číst archivy " + a.name + " a " + b.name);
                return kCannotCompare;
            }
            verdict = compared == Compared::Same
                          ? "stejné (" + bytes(memberSize(inA)) + ")"
                          : "rozdílné (A " + bytes(memberSize(inA)) + ", B " + bytes(memberSize(inB)) + ")";
        }
        differ = differ || verdict.rfind("stejné", 0) != 0;
        line(runOutput(), std::string(kind.backupCaption) + ": " + verdict);
    }
    return differ ? kDiffer : kDone;
}

// --- check, check-list ------------------------------------------------------

// Asks the scale for its shop name in the working folder and removes what
// came.
ScaleCheck askShopName(const std::string& address) {
    ScaleCheck result;
    result.status = RunScaleCommand(scaleCommandLine(kDataKinds[kShopName].downloadWord, address));
    // Only 0 is taken for an answer: what other statuses mean depends on the
    // library in use (a vendor's numbers are not ours), and a dead scale must
    // never pass for a live one.
    result.answered = result.status == 0;
    fileio::removeQuietly(fileio::toPath(scaleFileName(address, kDataKinds[kShopName].downloadedSuffix)));
    return result;
}

// A new, empty folder of the system's temporary folder, made for this check
// alone (created exclusively, so no other run's folder is ever taken).
std::optional<fs::path> makeScratchFolder() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return std::nullopt;
    static std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = base / ("zaltool-kontrola-" + std::to_string(random() % 1000000000000ULL));
        if (fs::create_directory(candidate, ec)) return candidate;
        if (ec) return std::nullopt;
    }
    return std::nullopt;
}

// The working folder for as long as the object lives.
class WorkingFolderScope {
public:
    explicit WorkingFolderScope(const fs::path& folder) {
        std::error_code ec;
        previous_ = fs::current_path(ec);
        if (!ec) fs::current_path(folder, ec);
        entered_ = !ec;
    }
    ~WorkingFolderScope() {
        std::error_code ec;
        if (entered_) fs::current_path(previous_, ec);
    }
    WorkingFolderScope(const WorkingFolderScope&) = delete;
    WorkingFolderScope& operator=(const WorkingFolderScope&) = delete;
    bool entered() const { return entered_; }

private:
    fs::path previous_;
    bool entered_ = false;
};

int check(const Call& call) {
    const std::string& address = call.operands[0];
    if (const AddressProblem problem = checkScaleAddress(address); problem != AddressProblem::None) {
        complain(address + ": " + addressProblemText(problem));
        return kFailed;
    }
    if (!runs::bindLibrary()) return kFailed;
    const ScaleCheck result = checkScale(address);
    const std::string said = checkLine(address, result);
    line(runOutput(), said);
    if (result.answered) return kDone;
    complain(said);
    return kFailed;
}

// Every scale of the list through the list job runner, whose job folders
// live in a scratch folder of this run.
int checkList(const Call& call) {
    ListRunRequest request;
    request.listName = call.operands[0];
    std::error_code ec;
    const fs::path list = fs::absolute(fileio::toPath(request.listName), ec);
    request.list = ec ? request.listName : fileio::toUtf8(list);
    request.jobs = call.jobs;
    if (!runs::bindLibrary()) return kFailed;
    const std::optional<fs::path> folder = makeScratchFolder();
    if (!folder) {
        complain("nelze vytvořit pomocnou složku");
        return kFailed;
    }
    request.work = fileio::toUtf8(*folder);
    const int status = runCheckList(request);
    fs::remove_all(*folder, ec);
    return status;
}

// --- command lines ----------------------------------------------------------

struct SafetyRun {
    ZaltoolRun about;
    std::size_t operands;
    int (*run)(const Call&);
    bool jobsOption = false;
};

const SafetyRun kSafetyRuns[] = {
    {{"diff", "A.zal B.zal", "compare two archives kind by kind (exit 0 same, 1 different, 2 unreadable)",
      zaltoolDiff},
     2, diff},
    {{"check", "ADDRESS", "ask a scale for its shop name in a scratch folder: does it answer?", zaltoolCheck},
     1, check},
    {{"check-list", "LIST [--jobs=N]", "check every scale of the list file LIST (up to N at once), one line each and a summary",
      zaltoolCheckList},
     1, checkList, true},
};

int zaltoolEntry(std::size_t index, int argc, char** argv) {
    prepareConsoleOutput();
    const SafetyRun& form = kSafetyRuns[index];
    const auto usage = [&form](const std::string& what) {
        std::fprintf(stderr, "zaltool: %s: %s (see 'zaltool %s --help')\n", form.about.name, what.c_str(),
                     form.about.name);
        return kUsage;
    };
    std::vector<option> table{{"help", no_argument, nullptr, 'h'}};
    if (form.jobsOption) table.push_back({"jobs", required_argument, nullptr, 'j'});
    table.push_back({nullptr, 0, nullptr, 0});
    Call call;
    optind = 0;  // start afresh on this command's arguments
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1;) {
        if (code == 'h') {
            std::printf("usage: zaltool %s %s\n%s\n", form.about.name, form.about.synopsis, form.about.summary);
            if (form.jobsOption)
                std::printf("  --jobs=N  up to N scales at once (1 to %d, default 1)\n", ListJobRunner::kMaxJobs);
            return kDone;
        }
        if (code != 'j') return usage(std::string(code == ':' ? "option needs a value: " : "unknown option ") +
                                      argv[optind - 1]);
        const std::string_view text(optarg);
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), call.jobs);
        if (ec != std::errc() || end != text.data() + text.size() || call.jobs < 1 ||
            call.jobs > ListJobRunner::kMaxJobs)
            return usage("--jobs takes a number from 1 to " + std::to_string(ListJobRunner::kMaxJobs));
    }
    call.operands.assign(argv + optind, argv + argc);
    if (call.operands.size() != form.operands)
        return usage(std::string("usage: zaltool ") + form.about.name + " " + form.about.synopsis);
    return form.run(call);
}

}  // namespace

int zaltoolDiff(int argc, char** argv) { return zaltoolEntry(0, argc, argv); }
int zaltoolCheck(int argc, char** argv) { return zaltoolEntry(1, argc, argv); }
int zaltoolCheckList(int argc, char** argv) { return zaltoolEntry(2, argc, argv); }

const ZaltoolRun* findZaltoolSafetyRun(std::string_view name) {
    for (const SafetyRun& run : kSafetyRuns)
        if (name == run.about.name) return &run.about;
    return nullptr;
}

void printZaltoolSafetyHelp(std::FILE* out) {
    std::fprintf(out, "\nbefore a send, and before a night's job:\n");
    for (const SafetyRun& run : kSafetyRuns)
        std::fprintf(out, "  %s %s\n      %s\n", run.about.name, run.about.synopsis, run.about.summary);
}

std::string safetyArchiveName(const std::string& address, const std::string& stamp) {
    return runs::archiveName(address, stamp + "-pred-odeslanim");
}

bool backUpBeforeSend(const std::string& address, const std::array<bool, 6>& kinds, const std::string& folder,
                      bool force, JobOutput& out) {
    bool any = false;
    for (const bool kind : kinds) any = any || kind;
    if (!any) return true;  // nothing will be replaced

    const fs::path target =
        fileio::toPath(folder) / fileio::toPath(safetyArchiveName(address, runs::localTime("%Y-%m-%d-%H%M%S")));
    const std::string shown = fileio::toUtf8(target);
    line(out, address + ": záloha před odesláním do " + shown);

    int status = 0;
    std::string why;
    bool complete = false;
    fileio::File reserved;
    std::optional<fs::path> temp;
    if (fileio::exists(shown)) {
        why = "soubor " + shown + " už existuje";
    } else if (!(temp = fileio::createTempBeside(target, reserved))) {
        why = "nelze vytvořit soubor ve složce " + folder;
    } else {
        // Only the name is kept: the run creates the archive itself.
        reserved.close();
        fileio::removeQuietly(*temp);
        complete = runs::backUpScale(address, fileio::toUtf8(*temp), kinds, false, &status, &out);
        if (complete && !fileio::renameFile(fileio::toUtf8(*temp), shown)) {
            why = "nelze přejmenovat zálohu na " + shown;
            complete = false;
        }
        if (complete) fileio::syncFolder(target.parent_path());
        else fileio::removeQuietly(*temp);
    }
    if (complete) {
        line(out, address + ": záloha před odesláním uložena do " + shown);
        return true;
    }
    std::string said = address + ": záloha před odesláním se nezdařila";
    if (status != 0) said = withStatus(said, status);
    if (!why.empty()) said += ": " + why;
    said += force ? "; odesílá se přesto (--force)" : "; do váhy nebylo nic odesláno";
    line(out, said);
    complain(out, said);
    return force;
}

ScaleCheck checkScale(const std::string& address) {
    ScaleCheck result;
    const std::optional<fs::path> folder = makeScratchFolder();
    if (!folder) {
        result.problem = "nelze vytvořit pomocnou složku";
        return result;
    }
    {
        FolderLock lock;
        WorkingFolderScope inside(*folder);
        if (!lock.acquire(fileio::toUtf8(*folder))) {
            result.problem = lock.problem();
        } else if (!inside.entered()) {
            result.problem = "nelze pracovat ve složce " + fileio::toUtf8(*folder);
        } else {
            result = askShopName(address);
        }
    }
    // The shop name downloaded, the status file and the lock file go with it.
    std::error_code ec;
    fs::remove_all(*folder, ec);
    return result;
}

std::string checkLine(const std::string& address, const ScaleCheck& check) {
    if (!check.problem.empty()) return address + ": nelze ověřit: " + check.problem;
    if (check.answered) return withStatus(address + ": váha odpovídá", check.status);
    return withStatus(address + ": váha neodpovídá", check.status);
}

int checkScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if (args.size() != 1) return kFailed;
    const std::string& address = args[0];
    const ScaleCheck result = askShopName(address);
    const std::string said = checkLine(address, result);
    line(out, said);
    if (result.answered) return kDone;
    complain(out, said);
    return kFailed;
}

}  // namespace zalohy
