// Strips the end marker "E" "2" that the scale library leaves after a
// downloaded file's data, rewriting the file in place through "temp.dat".
#pragma once

#include "Report.h"

#include <string>

namespace zalohy {

// Every outcome is told as lines through report; on any failure backupOk is
// set to false (it is never set to true).
// Result 1: the file was left unchanged (empty, not found, not openable,
// "temp.dat" not creatable, read error). Result 0: the trimmed copy was
// written, whether or not the final rename succeeded.
int TrimDownloadedFile(const std::string& fileName, Report& report, bool& backupOk);

}  // namespace zalohy
