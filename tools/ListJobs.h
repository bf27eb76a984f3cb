// The unattended runs over a list of scales (backup-list, send-list) and the
// job runner under them, which any run over a list can use.
//
// Each scale of a list is one job: a piece of per-scale work (a ScaleWork,
// found by name in a table so that a child process can find it too) run in a
// working folder of its own, which the runner makes under the --work folder
// and removes afterwards, because the scale library keeps its status file and
// data files in the current folder. With --jobs=1 the jobs run one after the
// other in this process; with N > 1 up to N at once, each in a process of its
// own (zaltool starts itself: posix_spawn, CreateProcessW), never two in one
// folder and never two with the same key (one archive name) at once. Either
// way each job's lines come out together and in the list's order, stdout and
// stderr lines as the job wrote them, so the output, the files and the exit
// status do not depend on N. A child writes its lines into a record file in
// its folder, which the runner replays once the jobs before it are out; the
// runner keeps at most a few times N jobs between the first unfinished one
// and the last started, so its memory does not grow with the list.
#pragma once

#include "ScaleList.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

// Where a run's lines go: stdout and stderr, or a job's record file.
class JobOutput {
public:
    virtual ~JobOutput() = default;
    // `text` holds whole lines with their line breaks; `error` for stderr.
    virtual void write(bool error, std::string_view text) = 0;
};

// The output of this process's runs: stdout and stderr unless a job's record
// file has taken their place.
JobOutput& runOutput();

// One scale's work, run with its folder as the current folder: writes its
// lines to `out` and returns 0 when the scale is done completely, 1 when not,
// 3 when the whole list run must stop (no further job is started).
using ScaleWork = int (*)(const std::vector<std::string>& args, JobOutput& out);
inline constexpr int kJobStopsTheList = 3;

struct ScaleWorkEntry {
    const char* name;
    ScaleWork work;
};
// The works jobs can run, by name (a child is told the name).
ScaleWork findScaleWork(std::string_view name);

struct ListJob {
    std::string work;               // a name of findScaleWork; empty: nothing to run
    std::vector<std::string> args;  // handed to the work
    std::string key;                // jobs with one key never run at once
    std::string lead;               // written to stdout before the job's own lines
    // The caller's own data, e.g. the scale's address, for the verdict.
    std::string address;
};

class ListJobRunner {
public:
    // `jobs` from 1 to kMaxJobs; `workFolder` UTF-8, absolute.
    ListJobRunner(int jobs, std::string workFolder);
    ~ListJobRunner();
    ListJobRunner(const ListJobRunner&) = delete;
    ListJobRunner& operator=(const ListJobRunner&) = delete;

    static constexpr int kMaxJobs = 64;

    // Locks the work folder for the whole run (no other run may use it or its
    // job folders) and removes the job folders a killed run left. False with
    // a Czech sentence in `problem`.
    bool start(std::string& problem);
    // Runs every job nextJob gives until it gives nothing; after a job's lines
    // are out, finished(job, status) is called, in the list's order (status:
    // the work's result; 1 for a child that did not end normally, with a line
    // saying so). After a job stopped the list, no job is started any more.
    void run(const std::function<std::optional<ListJob>()>& nextJob,
             const std::function<void(const ListJob&, int status)>& finished);

private:
    struct Slot;
    int jobs_;
    std::string workFolder_;
    std::filesystem::path jobsFolder_;
    struct Held;
    std::unique_ptr<Held> held_;
};

// The entry of a child process: "zaltool _job WORK FOLDER RECORDS PARENT ARGS...".
inline constexpr const char* kJobCommand = "_job";
int zaltoolJob(int argc, char** argv);

// backup-list and send-list; the options already read (ZaltoolRuns).
struct ListRunRequest {
    std::string listName;      // as given
    std::string list;          // absolute
    std::string target;        // backup-list: the folder DIR; send-list: the archive (absolute)
    std::array<bool, 6> kinds{};
    bool kindsGiven = false;
    std::string work;          // absolute working folder
    int jobs = 1;
    int keep = 0;              // 0: keep every archive
    std::string backupFirst;   // send-list: the folder of the safety archives (absolute); empty: none
    bool force = false;        // send-list: send even when that backup fails
};
int runBackupList(const ListRunRequest& request);
int runSendList(const ListRunRequest& request);
// check-list: every scale of the list asked for its shop name (`work`: the
// folder the jobs' folders are made in).
int runCheckList(const ListRunRequest& request);

// The archives of one address that backup-list made, addressPart +
// "YYYY-MM-DD.zal" in `folder` (addressPart "127.0.0.2-"): all but the `keep`
// newest are removed. Returns how many went.
int pruneGenerations(const std::filesystem::path& folder, const std::string& addressPart, int keep);

}  // namespace zalohy
