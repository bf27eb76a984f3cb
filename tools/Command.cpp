#include "Command.h"

#include "JobRunner.h"
#include "Platform.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#ifndef ZALOHY_VERSION
#define ZALOHY_VERSION "unknown"
#endif

namespace zalohy {

const char* const kRunOptionsHelp =
    "  --kinds=LIST   the kinds, comma-separated: formaty,texty,nazev,presety,plu,image\n"
    "                 (default: all six; send, restore-list: those the archive holds)\n"
    "  --overwrite    backup: replace an existing ARCHIVE (otherwise it is refused)\n"
    "  --work=DIR     the working folder, where the scale library's files live\n"
    "                 (default: the current folder)\n"
    "  --jobs=N       backup-list, send-list, restore-list: up to N scales at once\n"
    "                 (1 to 64, default 1); a scale library that cannot take parallel\n"
    "                 transfers needs 1\n"
    "  --keep=K       backup-list: keep the K newest complete archives of each scale\n"
    "                 (default: keep all)\n"
    "  --backup-first=DIR  send, send-list, restore-list: first back up from the scale\n"
    "                 the kinds about to be sent into\n"
    "                 DIR/ADDRESS-YYYY-MM-DD-HHMMSS-pred-odeslanim.zal;\n"
    "                 when that fails nothing is sent\n"
    "  --force        send even when the backup of --backup-first fails\n"
    "  --dry-run      restore-list: say which archive would go to which scale, send nothing\n"
    "  --json         backup-list, send-list, restore-list: one line of the run record\n"
    "                 per scale on stdout instead of the lines and the summary, then\n"
    "                 one summary object (\"type\":\"summary\": the counts, the exit status)\n"
    "  --ping=URL     backup-list, send-list, restore-list: at the end, POST the summary\n"
    "                 object to URL (http:// or https://) when every scale was done,\n"
    "                 to URL/fail otherwise; 3 tries of 5 s, no proxy; a failed ping\n"
    "                 is said on stderr and does not change the exit status\n"
    "  --record=DIR   send-list: append the run record to DIR/zaltool-zaznam.jsonl\n"
    "                 (default: the --work folder); backup-list and restore-list append\n"
    "                 it in their archive folder DIR\n"
    "Exit status of a run: 0 completed fully, 1 failed or incomplete, 2 wrong command line.\n";

namespace {

constexpr const char* kProgram = "zaltool";

class StdOutput : public JobOutput {
public:
    void write(bool error, std::string_view text) override {
        if (error) std::fflush(stdout);
        std::fwrite(text.data(), 1, text.size(), error ? stderr : stdout);
        if (error) std::fflush(stderr);
    }
};

StdOutput gStdOutput;
JobOutput* gOutput = &gStdOutput;

std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

// The commands in the order of the help.
std::vector<const Command*> commands() {
    std::vector<const Command*> sorted;
    for (const Command& command : registry()) sorted.push_back(&command);
    std::sort(sorted.begin(), sorted.end(), [](const Command* a, const Command* b) {
        return a->group != b->group ? a->group < b->group : a->order < b->order;
    });
    return sorted;
}

const Command* findCommand(std::string_view name) {
    for (const Command& command : registry())
        if (name == command.name) return &command;
    return nullptr;
}

// One line: what is wrong, and where the help is (the command's own, when
// the mistake is within a command).
Exit usageError(const std::string& what, const char* command = nullptr) {
    if (command)
        std::fprintf(stderr, "%s: %s: %s (see '%s %s --help')\n", kProgram, command, what.c_str(), kProgram, command);
    else
        std::fprintf(stderr, "%s: %s (see '%s --help')\n", kProgram, what.c_str(), kProgram);
    return Exit::Usage;
}

// Standard output is checked once at the end: a full disk or a closed pipe
// must not pass for success.
int finish(Exit exit) {
    const int status = static_cast<int>(exit);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write to standard output\n", kProgram);
        return exit == Exit::Done ? static_cast<int>(Exit::Failed) : status;
    }
    return status;
}

void printOverview() {
    std::printf("usage: %s [--help | --version] COMMAND [OPTIONS] OPERANDS\n"
                "Works on backup archives (.zal) of scale data.\n\ncommands:\n",
                kProgram);
    const char* const headings[] = {
        "",
        "unattended runs against scales (the program's own runs, for scheduled jobs):\n",
        "\nbefore a send, and before a night's job:\n",
    };
    std::optional<CommandGroup> group;
    const auto endGroup = [&] {
        if (group == CommandGroup::Archive)
            std::printf("\noptions of every command:\n"
                        "  -h, --help               describe the command\n"
                        "\nExit status: 0 done, 1 failed (one line on stderr says why), 2 wrong command line.\n\n");
        else if (group == CommandGroup::Run)
            std::fputs(kRunOptionsHelp, stdout);
    };
    for (const Command* command : commands()) {
        if (command->group != group) {
            endGroup();
            group = command->group;
            std::fputs(headings[static_cast<int>(command->group)], stdout);
        }
        std::printf("  %s %s\n      %s\n", command->name, command->synopsis, command->summary);
    }
    endGroup();
}

void printHelp(const Command& command) {
    if (command.group == CommandGroup::Archive) {
        std::printf("usage: %s %s [OPTIONS] %s\n%s\n\noptions:\n", kProgram, command.name, command.synopsis,
                    command.summary);
        std::printf("  %-22s %s\n", "-h, --help", "describe this command");
        return;
    }
    std::printf("usage: %s %s %s\n%s\n", kProgram, command.name, command.synopsis, command.summary);
    if (command.help) std::fputs(command.help, stdout);
}

Exit help(const Call& call) {
    if (call.operands.empty()) {
        printOverview();
        return Exit::Done;
    }
    const Command* command = findCommand(call.operands[0]);
    if (!command) throw UsageError{"unknown command '" + call.operands[0] + "'"};
    printHelp(*command);
    return Exit::Done;
}

const CommandRegistration registered{{"help", "[COMMAND]", "describe every command, or one", 0, 1, {}, help,
                                      CommandGroup::Archive, 50}};

// What is wrong with the option getopt_long has just refused.
std::string optionProblem(int code, char* const* argv, const std::vector<option>& table) {
    const char* given = argv[optind - 1];
    std::string name = given;
    if (name.rfind("--", 0) == 0) name = name.substr(0, name.find('='));
    if (code == ':') return "option " + name + " needs a value";
    if (optopt != 0) {
        // A known option: a flag given a value, or an unknown short option.
        for (const option& o : table)
            if (o.name && o.val == optopt && o.has_arg == no_argument)
                return "option --" + std::string(o.name) + " takes no value";
        return "unknown option -" + std::string(1, static_cast<char>(optopt));
    }
    return "unknown option " + name;
}

// Parses one command's options and operands (argv[0] is the command's name)
// and runs it.
Exit runCommand(const Command& command, int argc, char** argv) {
    std::vector<option> table;
    constexpr int kFirstLong = 256;
    for (std::size_t i = 0; i < command.options.size(); ++i) {
        const Option& entry = command.options[i];
        table.push_back({entry.name, entry.value ? required_argument : no_argument, nullptr,
                         kFirstLong + static_cast<int>(i)});
    }
    table.push_back({"help", no_argument, nullptr, 'h'});
    table.push_back({nullptr, 0, nullptr, 0});

    if (command.group != CommandGroup::Archive) platform::prepareConsoleOutput();
    Call call;
    optind = 0;  // start afresh on the command's own arguments
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1;) {
        if (code == 'h') {
            printHelp(command);
            return Exit::Done;
        }
        if (code < kFirstLong) return usageError(optionProblem(code, argv, table), command.name);
        const Option& entry = command.options[static_cast<std::size_t>(code - kFirstLong)];
        call.options[entry.name] = optarg ? optarg : "";
    }
    for (int i = optind; i < argc; ++i) call.operands.emplace_back(argv[i]);
    try {
        if (call.operands.size() < command.minOperands || call.operands.size() > command.maxOperands)
            throw UsageError{(command.group != CommandGroup::Archive               ? ""
                              : call.operands.size() < command.minOperands ? "too few operands; "
                                                                           : "too many operands; ") +
                             std::string("usage: ") + kProgram + " " + command.name + " " + command.synopsis};
        return command.run(call);
    } catch (const UsageError& e) {
        return usageError(e.what, command.name);
    }
}

Exit run(int argc, char** argv) {
    // The program's own options end at the first operand, the command's name.
    static const option globals[] = {
        {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {nullptr, 0, nullptr, 0}};
    const std::vector<option> table(std::begin(globals), std::end(globals));
    opterr = 0;
    for (int code; (code = getopt_long(argc, argv, "+:hV", globals, nullptr)) != -1;) {
        switch (code) {
        case 'h': printOverview(); return Exit::Done;
        case 'V': std::printf("%s %s\n", kProgram, ZALOHY_VERSION); return Exit::Done;
        default: return usageError(optionProblem(code, argv, table));
        }
    }
    if (optind >= argc) return usageError("no command given");
    // One scale of a list run, in a process of its own (not for users).
    if (std::string_view(argv[optind]) == kJobCommand)
        return static_cast<Exit>(runJobChild(argc - optind, argv + optind, findScaleWork));
    const Command* command = findCommand(argv[optind]);
    if (!command) return usageError("unknown command '" + std::string(argv[optind]) + "'");
    return runCommand(*command, argc - optind, argv + optind);
}

}  // namespace

JobOutput& runOutput() { return *gOutput; }
void setRunOutput(JobOutput* output) { gOutput = output ? output : &gStdOutput; }

void say(const std::string& line, JobOutput& out) { out.write(false, line + "\n"); }

Exit complain(const std::string& what, JobOutput& out) {
    out.write(true, std::string(kProgram) + ": " + asOneLine(what) + "\n");
    return Exit::Failed;
}

std::optional<std::string> Call::value(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

int Call::number(const std::string& name, int most, int fallback) const {
    const std::optional<std::string> text = value(name);
    if (!text) return fallback;
    int number = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), number);
    if (ec != std::errc() || end != text->data() + text->size() || number < 1 || number > most)
        throw UsageError{"--" + name + " takes a number from 1 to " + std::to_string(most)};
    return number;
}

CommandRegistration::CommandRegistration(Command command) { registry().push_back(std::move(command)); }

int runZaltool(int argc, char** argv) { return finish(run(argc, argv)); }

}  // namespace zalohy
