// zaltool's unattended runs: "backup", "send" and "backup-list" drive the
// backup dialog's and the send dialog's own logic through a console window
// port (ConsolePort), for scheduled jobs. Each entry takes the command's own
// arguments (argv[0] is the command's name) and returns zaltool's exit
// status: 0 when the run completed fully, 1 when it failed or did not
// complete, 2 when the command line is wrong.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zalohy {

int zaltoolBackup(int argc, char** argv);
int zaltoolSend(int argc, char** argv);
int zaltoolBackupList(int argc, char** argv);

struct ZaltoolRun {
    const char* name;
    const char* synopsis;  // operands and options, as the usage shows them
    const char* summary;
    int (*entry)(int argc, char** argv);
};

// The run called `name`, or nullptr.
const ZaltoolRun* findZaltoolRun(std::string_view name);
// The runs' part of "zaltool --help".
void printZaltoolRunsHelp(std::FILE* out);

// Binds the scale library as the runs do; on failure says why on stderr.
bool bindZaltoolLibrary();
// "<address>-<dated>.zal", the address made fit for a file name as the list
// backup's archive names have it.
std::string zaltoolArchiveName(const std::string& address, const std::string& dated);

}  // namespace zalohy
