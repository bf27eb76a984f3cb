// zaltool's safety net for sends: a backup of what a send is about to replace
// (send --backup-first), the comparison of two archives (diff) and a check
// whether scales answer at all (check, check-list), for a technician who
// wants to know before a night's job or before overwriting a shop's data.
#pragma once

#include "ListJobs.h"
#include "ZaltoolRuns.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

int zaltoolDiff(int argc, char** argv);
int zaltoolCheck(int argc, char** argv);
int zaltoolCheckList(int argc, char** argv);

// "diff", "check" or "check-list", or nullptr.
const ZaltoolRun* findZaltoolSafetyRun(std::string_view name);
// Their part of "zaltool --help".
void printZaltoolSafetyHelp(std::FILE* out);

// send --backup-first=DIR: backs up from the scale at `address` the kinds
// (in the order of kDataKinds) that are about to be sent into
// DIR/<address>-<date>-<time>-pred-odeslanim.zal, through a temporary name
// that takes the final one only when the archive is complete, and never over
// an existing file. Runs in the working folder, with the library bound.
// True when the send may go on: the backup is complete, or `force` is given
// (then the failure is still reported). Its lines go to `out`.
bool backUpBeforeSend(const std::string& address, const std::array<bool, 6>& kinds, const std::string& folder,
                      bool force, JobOutput& out);

// The name of the safety archive for `address` made at `stamp`
// ("YYYY-MM-DD-HHMMSS").
std::string safetyArchiveName(const std::string& address, const std::string& stamp);

// What one check of a scale found: the library's status of the download of
// the shop name, and whether the scale answered (the download went through:
// status 0).
struct ScaleCheck {
    int status = 1;
    bool answered = false;
    // Why no status could be had (no scratch folder, no lock), Czech; empty
    // when the library was asked.
    std::string problem;
};
// Asks the scale at `address` for its shop name in a fresh scratch folder of
// its own (locked meanwhile), then removes the folder with what was
// downloaded. The library must be bound.
ScaleCheck checkScale(const std::string& address);
// check-list's work for one scale (ADDRESS), run by the list job runner in a
// job folder of its own, which the runner removes: the same question, its
// line to `out`; 0 when the scale answered, 1 when not.
int checkScaleWork(const std::vector<std::string>& args, JobOutput& out);
// The line that reports a check: "ADDRESS: váha odpovídá (stav 0)" and the like.
std::string checkLine(const std::string& address, const ScaleCheck& check);

}  // namespace zalohy
