// The run record: one JSON line per scale and run of the list commands,
// appended to "zaltool-zaznam.jsonl" in the backup folder, so that the report
// page (and any monitoring system) can tell how the last nights went.
//
// A line is one flat JSON object with the keys time, command, address,
// status, library_status and archive, e.g.
//   {"time":"2026-12-08T02:00:13+01:00","command":"backup-list","address":"127.0.0.2",
//    "status":"ok","library_status":0,"archive":"127.0.0.2-2026-12-08.zal"}
// time is local time with its offset from UTC (lines of earlier versions
// have none and read all the same); library_status is null when the scale library was not
// asked; archive is "" when the run left none.
//
// Every run locks the file while it appends, and the one whose line takes it
// past its limit drops the oldest lines in the file itself before it lets
// go, so a trim never loses a line another run appends meanwhile, and the
// file keeps its mode and owner; a report reads under a shared lock. A run
// killed in the middle of a write can leave a cut line without its line
// break: the next append starts on a fresh line, and the reader skips any
// line that does not parse or has no line break. Only a regular file is
// opened (a FIFO, a device or a folder under the name is refused, never
// waited for), and a read-only one is never written (so never grown).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

inline constexpr const char* kRunRecordFile = "zaltool-zaznam.jsonl";

// The values of "status".
inline constexpr const char* kRunOk = "ok";            // the scale is done completely
inline constexpr const char* kRunFailed = "failed";    // the scale failed, or in part
inline constexpr const char* kRunMissing = "missing";  // no archive to restore from
inline constexpr const char* kRunSkipped = "skipped";  // not run (the list run stopped)

struct RunRecordLine {
    std::string time;     // local time, "YYYY-MM-DDTHH:MM:SS+hh:mm" (older lines without the offset)
    std::string command;  // "backup-list", "send-list", ...
    std::string address;  // the scale's address as the list gives it
    std::string status;   // one of the values above
    std::optional<int> libraryStatus;  // the library's last status; none when not asked
    std::string archive;  // the archive written or sent (its name in the folder); may be empty

    bool operator==(const RunRecordLine&) const = default;
};

// The line for one record, with its line break. Strings are escaped as JSON
// needs (quotes, backslashes, control characters); UTF-8 passes unchanged.
std::string formatRunRecord(const RunRecordLine& record);
// One line without its line break; nothing when it is no record (not a flat
// JSON object, a key missing or of the wrong type). Unknown keys are ignored.
std::optional<RunRecordLine> parseRunRecord(std::string_view line);

// The local time of `when` (0: now) with its offset from UTC, as "time"
// holds it: "2026-12-08T02:30:00+01:00".
std::string runRecordTime(std::time_t when = 0);
// `text` as a JSON string, quoted and escaped as the record's lines have it.
void appendJsonString(std::string& out, std::string_view text);

struct RunRecordLimits {
    // Past this size the oldest lines go, down to about half of it.
    std::uint64_t maxBytes = 2 * 1024 * 1024;
};

// Appends one record to DIR/zaltool-zaznam.jsonl (created when missing),
// then drops old lines when the file has grown past the limit. False when the
// line could not be written: not a regular file, read-only, or a write that
// failed. `problem` (when given) gets the line that tells the user, naming the
// record, also when the line was written but the record could not be
// shortened.
bool appendRunRecord(const std::filesystem::path& folder, const RunRecordLine& record,
                     const RunRecordLimits& limits = {}, std::string* problem = nullptr);

// The records of DIR/zaltool-zaznam.jsonl, oldest first; lines that are cut,
// do not parse or lie before the newest maxBytes of the file are left out.
// Nothing (no error) when the file is missing.
std::vector<RunRecordLine> readRunRecord(const std::filesystem::path& folder, const RunRecordLimits& limits = {});
// The line that tells the user why DIR's record is refused: something other
// than a regular file under its name (readRunRecord reads none there).
// Nothing when it is a regular file or missing.
std::optional<std::string> refusedRunRecord(const std::filesystem::path& folder);

}  // namespace zalohy
