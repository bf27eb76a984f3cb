// The report page over a backup folder: one self-contained HTML page (no
// script, no file beside it, pictures as inline SVG, fit to be printed) that
// shows per scale whether its backups are safe: the newest complete archive
// and its age, what it holds, how many generations are kept, a strip of the
// last 30 days, which kinds changed between the two newest generations, and
// the last runs from the run record.
//
// The survey and the page are two steps so that each can be checked alone:
// surveyFolder reads the folder (archive headers, and the members of the two
// newest generations in blocks, never a whole archive at once), renderReportPage
// only writes text.
#pragma once

#include "RunRecord.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zalohy {

// Where `zaltool report` writes the page when --out is not given.
inline constexpr const char* kReportPageFile = "prehled-zaloh.html";
inline constexpr int kStripDays = 30;

struct ReportOptions {
    std::filesystem::path folder;       // the backup folder (backup-list's DIR)
    std::optional<std::string> list;    // the list of scales; none: every scale found
    int staleDays = 2;                  // an archive older than this many days is stale
    std::time_t now = 0;                // 0: the present moment
    std::size_t runsShown = 3;          // last runs listed per scale
};

// One "ADDRESS-YYYY-MM-DD.zal" of a scale.
struct Generation {
    std::string name;  // file name in the folder
    int day = 0;       // its date as days since 1970-01-01
    enum class State { Unchecked, Sound, Unsound, Gone } state = State::Unchecked;
};

struct MemberSize {
    int id = 0;
    std::int64_t size = 0;
};

struct ScaleSurvey {
    std::string address;   // as the list or the run record gives it, or the name part
    std::string namePart;  // the start of its archive names, without "-YYYY-MM-DD.zal"
    std::vector<Generation> generations;  // newest first
    int newest = -1;       // index of the newest sound generation; -1: none
    int previous = -1;     // index of the sound generation before it; -1: none
    std::vector<MemberSize> members;  // of the newest, in the order of kDataKinds
    int ageDays = -1;      // age of the newest in days; -1 when there is none
    bool stale = true;     // no complete archive, or one older than staleDays
    std::array<bool, kStripDays> strip{};  // [kStripDays - 1] is today: a complete archive that day
    enum class Compared { NoPrevious, Done, Unreadable } compared = Compared::NoPrevious;
    std::vector<int> changed;  // ids of the kinds that differ (added and removed ones too)
    std::vector<RunRecordLine> lastRuns;  // newest first, at most runsShown
    int runsRecorded = 0;  // runs of this scale in the record
    int runsFailed = 0;    // of which did not end "ok"

    // Generations found unsound. Only those inside the strip, and older ones
    // until two sound ones are found, are checked.
    int unsoundGenerations() const;
};

struct FolderSurvey {
    std::vector<ScaleSurvey> scales;
    int today = 0;                   // days since 1970-01-01, local
    std::string generatedAt;         // local "D. M. YYYY HH:MM"
    std::vector<std::string> notes;  // lines of the list that were skipped, and the like
};

// The name part of an address in archive names (backup-list's, the report's,
// restore-list's): every character that is not a letter, digit, dot, hyphen
// or underscore becomes "_" (a name valid on Windows too).
std::string archiveNamePart(const std::string& address);
// "YYYY-MM-DD" as days since 1970-01-01; nothing when it is no date.
std::optional<int> dayNumber(std::string_view date);

// Today as days since 1970-01-01, local time.
int dayToday();
// The dated archives "<name part>-YYYY-MM-DD.zal" in `folder` (the names
// backup-list writes) by their name part, each scale's newest first, not yet
// checked. Nothing when the folder cannot be read.
std::optional<std::map<std::string, std::vector<Generation>>> datedArchivesIn(const std::filesystem::path& folder);
// Whether the archive at `path` is sound: its header read and every member
// inside the file, none overlapping, each in its own slot.
Generation::State checkGeneration(const std::filesystem::path& path);

// Reads the folder. Nothing, with a Czech sentence in `problem`, when the
// folder or the list cannot be read.
std::optional<FolderSurvey> surveyFolder(const ReportOptions& options, std::string& problem);
// The page, UTF-8.
std::string renderReportPage(const FolderSurvey& survey, const ReportOptions& options);

// zaltool report DIR [--list=LIST] [--out=FILE.html] [--stale-days=N]: the
// values as given (nothing when the option is absent). --out=- writes the
// page to standard output. Returns zaltool's exit status (0 done, 1 failed,
// 2 a wrong value), with one line on stderr when not done.
int zaltoolReport(const std::string& folder, const std::optional<std::string>& list,
                  const std::optional<std::string>& out, const std::optional<std::string>& staleDays);

}  // namespace zalohy
