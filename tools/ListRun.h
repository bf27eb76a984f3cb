// What zaltool's commands over a list of scales share: the list read in
// pieces as the run goes, each usable line one job of the job runner, the
// skipped lines said in the list's order, one summary line and the exit rules.
#pragma once

#include "Command.h"
#include "JobRunner.h"
#include "ScaleList.h"

#include <functional>
#include <string>

namespace zalohy {

// "záloha: 3 z 4 vah v pořádku; selhaly 127.0.0.5; přeskočené řádky seznamu: 1"
struct Tally {
    int done = 0, failed = 0, skipped = 0;
    std::string failures;  // the first addresses that failed, comma-separated
    void count(const Job& job, int status);
    std::string summary(const char* what) const;
};

struct ListRun {
    std::string listName;  // as given
    std::string work;      // the absolute folder the jobs' folders are made in
    int jobs = 1;
    const char* what = "";  // the summary's first word
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
// Runs the list: 0 when every line named a scale and every scale was done,
// 1 otherwise (also for a list that names no scale or cannot be read to its end).
Exit runList(const ListRun& run);

}  // namespace zalohy
