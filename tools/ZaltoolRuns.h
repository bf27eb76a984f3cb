// zaltool's unattended runs: "backup", "send" and "backup-list" drive the
// backup dialog's and the send dialog's own logic through a console window
// port (ConsolePort), for scheduled jobs. Each entry takes the command's own
// arguments (argv[0] is the command's name) and returns zaltool's exit
// status: 0 when the run completed fully, 1 when it failed or did not
// complete, 2 when the command line is wrong.
#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace zalohy {

class JobOutput;

int zaltoolBackup(int argc, char** argv);
int zaltoolSend(int argc, char** argv);
int zaltoolBackupList(int argc, char** argv);
int zaltoolSendList(int argc, char** argv);

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

// What the runs share with the list runs (ListJobs).
namespace runs {
using KindSet = std::array<bool, 6>;
inline constexpr KindSet kAllKinds{true, true, true, true, true, true};
// The words of --kinds, in the order of kDataKinds: the check boxes' captions
// in Czech without diacritics (Formáty, Texty, Název obchodu, Rychloklávesy
// as "presety" after its box, PLU soubor, Image soubor).
inline constexpr std::array<const char*, 6> kKindWords{"formaty", "texty", "nazev", "presety", "plu", "image"};

// Binds the scale library beside zaltool; false with a line saying why.
bool bindLibrary();
// One line "zaltool: what" on the runs' stderr.
void complain(const std::string& what);
// The backup dialog's run for one scale into `archive`; true when complete.
// Its lines go to `out` (default: the run's output); `status`, when given,
// receives the library's last status (0 when the library was not what failed).
bool backUpScale(const std::string& address, const std::string& archive, const KindSet& kinds, bool overwrite,
                 int* status = nullptr, JobOutput* out = nullptr);
// The local time as strftime's `format` gives it; today's date as
// YYYY-MM-DD; and the name backup-list gives an archive.
std::string localTime(const char* format);
std::string today();
std::string archiveName(const std::string& address, const std::string& date);
// Puts a written file on the disk; false when that fails.
bool syncFile(const std::filesystem::path& path);
}  // namespace runs

}  // namespace zalohy
