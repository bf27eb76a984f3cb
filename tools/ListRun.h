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
#include <vector>

namespace zalohy {

// "záloha: 3 z 4 vah v pořádku; selhaly 127.0.0.5; přeskočené řádky seznamu: 1"
struct Tally {
    int done = 0, failed = 0, skipped = 0, missing = 0;
    std::string failures;  // the first addresses that failed, comma-separated
    std::string missed;    // the first addresses the run had nothing for
    void count(const Job& job, int status);
    std::string summary(const char* what, const char* missingWords = "bez archivu") const;
};

// The options of the list runs, declared once.
inline const Option kJobsOption{"jobs", "N",
                                "až N vah najednou (1 až 64, výchozí 1); knihovna vah, která nezvládne\n"
                                "souběžné přenosy, potřebuje 1"};
inline const Option kJsonOption{"json",
                                nullptr,
                                "místo řádků běhu a souhrnu jeden řádek záznamu běhu na váhu na standardní\n"
                                "výstup, nakonec souhrnný objekt (\"type\":\"summary\": počty, návratový kód)"};
inline const Option kQuietOption{"quiet", nullptr,
                                 "do protokolu plánované úlohy: jeden řádek na váhu s výsledkem, souhrn\n"
                                 "a každý řádek o problému; bez průběhu oken"};
inline const Option kRecordOption{"record", "SLOŽKA",
                                  "připojí záznam běhu do SLOŽKA/zaltool-zaznam.jsonl (výchozí: složka --work,\n"
                                  "jinak aktuální složka)"};

// A run over a list, made from the command's Call once: the list (operand
// `listOperand`), --work (default: the current folder), --jobs, --json,
// --quiet, --backup-first with --force, and where its lines go.
struct ListRun {
    ListRun(const Call& call, std::size_t listOperand, const char* command);

    std::string listName;  // as given
    std::filesystem::path work;  // absolute: the jobs' folders are made in it
    int jobs = 1;
    JobOutput* out;
    const char* what = "";  // the summary's first word
    const char* missingWords = "bez archivu";  // the summary's words before the scales it had nothing for
    // --quiet's words for a scale done and one that was not: "127.0.0.5: NEZAZÁLOHOVÁNO (stav 5)".
    const char* doneWord = "v pořádku";
    const char* failedWord = "SELHALO";
    // The run record: the command's name in it, and the folder it is
    // appended to (none: not appended). With `json`, the record's lines go to
    // stdout instead of the Czech lines and the summary; stderr stays. With
    // `quiet`, a job's notes and one line with its result instead of its
    // lines (for a job without work: the last line of its lead); stderr stays.
    const char* command = "";
    std::optional<std::filesystem::path> recordFolder;
    bool json = false;
    bool quiet = false;
    // --backup-first: the folder of the backups before a send, and --force.
    std::optional<std::filesystem::path> safetyFolder;
    bool force = false;
    // The record's "archive" for a finished job.
    std::function<std::string(const Job&, int status)> archiveOf = [](const Job&, int) { return std::string(); };
    // After the list was opened, before any job: false ends the run (it has
    // said why).
    std::function<bool()> prepare = [] { return true; };
    // The job for one usable line of the list.
    std::function<Job(const ScaleListEntry&)> job;
    // After the last job, before the summary line.
    std::function<void(const Tally&, bool stopped)> end = [](const Tally&, bool) {};

    // The folder of --backup-first made ready (see prepareSafetyFolder); true without it.
    bool readySafetyFolder(bool dryRun = false) const;
    // A job's arguments for --backup-first: "DIR FORCE", none without it.
    std::vector<std::string> safetyArguments() const;
};

// --jobs of a list command.
int jobsOption(const Call& call);
// The run record's line for a finished job.
RunRecordLine recordLine(const ListRun& run, const Job& job, int status);
// Runs the list, counting its scales into `tally`: 0 when every line named a
// scale, every scale was done and the run record (when kept) took its lines,
// 1 otherwise (also for a list that names no scale or cannot be read to its
// end).
Exit runList(const ListRun& run, Tally& tally);

// The run's summary as one JSON object (no line break), the last line of a
// run with --json and the body of its --ping:
//   {"type":"summary","command":"backup-list","time":"2026-12-08T02:31:05",
//    "done":3,"failed":1,"skipped":0,"missing":0,"scales":4,"exit_status":1}
// scales counts the scales the list named (done + failed + missing); skipped
// counts the lines that named none.
std::string summaryLine(const char* command, const Tally& tally, Exit exit);
// A list command as zaltool runs it: `run`, which counts its scales into the
// tally it is given, then with --json the summary line and with --ping the
// ping, also when the run ended before its list (a folder or the library
// missing). --ping's value is checked before anything runs.
using ListCommand = Exit (*)(const Call& call, Tally& tally);
Exit listCommand(const Call& call, const char* command, ListCommand run);

}  // namespace zalohy
