// Strips the end marker "E" "2" that the scale library leaves after a
// downloaded file's data, rewriting the file in place through "temp.dat".
#pragma once

#include <string>

namespace zalohy {

// What the trimming needs of its owner, the backup dialog.
class TrimReport {
public:
    virtual ~TrimReport() = default;
    // Adds one line at the end of the progress text box (UTF-8).
    virtual void addLine(const std::string& line) = 0;
    // Clears the run's BackupOk flag.
    virtual void setBackupFailed() = 0;
};

// Result 1: the file was left unchanged (empty, not found, not openable,
// "temp.dat" not creatable, read error). Result 0: the trimmed copy was
// written, whether or not the final rename succeeded.
int TrimDownloadedFile(const std::string& fileName, TrimReport& owner);

}  // namespace zalohy
