// The report page over a backup folder: one self-contained HTML page (no
// script, no file beside it, pictures as inline SVG, fit to be printed) that
// shows per scale whether its backups are safe: its state (no sound archive,
// the last backup run failed, a stale archive, or in order), the newest sound
// archive and its age, what it holds, how many generations are kept, a strip
// of the last 30 days, which kinds changed between the two newest
// generations, and the last runs from the run record. A JSON twin beside it
// gives a monitoring system the same judgement.
//
// The survey and the page are two steps so that each can be checked alone:
// surveyFolder reads the folder (archive headers, and the members of the two
// newest generations in blocks, never a whole archive at once), renderReportPage
// only writes text.
#pragma once

#include "DatedArchives.h"
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

// Where `zaltool report` writes the page when --out is not given, and its
// twin for monitoring systems beside it (the page's name with ".json").
inline constexpr const char* kReportPageFile = "prehled-zaloh.html";
inline constexpr int kStripDays = 30;

struct ReportOptions {
    std::filesystem::path folder;       // the backup folder (backup-list's DIR)
    std::optional<std::string> list;    // the list of scales; none: every scale found
    int staleDays = 2;                  // an archive older than this many days is stale
    std::time_t now = 0;                // 0: the present moment
    std::size_t runsShown = 3;          // last runs listed per scale
};

struct MemberSize {
    int id = 0;
    std::int64_t size = 0;
};

// How a scale stands, worst first: the page's counts, colours and row order.
enum class ScaleState { NoSound, LastRunFailed, Stale, Ok };

// What a day of the strip holds for a scale.
enum class DayMark : unsigned char { None, Damaged, Sound };

struct ScaleSurvey {
    std::string address;   // as the list or the run record gives it, or the name part
    std::string note;      // what the list says after the address
    std::string namePart;  // the start of its archive names, without "-YYYY-MM-DD.zal"
    std::vector<Generation> generations;  // newest first
    std::vector<std::string> futureDated; // archives dated later than tomorrow: not counted
    int newest = -1;       // index of the newest sound generation; -1: none
    int previous = -1;     // index of the sound generation before it; -1: none
    std::vector<MemberSize> members;  // of the newest, in the order of kDataKinds
    int ageDays = -1;      // age of the newest in days; -1 when there is none
    bool stale = true;     // no sound archive, or one older than staleDays
    std::array<DayMark, kStripDays> strip{};  // [kStripDays - 1] is today
    enum class Compared { NoPrevious, Done, Unreadable } compared = Compared::NoPrevious;
    std::vector<int> changed;  // ids of the kinds that differ (added and removed ones too)
    std::vector<RunRecordLine> lastRuns;  // newest first, at most runsShown
    int runsRecorded = 0;  // runs of this scale in the record
    int runsFailed = 0;    // of which did not end "ok"
    // The backup runs (backup-list) of the record: the newest, the time of
    // the newest that ended ok, and how many failed since.
    std::optional<RunRecordLine> lastBackup;
    std::string lastSuccess;
    int consecutiveFailures = 0;
    ScaleState state = ScaleState::NoSound;

    // Generations found unsound. Only those inside the strip, and older ones
    // until two sound ones are found, are checked.
    int unsoundGenerations() const;
};

struct FolderSurvey {
    std::vector<ScaleSurvey> scales;  // worst state first, then in the list's (or the names') order
    Day today{};                      // local
    std::string generatedAt;          // local "D. M. YYYY HH:MM"
    std::string generatedTime;        // as the record writes times, with the UTC offset
    std::string computer;             // this computer's name
    std::string folder;               // the folder's full path
    std::vector<std::string> notes;   // lines of the list that were skipped, and the like

    // Scales in each state, in the order of ScaleState.
    std::array<int, 4> counts() const;
};

// Reads the folder. Nothing, with a Czech sentence in `problem`, when the
// folder or the list cannot be read.
std::optional<FolderSurvey> surveyFolder(const ReportOptions& options, std::string& problem);
// The page, UTF-8.
std::string renderReportPage(const FolderSurvey& survey, const ReportOptions& options);
// The same judgement for a monitoring system: one JSON object with the counts
// and, per scale, its state, newest sound archive, age and runs.
std::string renderReportJson(const FolderSurvey& survey, const ReportOptions& options);

// zaltool report DIR [--list=LIST] [--out=FILE.html] [--stale-days=N]: the
// values as given (nothing when the option is absent). --out=- writes the
// page to standard output (and no JSON). Returns zaltool's exit status (0
// done, 1 failed, 2 a wrong value), with one line on stderr when not done.
int zaltoolReport(const std::string& folder, const std::optional<std::string>& list,
                  const std::optional<std::string>& out, const std::optional<std::string>& staleDays);

}  // namespace zalohy
