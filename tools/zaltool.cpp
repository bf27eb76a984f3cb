// zaltool: the backup archive container on the command line, for technicians
// and scripts. Exit status 0 when done; 1 with one line on stderr when the work
// fails; 2 with one line on stderr when the command line is wrong.
//
// The command line is "zaltool [--help|--version] COMMAND [OPTIONS] OPERANDS".
// Every command is one row of kCommands: its operands, its own long options
// and the function that does the work. Options are parsed with getopt_long,
// so "--opt value", "--opt=value" and unique abbreviations all work, and
// options may stand before or after the operands ("--" ends them).
// A command with options of its own is one more row, e.g.
//   {"backup", "ADDRESS ARCHIVE", 2, 2, "back up a scale",
//    {{"kinds", "LIST", "the kinds to save"}, {"overwrite", nullptr, "replace ARCHIVE"}}, backup}
// whose backup(call) reads call.value("kinds") and call.has("overwrite").
// The unattended runs against scales (backup, send, backup-list) are not rows
// here: they live in ZaltoolRuns, each an entry that parses its own options.
// Nor are diff, check and check-list, the safety net around sends: they live
// in ZaltoolSafety, entries of the same form.
#include "BackupArchive.h"
#include "DataKind.h"
#include "ListJobs.h"
#include "ReportPage.h"
#include "ToolConsole.h"
#include "ZaltoolRuns.h"
#include "ZaltoolSafety.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef ZALOHY_VERSION
#define ZALOHY_VERSION "unknown"
#endif

using namespace zalohy;

namespace {

constexpr const char* kProgram = "zaltool";
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// A long option of one command. Its value ("" for a flag) is kept in
// Invocation::options under the option's name.
struct OptionForm {
    const char* name;
    const char* valueName;  // nullptr: a flag that takes no value
    const char* help;
};

// What the command line asked of one command.
struct Invocation {
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const {
        const auto it = options.find(name);
        if (it == options.end()) return std::nullopt;
        return it->second;
    }
};

// A usage error found by a command while reading its operands or options.
struct UsageError {
    std::string what;
};

using Action = int (*)(const Invocation&);

struct Command {
    const char* name;
    const char* synopsis;  // the operands, as shown in the usage line
    std::size_t minOperands;
    std::size_t maxOperands;
    const char* summary;
    std::vector<OptionForm> options;
    Action run;
};

int fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", kProgram, what.c_str());
    return kFailed;
}

// One line: what is wrong, and where the help is (the command's own, when
// the mistake is within a command).
int usageError(const std::string& what, const char* command = nullptr) {
    if (command)
        std::fprintf(stderr, "%s: %s: %s (see '%s %s --help')\n", kProgram, command, what.c_str(), kProgram, command);
    else
        std::fprintf(stderr, "%s: %s (see '%s --help')\n", kProgram, what.c_str(), kProgram);
    return kUsage;
}

// Standard output is checked once at the end: a full disk or a closed pipe
// must not pass for success.
int finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output\n", kProgram);
        return status == kDone ? kFailed : status;
    }
    return status;
}

std::int32_t memberId(const std::string& text) {
    std::int32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError{"not a member id: " + text};
    return id;
}

// Reads and checks the directory; on failure says why on stderr.
bool readDirectory(BackupArchive& archive, int& status) {
    std::array<std::int32_t, 10> ids{};
    if (archive.ReadDirectory(ids)) return true;
    status = fail(archive.lastError());
    return false;
}

// Messages meant for the program's boxes are not shown here: the tool reports
// through lastError() instead.
int list(const Invocation& call) {
    BackupArchive archive(call.operands[0]);
    int status = kDone;
    if (!readDirectory(archive, status)) return status;
    const ArchiveHeader& header = archive.header();
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const ArchiveSlot& s = header.slots[i];
        if (s.id == 0) continue;
        const DataKind* kind = kindById(s.id);
        std::printf("%s\t%d\t%zu\t%d\t%d\t%lld\n", kind ? kind->name : "unknown", s.id, i, s.first, s.last,
                    static_cast<long long>(s.last) - s.first + 1);
    }
    return kDone;
}

int verify(const Invocation& call) {
    BackupArchive archive(call.operands[0]);
    int status = kDone;
    if (!readDirectory(archive, status)) return status;
    const std::string overlap = overlapProblem(archive.header());
    if (!overlap.empty()) return fail(archive.fileName() + ": not a sound archive: " + overlap);
    return kDone;
}

int extract(const Invocation& call) {
    const std::int32_t id = memberId(call.operands[1]);
    BackupArchive archive(call.operands[0]);
    return archive.ExtractMember(id, call.operands[2]) == BackupArchive::kExtracted ? kDone
                                                                                  : fail(archive.lastError());
}

int append(const Invocation& call) {
    const std::int32_t id = memberId(call.operands[1]);
    // Refused before the archive is touched: no new archive is left behind.
    if (archiveSlotOf(id) < 0) return fail("no kind of data has the id " + std::to_string(id));
    BackupArchive archive(call.operands[0]);
    switch (archive.AppendMember(id, call.operands[2])) {
    case BackupArchive::kAppended: return kDone;
    case BackupArchive::kAlreadyStored:
        return fail(archive.fileName() + " already holds member " + std::to_string(id));
    case BackupArchive::kUnknownId: return fail("no kind of data has the id " + std::to_string(id));
    default: return fail(archive.lastError());
    }
}

int help(const Invocation& call);

int report(const Invocation& call) {
    return zaltoolReport(call.operands[0], call.value("list"), call.value("out"), call.value("stale-days"));
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"list", "ARCHIVE", 1, 1,
         "one line per member: kind, id, slot, first, last, size (tab-separated)", {}, list},
        {"extract", "ARCHIVE ID OUTFILE", 3, 3,
         "write member ID (34, 38, 52, 41, 25, 67) to OUTFILE", {}, extract},
        {"append", "ARCHIVE ID DATAFILE", 3, 3,
         "store DATAFILE as member ID; creates a missing archive", {}, append},
        {"verify", "ARCHIVE", 1, 1,
         "check the header: every member inside the file, no overlaps", {}, verify},
        {"report", "DIR", 1, 1, "write an HTML page on the backups in DIR (default DIR/prehled-zaloh.html)",
         {{"list", "LIST", "only the scales of LIST, in its order"}, {"out", "FILE", "write the page to FILE ('-': stdout)"},
          {"stale-days", "N", "mark backups older than N days (default 2)"}}, report},
        {"help", "[COMMAND]", 0, 1, "describe every command, or one", {}, help},
    };
    return table;
}

const Command* findCommand(std::string_view name) {
    for (const Command& command : commands())
        if (name == command.name) return &command;
    return nullptr;
}

void printOptions(const Command& command, const char* indent) {
    for (const OptionForm& entry : command.options) {
        const std::string left =
            std::string("--") + entry.name + (entry.valueName ? std::string("=") + entry.valueName : "");
        std::printf("%s%-22s %s\n", indent, left.c_str(), entry.help);
    }
}

void printCommand(const Command& command) {
    std::printf("  %s %s\n      %s\n", command.name, command.synopsis, command.summary);
    printOptions(command, "      ");
}

void printOverview() {
    std::printf("usage: %s [--help | --version] COMMAND [OPTIONS] OPERANDS\n"
                "Works on backup archives (.zal) of scale data.\n\ncommands:\n",
                kProgram);
    for (const Command& command : commands()) printCommand(command);
    std::printf("\noptions of every command:\n"
                "  -h, --help               describe the command\n"
                "\nExit status: 0 done, 1 failed (one line on stderr says why), 2 wrong command line.\n\n");
    printZaltoolRunsHelp(stdout);
    printZaltoolSafetyHelp(stdout);
}

int help(const Invocation& call) {
    if (call.operands.empty()) {
        printOverview();
        return kDone;
    }
    const ZaltoolRun* run = findZaltoolRun(call.operands[0]);
    if (!run) run = findZaltoolSafetyRun(call.operands[0]);
    if (run) {
        std::string name = run->name, option = "--help";
        char* args[] = {name.data(), option.data(), nullptr};
        return run->entry(2, args);
    }
    const Command* command = findCommand(call.operands[0]);
    if (!command) throw UsageError{"unknown command '" + call.operands[0] + "'"};
    std::printf("usage: %s %s [OPTIONS] %s\n%s\n\noptions:\n", kProgram, command->name, command->synopsis,
                command->summary);
    printOptions(*command, "  ");
    std::printf("  %-22s %s\n", "-h, --help", "describe this command");
    return kDone;
}

// What is wrong with the option getopt_long has just refused.
std::string optionProblem(int code, char* const* argv, const std::vector<option>& table) {
    const char* given = argv[optind - 1];
    std::string name = given;
    if (name.rfind("--", 0) == 0) name = name.substr(0, name.find('='));
    if (code == ':') return "option " + name + " needs a value";
    if (optopt != 0) {
        // A known option: a flag given a value, or an unknown short option.
        for (const option& o : table)
            if (o.name && o.val == optopt && o.has_arg == no_argument) return "option --" + std::string(o.name) + " takes no value";
        return "unknown option -" + std::string(1, static_cast<char>(optopt));
    }
    return "unknown option " + name;
}

// Parses one command's options and operands (argv[0] is the command's name)
// and runs it.
int runCommand(const Command& command, int argc, char** argv) {
    std::vector<option> table;
    constexpr int kFirstLong = 256;
    for (std::size_t i = 0; i < command.options.size(); ++i) {
        const OptionForm& entry = command.options[i];
        table.push_back({entry.name, entry.valueName ? required_argument : no_argument, nullptr,
                         kFirstLong + static_cast<int>(i)});
    }
    table.push_back({"help", no_argument, nullptr, 'h'});
    table.push_back({nullptr, 0, nullptr, 0});

    Invocation call;
    optind = 0;  // start afresh on the command's own arguments
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1;) {
        if (code == 'h') {
            Invocation about;
            about.operands.push_back(command.name);
            return help(about);
        }
        if (code < kFirstLong) return usageError(optionProblem(code, argv, table), command.name);
        const OptionForm& entry = command.options[static_cast<std::size_t>(code - kFirstLong)];
        call.options[entry.name] = optarg ? optarg : "";
    }
    for (int i = optind; i < argc; ++i) call.operands.emplace_back(argv[i]);
    if (call.operands.size() < command.minOperands || call.operands.size() > command.maxOperands)
        return usageError(std::string(call.operands.size() < command.minOperands ? "too few" : "too many") +
                              " operands; usage: " + kProgram + " " + command.name + " " + command.synopsis,
                          command.name);
    try {
        return command.run(call);
    } catch (const UsageError& e) {
        return usageError(e.what, command.name);
    }
}

int run(int argc, char** argv) {
    // The program's own options end at the first operand, the command's name.
    static const option globals[] = {
        {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {nullptr, 0, nullptr, 0}};
    const std::vector<option> table(std::begin(globals), std::end(globals));
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, "+:hV", globals, nullptr)) != -1;) {
        switch (code) {
        case 'h': printOverview(); return kDone;
        case 'V': std::printf("%s %s\n", kProgram, ZALOHY_VERSION); return kDone;
        default: return usageError(optionProblem(code, argv, table));
        }
    }
    if (optind >= argc) return usageError("no command given");
    // One scale of a list run, in a process of its own (not for users).
    if (std::string_view(argv[optind]) == kJobCommand) return zaltoolJob(argc - optind, argv + optind);
    // The unattended runs (backup, send, backup-list) parse their own options.
    if (const ZaltoolRun* run = findZaltoolRun(argv[optind])) return run->entry(argc - optind, argv + optind);
    // diff, check, check-list: the same.
    if (const ZaltoolRun* run = findZaltoolSafetyRun(argv[optind])) return run->entry(argc - optind, argv + optind);
    const Command* command = findCommand(argv[optind]);
    if (!command) return usageError("unknown command '" + std::string(argv[optind]) + "'");
    return runCommand(*command, argc - optind, argv + optind);
}

}  // namespace

int main(int argc, char** argv) {
    prepareToolConsole(argc, argv);
    return finish(run(argc, argv));
}
