// zaltool's command kit: every command is one file that describes itself in
// a Command (name, operands, options, help) and registers it; the kit parses
// the command line for it (getopt_long: "--opt value", "--opt=value", unique
// abbreviations, options before or after the operands, "--" ends them),
// answers --help, and maps what the command returns to the exit status.
//
// A new command is a file with a function and one registration:
//   Exit list(const Call& call) { ... }
//   const CommandRegistration registered{{"list", "ARCHIVE", "one line per member", 1, 1, {}, list,
//                                         CommandGroup::Archive, 10}};
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

// Where zaltool's lines go: stdout and stderr, or a list job's record file.
class JobOutput {
public:
    virtual ~JobOutput() = default;
    // `text` holds whole lines with their line breaks; `error` for stderr.
    virtual void write(bool error, std::string_view text) = 0;
    // What a list job hands back to the run that started it, besides its
    // lines and exit status (e.g. the library's status); only a list job's
    // record file keeps it.
    virtual void result(std::string_view) {}
};
// The output of this process: stdout and stderr (stdout flushed before a
// stderr line, so that the two keep their order in one log) unless a list
// job's record file has taken their place.
JobOutput& runOutput();
void setRunOutput(JobOutput* output);  // nullptr: stdout and stderr again

// One line on stdout.
void say(const std::string& line, JobOutput& out = runOutput());
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
Exit complain(const std::string& what, JobOutput& out = runOutput());

// A long option of a command; `value` names its value, nullptr for a flag.
struct Option {
    const char* name;
    const char* value = nullptr;
};

// A mistake in the command line found by a command: exit 2 with the line.
struct UsageError {
    std::string what;
};

// What the command line gave a command.
struct Call {
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;  // "" for a flag

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
    const char* synopsis;  // operands (and, for the runs, options) as the usage shows them
    const char* summary;
    std::size_t minOperands;
    std::size_t maxOperands;
    std::vector<Option> options;
    Exit (*run)(const Call& call);
    CommandGroup group;
    int order;                   // its place in the group's help
    const char* help = nullptr;  // text after the usage and summary of its own help
};

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

// The help text of the runs' options, shared by their own help and the overview.
extern const char* const kRunOptionsHelp;

// zaltool's whole command line (argv[0] the program); the exit status.
int runZaltool(int argc, char** argv);

}  // namespace zalohy
