// Strips the end marker "E" "2" that the scale library leaves after a
// downloaded file's data, in place: the marker is cut off the file's end.
#pragma once

#include "Report.h"

#include <string>

namespace zalohy {

// Every outcome is told as lines through report; on any failure backupOk is
// set to false (it is never set to true).
// Result 1: the file was left unchanged (empty, not found, not openable,
// read or write error). Result 0: the file was trimmed, or held no marker,
// or may not be written (reported as a failed rename, file unchanged).
int TrimDownloadedFile(const std::string& fileName, Report& report, bool& backupOk);

}  // namespace zalohy
