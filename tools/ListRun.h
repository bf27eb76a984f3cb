// What zaltool's commands over a list of scales share: the list read in
// pieces as the run goes, each usable line one job of the job runner, the
// skipped lines said in the list's order, one summary line and the exit rules.
#pragma once

#include "Command.h"
#include "JobRunner.h"
#include "Ping.h"
#include "RunRecord.h"
#include "ScaleList.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zalohy {

// What a job without work stands for (Job::tag): a line of the list that
// names no scale, a scale the run has nothing for (restore-list: no archive),
// or a scale only shown (a dry run).
enum ListJobTag { kSkippedLine = 0, kNothingFor = 1, kShownOnly = 2 };

// "záloha: 3 z 4 vah v pořádku; selhaly 127.0.0.5; přeskočené řádky seznamu: 1"
struct Tally {
    int done = 0, failed = 0, skipped = 0, missing = 0;
    std::string failures;  // the first addresses that failed, comma-separated
    std::string missed;    // the first addresses the run had nothing for
    void count(const Job& job, int status);
    std::string summary(const char* what, const char* missingWords = "bez archivu") const;
};

struct ListRun {
    std::string listName;  // as given
    std::string work;      // the absolute folder the jobs' folders are made in
    int jobs = 1;
    const char* what = "";  // the summary's first word
    const char* missingWords = "bez archivu";  // the summary's words before the scales it had nothing for
    // The run record: the command's name in it, and the folder it is
    // appended to (none: not appended). With `json`, the record's lines go to
    // stdout instead of the Czech lines and the summary; stderr stays.
    const char* command = "";
    std::optional<std::filesystem::path> recordFolder;
    bool json = false;
    // The record's "archive" for a finished job.
    std::function<std::string(const Job&, int status)> archiveOf = [](const Job&, int) { return std::string(); };
    // After the list was opened, before any job: false ends the run (it has
    // said why).
    std::function<bool()> prepare = [] { return true; };
    // The job for one usable line of the list.
    std::function<Job(const ScaleListEntry&)> job;
    // After the last job, before the summary line.
    std::function<void(const Tally&, bool stopped)> end = [](const Tally&, bool) {};
};

// --jobs of a list command.
int jobsOption(const Call& call);
inline const Option kJsonOption{"json"};
inline const Option kRecordOption{"record", "DIR"};
// The run record's line for a finished job.
RunRecordLine recordLine(const ListRun& run, const Job& job, int status);
// Runs the list: 0 when every line named a scale, every scale was done and
// the run record (when kept) took its lines, 1 otherwise (also for a list that names no scale or cannot be read to its end).
Exit runList(const ListRun& run);

// The run's summary as one JSON object (no line break), the last line of a
// run with --json and the body of its --ping:
//   {"type":"summary","command":"backup-list","time":"2026-12-08T02:31:05",
//    "done":3,"failed":1,"skipped":0,"missing":0,"scales":4,"exit_status":1}
// scales counts the scales the list named (done + failed + missing); skipped
// counts the lines that named none.
std::string summaryLine(const char* command, const Tally& tally, Exit exit);
// A list command as zaltool runs it: `run`, then with --json the summary line
// and with --ping the ping, also when the run ended before its list (a folder
// or the library missing). --ping's value is checked before anything runs.
Exit listCommand(const Call& call, const char* command, Exit (*run)(const Call&));

}  // namespace zalohy
