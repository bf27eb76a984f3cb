#include "Command.h"

#include "Platform.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#ifndef ZALOHY_VERSION
#define ZALOHY_VERSION "unknown"
#endif

namespace zalohy {

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
        std::fprintf(stderr, "%s: %s: %s (viz '%s %s --help')\n", kProgram, command, what.c_str(), kProgram, command);
    else
        std::fprintf(stderr, "%s: %s (viz '%s --help')\n", kProgram, what.c_str(), kProgram);
    return Exit::Usage;
}

// Standard output is checked once at the end: a full disk or a closed pipe
// must not pass for success.
int finish(Exit exit) {
    const int status = static_cast<int>(exit);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: nelze zapisovat na standardní výstup\n", kProgram);
        return exit == Exit::Done ? static_cast<int>(Exit::Failed) : status;
    }
    return status;
}

std::string shown(const Option& option) {
    return "--" + std::string(option.name) + (option.value ? "=" + std::string(option.value) : std::string());
}

// "zaltool backup ADRESA ARCHIV [--kinds=DRUHY] [--overwrite] [--work=SLOŽKA]"
std::string usageOf(const Command& command) {
    std::string line = std::string(kProgram) + " " + command.name;
    if (*command.operands) line += " " + std::string(command.operands);
    for (const Option& option : command.options) line += " [" + shown(option) + "]";
    return line;
}

// "  --jobs=N   help", the help beside the option, its further lines under it.
void printOption(const std::string& option, std::string_view help) {
    constexpr std::size_t kColumn = 24;
    std::string text = "  " + option;
    // Columns are characters: a UTF-8 continuation byte takes none.
    const auto width = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    if (width < kColumn) text.append(kColumn - width, ' ');
    else text += "\n" + std::string(kColumn, ' ');
    for (const char c : help) {
        text.push_back(c);
        if (c == '\n') text.append(kColumn, ' ');
    }
    std::puts(text.c_str());
}

constexpr const char* kHelpLine = "popíše příkaz";

// The exit statuses, as the overview lists them.
constexpr const char* kExitTable =
    "\nnávratový kód:\n"
    "  0  hotovo; běh: dokončen celý (každá váha, každý druh dat); diff: archivy jsou stejné;\n"
    "     report: přehled zapsán (i když ukazuje selhání)\n"
    "  1  selhalo nebo není úplné (proč, říká řádek na standardním chybovém výstupu);\n"
    "     diff: archivy se liší; report: přehled nelze zapsat nebo složku či seznam přečíst\n"
    "  2  chybný příkazový řádek; diff: archiv nelze přečíst nebo není platný\n";

// What a command's own help ends with: the exit statuses of its kind.
constexpr const char* kExitLine = "\nnávratový kód: 0 hotovo, 1 selhalo (proč, říká řádek na standardním chybovém "
                                  "výstupu),\n2 chybný příkazový řádek\n";
constexpr const char* kRunExitLine =
    "\nnávratový kód běhu: 0 dokončen celý, 1 selhal nebo není úplný, 2 chybný příkazový řádek\n";

void printOverview() {
    std::printf("použití: %s [--help | --version] PŘÍKAZ [VOLBY] OPERANDY\n"
                "Pracuje s archivy záloh dat vah (.zal) a spouští běhy programu proti vahám bez obsluhy.\n",
                kProgram);
    const char* const headings[] = {
        "\npříkazy nad archivy:\n",
        "\nběhy proti vahám (tytéž běhy jako v oknech programu, pro plánované úlohy):\n",
        "\npřed odesláním a před nočním během:\n",
    };
    std::optional<CommandGroup> group;
    for (const Command* command : commands()) {
        if (command->group != group) std::fputs(headings[static_cast<int>(command->group)], stdout);
        group = command->group;
        std::printf("  %s\n      %s\n", usageOf(*command).substr(std::string_view(kProgram).size() + 1).c_str(),
                    command->summary);
    }
    // Every option once, with the commands that take it.
    std::puts("\nvolby (každý příkaz bere jen ty, které uvádí jeho použití):");
    std::vector<std::string> done;
    for (const Command* command : commands()) {
        for (const Option& option : command->options) {
            if (std::find(done.begin(), done.end(), option.name) != done.end()) continue;
            done.emplace_back(option.name);
            std::string takers;
            for (const Command* other : commands())
                for (const Option& same : other->options)
                    if (std::string_view(same.name) == option.name)
                        takers += (takers.empty() ? "" : ", ") + std::string(other->name);
            printOption(shown(option), takers + ":\n" + option.help);
        }
    }
    printOption("-h, --help", std::string("každý příkaz: ") + kHelpLine);
    std::fputs(kExitTable, stdout);
}

void printHelp(const Command& command) {
    std::printf("použití: %s\n%s\n\nvolby:\n", usageOf(command).c_str(), command.summary);
    for (const Option& option : command.options) printOption(shown(option), option.help);
    printOption("-h, --help", kHelpLine);
    // A command's own text ends its help; the others end with their group's exit statuses.
    std::fputs(command.help                            ? command.help
               : command.group == CommandGroup::Run ? kRunExitLine
                                                    : kExitLine,
               stdout);
}

Exit help(const Call& call) {
    if (call.operands.empty()) {
        printOverview();
        return Exit::Done;
    }
    const Command* command = findCommand(call.operands[0]);
    if (!command) throw UsageError{"neznámý příkaz '" + call.operands[0] + "'"};
    printHelp(*command);
    return Exit::Done;
}

const CommandRegistration registered{{"help", "[PŘÍKAZ]", "popíše všechny příkazy, nebo jeden", 0, 1, {}, help,
                                      CommandGroup::Archive, 50}};

// What is wrong with the option getopt_long has just refused.
std::string optionProblem(int code, char* const* argv, const std::vector<option>& table) {
    const char* given = argv[optind - 1];
    std::string name = given;
    if (name.rfind("--", 0) == 0) name = name.substr(0, name.find('='));
    if (code == ':') return "volba " + name + " potřebuje hodnotu";
    if (optopt != 0) {
        // A known option: a flag given a value, or an unknown short option.
        for (const option& o : table)
            if (o.name && o.val == optopt && o.has_arg == no_argument)
                return "volba --" + std::string(o.name) + " se zadává bez hodnoty";
        return "neznámá volba -" + std::string(1, static_cast<char>(optopt));
    }
    return "neznámá volba " + name;
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
            throw UsageError{(call.operands.size() < command.minOperands ? "příliš málo operandů; "
                                                                         : "příliš mnoho operandů; ") +
                             std::string("použití: ") + usageOf(command)};
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
    platform::prepareConsoleOutput();  // Czech lines in UTF-8, also on a Windows console
    for (int code; (code = getopt_long(argc, argv, "+:hV", globals, nullptr)) != -1;) {
        switch (code) {
        case 'h': printOverview(); return Exit::Done;
        case 'V': std::printf("%s %s\n", kProgram, ZALOHY_VERSION); return Exit::Done;
        default: return usageError(optionProblem(code, argv, table));
        }
    }
    if (optind >= argc) return usageError("chybí příkaz");
    const Command* command = findCommand(argv[optind]);
    if (!command) return usageError("neznámý příkaz '" + std::string(argv[optind]) + "'");
    return runCommand(*command, argc - optind, argv + optind);
}

}  // namespace

JobOutput& standardOutput() {
    static StdOutput output;
    return output;
}

void say(const std::string& line, JobOutput& out) { out.write(false, line + "\n"); }
void note(const std::string& line, JobOutput& out) { out.note(line + "\n"); }

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
        throw UsageError{"--" + name + " chce číslo od 1 do " + std::to_string(most)};
    return number;
}

CommandRegistration::CommandRegistration(Command command) { registry().push_back(std::move(command)); }

int runZaltool(int argc, char** argv) { return finish(run(argc, argv)); }

}  // namespace zalohy
