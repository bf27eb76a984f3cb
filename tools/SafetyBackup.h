// The backup a send makes first (--backup-first=DIR): of what the send
// replaces on the scale, into a dated safety archive of DIR.
#pragma once

#include "Command.h"
#include "RunResult.h"

#include <filesystem>
#include <string>

namespace zalohy {

// The folder of --backup-first made ready before anything is sent: one that
// is missing is created (one level, like mkdir) and said; false, with a line
// saying why, when it is no folder or cannot be made. A dry run creates
// nothing. `tell`: the line on standard output (not among --json's lines).
bool prepareSafetyFolder(const std::filesystem::path& folder, JobOutput& out, bool dryRun = false, bool tell = true);
// The local time as strftime's `format` gives it.
std::string localTime(const char* format);

// send --backup-first=DIR: backs up from the scale at `address` the kinds
// about to be sent into DIR/<address>-<date>-<time>-pred-odeslanim.zal,
// through a temporary name that takes the final one only when the archive is
// complete, and never over an existing file. Runs in the working folder, with
// the library bound. True when the send may go on: the backup is complete,
// or `force` is given (then the failure is still reported).
bool backUpBeforeSend(const std::string& address, const KindSet& kinds, const std::filesystem::path& folder, bool force,
                      JobOutput& out);

}  // namespace zalohy
