// zaltool's command kit: every command is one file that describes itself in
// a Command (name, operands, options, help) and registers it; the kit parses
// the command line for it (getopt_long: "--opt value", "--opt=value", unique
// abbreviations, options before or after the operands, "--" ends them),
// answers --help, and maps what the command returns to the exit status.
//
// A new command is a file with a function and one registration:
//   Exit list(const Call& call) { ... }
//   const CommandRegistration registered{{"list", "ARCHIV", "vypíše jeden řádek na člen archivu", 1, 1, {},
//                                         list, CommandGroup::Archive, 10}};
// Its lines go to call.out(); its options are declared once each (Option),
// and its usage and help are made from them.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

// zaltool's exit status. diff reads Failed as "the archives differ" and
// Usage as "they cannot be compared", as cmp and diff do.
enum class Exit { Done = 0, Failed = 1, Usage = 2 };

// Where zaltool's lines go: stdout and stderr, a list job's record file, or a
// filter of a list run (--json, --quiet). Each command receives its output
// in its Call and hands it on.
class JobOutput {
public:
    virtual ~JobOutput() = default;
    // `text` holds whole lines with their line breaks; `error` for stderr.
    virtual void write(bool error, std::string_view text) = 0;
    // What a list job hands back to the run that started it, besides its
    // lines and exit status (e.g. the library's status); only a list job's
    // record file keeps it.
    virtual void result(std::string_view) {}
    // Lines on stdout that a short log (--quiet) keeps too: what a run met
    // that is no failure but must not pass unseen (a damaged archive removed).
    virtual void note(std::string_view text) { write(false, text); }
};
// Stdout and stderr of this process, stdout flushed before a stderr line, so
// that the two keep their order in one log.
JobOutput& standardOutput();

// One line on stdout.
void say(const std::string& line, JobOutput& out);
// One line on stdout that --quiet keeps.
void note(const std::string& line, JobOutput& out);
// `text` on one line: each line break, with the spaces around it, becomes one
// space. A failure is one line on stderr, though a window shows its message
// over several.
inline std::string asOneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        if (c != '\n') line.push_back(c);
        else if (!line.empty() && line.back() != ' ') line.push_back(' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}
// "zaltool: what" on stderr, on one line; returns Exit::Failed.
Exit complain(const std::string& what, JobOutput& out);

// A long option of a command, declared once: its name, the name of its value
// (nullptr for a flag) and its line of the help, in Czech (continued over
// lines with "\n"). The help and the usage of a command are made from the
// options it declares.
struct Option {
    const char* name;
    const char* value = nullptr;
    const char* help = "";
};

// A mistake in the command line found by a command: exit 2 with the line.
struct UsageError {
    std::string what;
};

// What the command line gave a command.
struct Call {
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;  // "" for a flag
    JobOutput* output = &standardOutput();        // where the command's lines go

    JobOutput& out() const { return *output; }

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    // The option's number, from 1 to `most`; `fallback` when not given.
    // Anything else is a UsageError.
    int number(const std::string& name, int most, int fallback) const;
};

// The three parts of the help, in the order "zaltool --help" shows them.
enum class CommandGroup { Archive, Run, Safety };

struct Command {
    const char* name;
    const char* operands;  // as the usage shows them, before the options
    const char* summary;
    std::size_t minOperands;
    std::size_t maxOperands;
    std::vector<Option> options;
    Exit (*run)(const Call& call);
    CommandGroup group;
    int order;                   // its place in the group's help
    const char* help = nullptr;  // text after the options in its own help
};

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

// zaltool's whole command line (argv[0] the program); the exit status.
int runZaltool(int argc, char** argv);

}  // namespace zalohy
