// The job runner under zaltool's runs over a list of scales.
//
// Each scale of a list is one job: a piece of per-scale work, found by name
// in the child process that runs it (the runner passes only names and
// strings, so the works are the caller's parameter: zaltool's or a test's),
// in a working folder of its own, which the runner makes under the work
// folder and removes afterwards, because the scale library keeps its status
// file and data files in the current folder. Every job runs in a process of
// its own, one at a time or up to N at once: the same path for any N. Never
// two run with the same key (one scale, one archive) at once. Each job's
// lines come out together and in the list's order, stdout and stderr lines as
// the job wrote them: a child writes them as framed records into a file of
// its folder, which the runner copies out as they come for the oldest job
// still unfinished and in one piece for the others once their turn comes.
// So the output, the files and the exit status do not depend on N. The
// runner keeps at most a few times N jobs between the first unfinished one
// and the last started, so its memory does not grow with the list.
#pragma once

#include "Command.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zalohy {

// One scale's work, run with its folder as the current folder: writes its
// lines to `out` and returns 0 when the scale is done completely, 1 when not,
// kJobStopsTheList when the whole list run must stop.
using ScaleWork = int (*)(const std::vector<std::string>& args, JobOutput& out);
using WorkFinder = ScaleWork (*)(std::string_view name);
inline constexpr int kJobStopsTheList = 3;

// zaltool's works, each registered by the file of its command.
struct WorkRegistration {
    WorkRegistration(const char* name, ScaleWork work);
};
ScaleWork findScaleWork(std::string_view name);

// What a job stands for to the run that made it (the runner never looks): a
// scale to work on, a line of the list that names no scale, a scale the run
// has nothing for (restore-list: no archive), or a scale only shown (a dry run).
enum class JobTag { Scale, SkippedLine, NothingFor, ShownOnly };

// Made with its fields by name: Job{.work = "check", .args = {address}, .address = address}.
struct Job {
    std::string work = {};               // the work's name; empty: nothing to run, only `lead` to write
    std::vector<std::string> args = {};  // handed to the work
    std::string key = {};                // jobs with one key never run at once; empty: the address
    std::string lead = {};               // written to stdout before the job's own lines
    std::string address = {};            // the caller's own, e.g. for its summary
    JobTag tag = JobTag::Scale;          // the caller's own
    std::string notes = {};              // the caller's own: the problem lines `lead` holds, for a short log
    std::string result = {};             // what the work handed back (JobOutput::result), when finished
};

class JobRunner {
public:
    static constexpr int kMaxJobs = 64;

    // `jobs` from 1 to kMaxJobs at once, each job a process of `program`
    // started as "program _job WORK ..." (whose main hands that to
    // runJobChild), in folders under `workFolder` (absolute).
    JobRunner(int jobs, std::filesystem::path workFolder, std::filesystem::path program);
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Locks the work folder for the whole run (no other run may use it or its
    // job folders) and removes the job folders a killed run left. False with
    // a Czech sentence in `problem`.
    bool start(std::string& problem);
    // Runs every job nextJob gives until it gives nothing, the jobs' lines
    // written to `out`; after a job's lines are out, finished(job, status) is called, in the list's order (status:
    // the work's; 1 for a job that did not end normally or whose record is
    // cut short, with a line saying so). Once a job has stopped the list, no
    // job is started any more, and the jobs after it in the list that were
    // already running are waited for but neither written out nor reported.
    void run(JobOutput& out, const std::function<std::optional<Job>()>& nextJob,
             const std::function<void(const Job&, int status)>& finished);

private:
    struct Slot;
    struct Held;
    int jobs_;
    std::filesystem::path workFolder_;
    std::filesystem::path jobsFolder_;
    std::filesystem::path program_;
    std::unique_ptr<Held> held_;
};

// The path of the running program.
std::filesystem::path ownProgram();

// The child's side: "_job WORK FOLDER RECORDS PARENT LEAD ARGS..." (argv[0]
// is "_job"): runs the work `find` gives for WORK in FOLDER, its lines into
// RECORDS. Returns the process's exit status.
inline constexpr const char* kJobCommand = "_job";
int runJobChild(int argc, char** argv, WorkFinder find);

// Removes the files of `folder` that `isLeftover` picks and no running job
// holds open (what killed runs left); held ones stay. Returns how many went.
int sweepLeftovers(const std::filesystem::path& folder, const std::function<bool(const std::string& name)>& isLeftover);

}  // namespace zalohy
