#include "ZaltoolRuns.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "FileIo.h"
#include "ListJobs.h"
#include "ScaleCommand.h"
#include "ScaleList.h"
#include "SendDialog.h"
#include "ZaltoolSafety.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <array>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace zalohy {

namespace runs {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

static_assert(kKindWords.size() == kDataKinds.size());
constexpr const char* kKindList = "formaty,texty,nazev,presety,plu,image";

// What the runs report when they complete: the backup run's two summary
// lines, and the send run's last status line.
constexpr std::array<const char*, 2> kBackedUp{"Gratulujeme,označené soubory ", "máte zazálohované!"};
constexpr const char* kAllSent = "Navolené datové soubory jsou odeslány";
constexpr Control kAddressBox = Control::EditScaleNumber;

struct Request {
    std::vector<std::string> operands;
    std::optional<KindSet> kinds;
    bool overwrite = false;
    std::optional<std::string> work;
    int jobs = 1;
    int keep = 0;
    std::optional<std::string> backupFirst;  // send: the folder of the safety archive
    bool force = false;                      // send: even when that backup fails
};

struct CommandForm {
    const ZaltoolRun& about;
    std::size_t operands;
    bool overwriteOption;
    int (*run)(const Request&);
    bool jobsOption = false;
    bool keepOption = false;
    bool backupFirstOption = false;  // --backup-first and --force
};

void complain(const std::string& what) { runOutput().write(true, "zaltool: " + what + "\n"); }

bool syncFile(const fs::path& path) {
    fileio::File file;
    return file.open(path, "r+b") && file.sync() && file.close();
}

int fail(const std::string& what) {
    complain(what);
    return kFailed;
}

int usage(const ZaltoolRun& run, const std::string& what) {
    std::fprintf(stderr, "zaltool: %s: %s (see 'zaltool %s --help')\n", run.name, what.c_str(), run.name);
    return kUsage;
}

std::optional<KindSet> parseKinds(std::string_view list, std::string& unknown) {
    KindSet kinds{};
    for (std::size_t at = 0;;) {
        const std::size_t comma = list.find(',', at);
        const std::string_view word = list.substr(at, comma == std::string_view::npos ? comma : comma - at);
        const auto found = std::find(kKindWords.begin(), kKindWords.end(), word);
        if (found == kKindWords.end()) {
            unknown = word;
            return std::nullopt;
        }
        kinds[static_cast<std::size_t>(found - kKindWords.begin())] = true;
        if (comma == std::string_view::npos) return kinds;
        at = comma + 1;
    }
}

// Operands name files against the folder zaltool was started in, not the
// working folder of --work.
std::string absolutePath(const std::string& given) {
    std::error_code ec;
    const fs::path path = fs::absolute(fileio::toPath(given), ec);
    return ec ? given : fileio::toUtf8(path.lexically_normal());
}

bool enterWorkFolder(const Request& request) {
    if (!request.work) return true;
    std::error_code ec;
    fs::current_path(fileio::toPath(*request.work), ec);
    if (ec) complain("cannot work in " + *request.work + ": " + ec.message());
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

// The backup dialog that keeps the library's last status for the caller.
class StatusKeepingDialog : public BackupDialog {
public:
    explicit StatusKeepingDialog(WindowPort& window) : BackupDialog(window, std::string()) {}
    int RunScaleCommand(const std::string& commandLine) override {
        lastStatus = BackupDialog::RunScaleCommand(commandLine);
        return lastStatus;
    }
    int lastStatus = 0;
};

// The backup dialog's run for one scale, as a user would start it: the
// dialog shown, the address typed, the kinds ticked, "Ulož" pressed and the
// archive chosen. True when the run reached its summary with every kind
// backed up, showed no failure and the archive holds every kind.
bool backUpScale(const std::string& address, const std::string& archive, const KindSet& kinds, bool overwrite,
                 int* status, JobOutput* out) {
    JobOutput& output = out ? *out : runOutput();
    ConsolePort port(kBackupDialogForm);
    port.setSink([&output](bool error, const std::string& text) { output.write(error, text); });
    port.setChosenFile(archive);
    port.answerQuestions(overwrite);
    StatusKeepingDialog dialog(port);  // no settings file: its FormClose is never called
    dialog.FormActivate();
    port.setEditText(kAddressBox, address);
    for (std::size_t i = 0; i < kinds.size(); ++i) port.setChecked(kDataKinds[i].checkBox, kinds[i]);
    dialog.SaveToArchiveClick();
    if (status) *status = dialog.lastStatus;

    const std::vector<std::string>& log = port.log();
    const bool summary = log.size() >= 2 && log[log.size() - 2] == kBackedUp[0] && log.back() == kBackedUp[1];
    if (!dialog.BackupOk || !summary || port.problemBoxes() > 0) return false;
    if (archiveHolds(archive, kinds)) return true;
    output.write(true, "zaltool: " + archive + " neobsahuje všechny zazálohované druhy dat\n");
    return false;
}

int backup(const Request& request) {
    const std::string& address = request.operands[0];
    const std::string archive = absolutePath(request.operands[1]);
    if (fileio::exists(archive) && !request.overwrite)
        return fail(archive + " už existuje; nahradí ho jen --overwrite");
    if (!enterWorkFolder(request) || !bindLibrary()) return kFailed;
    const KindSet kinds = request.kinds.value_or(kAllKinds);
    if (!request.overwrite) {
        if (backUpScale(address, archive, kinds, false)) return kDone;
        return fail("záloha váhy " + address + " není úplná");
    }
    // The older archive is replaced only by a complete one: the run writes a
    // temporary file beside it, renamed over it at the end.
    const fs::path target = fileio::toPath(archive);
    fileio::File reserved;
    const std::optional<fs::path> temp = fileio::createTempBeside(target, reserved);
    if (!temp) return fail("vedle " + archive + " nelze vytvořit soubor");
    reserved.close();
    fileio::removeQuietly(*temp);  // only the name is kept: the run creates the archive
    bool complete = backUpScale(address, fileio::toUtf8(*temp), kinds, false);
    if (complete && !syncFile(*temp)) complete = false;
    if (complete && !fileio::replaceFile(*temp, target)) {
        complain(archive + " nelze nahradit");
        complete = false;
    }
    if (complete) return kDone;
    fileio::removeQuietly(*temp);
    return fail("záloha váhy " + address + " není úplná" +
                (fileio::exists(archive) ? "; původní " + archive + " zůstává" : std::string()));
}

// The send dialog's run to one scale: the dialog shown, the archive chosen
// (which ticks the kinds it holds), the kinds of --kinds ticked instead when
// given, the address typed and "Odeslat" pressed.
int send(const Request& request) {
    const std::string archive = absolutePath(request.operands[0]);
    const std::string& address = request.operands[1];
    const std::optional<std::string> safetyFolder =
        request.backupFirst ? std::optional(absolutePath(*request.backupFirst)) : std::nullopt;
    std::error_code ec;
    if (safetyFolder && !fs::is_directory(fileio::toPath(*safetyFolder), ec))
        return fail(*safetyFolder + " není složka");
    if (!enterWorkFolder(request) || !bindLibrary()) return kFailed;

    ConsolePort runnerPort(kBackupDialogForm);
    ConsolePort port(kSendDialogForm);
    port.setChosenFile(archive);
    BackupDialog runner(runnerPort, std::string());  // the send dialog's transfers go through it
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    dialog.FileSelectBtnClick();
    if (port.problemBoxes() > 0) return fail("nelze číst archiv " + archive);
    if (request.kinds) {
        for (std::size_t i = 0; i < kDataKinds.size(); ++i)
            if ((*request.kinds)[i] && !port.isEnabled(kDataKinds[i].checkBox))
                return fail(archive + " neobsahuje " + kKindWords[i]);
        for (std::size_t i = 0; i < kDataKinds.size(); ++i)
            port.setChecked(kDataKinds[i].checkBox, (*request.kinds)[i]);
    }
    port.setEditText(kAddressBox, address);
    if (safetyFolder) {
        KindSet ticked{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) ticked[i] = port.isChecked(kDataKinds[i].checkBox);
        if (!backUpBeforeSend(address, ticked, *safetyFolder, request.force, runOutput())) return kFailed;
    }
    dialog.SendFormatBtnClick();
    if (port.status() == kAllSent && port.problemBoxes() + runnerPort.problemBoxes() == 0) return kDone;
    return fail("odeslání do váhy " + address + " není úplné");
}

std::string localTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::string today() { return localTime("%Y-%m-%d"); }

// "<address>-<date>.zal", every character of the address that is not a
// letter, digit, dot, hyphen or underscore written as "_" (so "127.0.0.2:5000"
// gives "127.0.0.2_5000-2025-01-31.zal", a name valid on Windows too).
std::string archiveName(const std::string& address, const std::string& date) {
    std::string name;
    for (const char c : address) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        name.push_back(plain ? c : '_');
    }
    return name + "-" + date + ".zal";
}

// backup-list and send-list: the list read in pieces and each scale run as a
// job (ListJobs).
int listRun(const Request& request, bool backup) {
    ListRunRequest list;
    list.listName = request.operands[backup ? 0 : 1];
    list.list = absolutePath(list.listName);
    list.target = absolutePath(request.operands[backup ? 1 : 0]);
    list.kindsGiven = request.kinds.has_value();
    list.kinds = request.kinds.value_or(kAllKinds);
    std::error_code ec;
    list.work = request.work ? absolutePath(*request.work) : fileio::toUtf8(fs::current_path(ec));
    list.jobs = request.jobs;
    list.keep = request.keep;
    if (request.backupFirst) {
        list.backupFirst = absolutePath(*request.backupFirst);
        list.force = request.force;
        if (!fs::is_directory(fileio::toPath(list.backupFirst), ec)) return fail(list.backupFirst + " není složka");
    }
    if (!bindLibrary()) return kFailed;
    return backup ? runBackupList(list) : runSendList(list);
}

int backupList(const Request& request) { return listRun(request, true); }
int sendList(const Request& request) { return listRun(request, false); }

const ZaltoolRun kRuns[] = {
    {"backup", "ADDRESS ARCHIVE [--kinds=LIST] [--overwrite] [--work=DIR]",
     "back up one scale into ARCHIVE, as the backup dialog does", zaltoolBackup},
    {"send", "ARCHIVE ADDRESS [--kinds=LIST] [--work=DIR] [--backup-first=DIR [--force]]",
     "send the kinds ARCHIVE holds (or those of LIST) to one scale, as the send dialog does", zaltoolSend},
    {"backup-list", "LIST DIR [--kinds=LIST] [--work=DIR] [--jobs=N] [--keep=K]",
     "back up every scale of the list file LIST into DIR/ADDRESS-YYYY-MM-DD.zal", zaltoolBackupList},
    {"send-list", "ARCHIVE LIST [--kinds=LIST] [--work=DIR] [--jobs=N] [--backup-first=DIR [--force]]",
     "send ARCHIVE to every scale of the list file LIST, as the send dialog's list run does", zaltoolSendList},
};

void printOptionsHelp(std::FILE* out) {
    std::fprintf(out,
                 "  --kinds=LIST   the kinds, comma-separated: %s\n"
                 "                 (default: all six; for send: those ARCHIVE holds)\n"
                 "  --overwrite    backup: replace an existing ARCHIVE (otherwise it is refused)\n"
                 "  --work=DIR     the working folder, where the scale library's files live\n"
                 "                 (default: the current folder)\n"
                 "  --jobs=N       backup-list, send-list: up to N scales at once (1 to 64, default 1);\n"
                 "                 a scale library that cannot take parallel transfers needs 1\n"
                 "  --keep=K       backup-list: keep the K newest complete archives of each scale\n"
                 "                 (default: keep all)\n"
                 "  --backup-first=DIR  send: first back up from the scale the kinds about to be\n"
                 "                 sent into DIR/ADDRESS-YYYY-MM-DD-HHMMSS-pred-odeslanim.zal;\n"
                 "                 when that fails nothing is sent\n"
                 "  --force        send: send even when the backup of --backup-first fails\n"
                 "Exit status of a run: 0 completed fully, 1 failed or incomplete, 2 wrong command line.\n",
                 kKindList);
}

// Parses one run's options and operands with getopt_long, then runs it.
int parseAndRun(const CommandForm& form, int argc, char** argv) {
    prepareConsoleOutput();
    std::vector<option> table{{"kinds", required_argument, nullptr, 'k'},
                              {"work", required_argument, nullptr, 'w'},
                              {"help", no_argument, nullptr, 'h'}};
    if (form.overwriteOption) table.push_back({"overwrite", no_argument, nullptr, 'o'});
    if (form.jobsOption) table.push_back({"jobs", required_argument, nullptr, 'j'});
    if (form.keepOption) table.push_back({"keep", required_argument, nullptr, 'K'});
    if (form.backupFirstOption) {
        table.push_back({"backup-first", required_argument, nullptr, 'b'});
        table.push_back({"force", no_argument, nullptr, 'f'});
    }
    table.push_back({nullptr, 0, nullptr, 0});

    Request request;
    optind = 0;  // start afresh on this command's arguments
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1;) {
        switch (code) {
        case 'h':
            std::printf("usage: zaltool %s %s\n%s\n", form.about.name, form.about.synopsis, form.about.summary);
            printOptionsHelp(stdout);
            return kDone;
        case 'k': {
            std::string unknown;
            request.kinds = parseKinds(optarg, unknown);
            if (!request.kinds) return usage(form.about, "unknown kind '" + unknown + "' (kinds: " + kKindList + ")");
            break;
        }
        case 'w': request.work = optarg; break;
        case 'o': request.overwrite = true; break;
        case 'j':
        case 'K': {
            int value = 0;
            const std::string_view text(optarg);
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            const int most = code == 'j' ? ListJobRunner::kMaxJobs : 1000000;
            if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > most)
                return usage(form.about, std::string(code == 'j' ? "--jobs" : "--keep") + " takes a number from 1 to " +
                                             std::to_string(most));
            (code == 'j' ? request.jobs : request.keep) = value;
            break;
        }
        case 'b': request.backupFirst = optarg; break;
        case 'f': request.force = true; break;
        case ':': return usage(form.about, std::string("option ") + argv[optind - 1] + " needs a value");
        default: return usage(form.about, std::string("unknown option ") + argv[optind - 1]);
        }
    }
    for (int i = optind; i < argc; ++i) request.operands.emplace_back(argv[i]);
    if (request.operands.size() != form.operands)
        return usage(form.about, std::string("usage: zaltool ") + form.about.name + " " + form.about.synopsis);
    if (request.force && !request.backupFirst) return usage(form.about, "--force needs --backup-first");

    // zaltool's main checks that stdout took everything.
    return form.run(request);
}

}  // namespace runs

using namespace runs;

int zaltoolBackup(int argc, char** argv) { return parseAndRun({kRuns[0], 2, true, backup}, argc, argv); }
int zaltoolSend(int argc, char** argv) { return parseAndRun({kRuns[1], 2, false, send, false, false, true}, argc, argv); }
int zaltoolBackupList(int argc, char** argv) {
    return parseAndRun({kRuns[2], 2, false, backupList, true, true}, argc, argv);
}
int zaltoolSendList(int argc, char** argv) {
    return parseAndRun({kRuns[3], 2, false, sendList, true, false, true}, argc, argv);
}

const ZaltoolRun* findZaltoolRun(std::string_view name) {
    for (const ZaltoolRun& run : kRuns)
        if (name == run.name) return &run;
    return nullptr;
}

void printZaltoolRunsHelp(std::FILE* out) {
    std::fprintf(out, "unattended runs against scales (the program's own runs, for scheduled jobs):\n");
    for (const ZaltoolRun& run : kRuns) std::fprintf(out, "  %s %s\n      %s\n", run.name, run.synopsis, run.summary);
    printOptionsHelp(out);
}

}  // namespace zalohy
