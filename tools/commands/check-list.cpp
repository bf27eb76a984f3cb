// zaltool check-list LIST: every scale of the list checked, each a job of the
// job runner, whose job folders live in a scratch folder of this run.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ListRun.h"
#include "ScaleCheck.h"
#include "RunOptions.h"
#include "ScratchFolders.h"

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// One scale: ADDRESS, asked in the job's folder, which the runner removes.
int checkScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if (args.size() != 1 || !bindLibrary()) return 1;
    const ScaleCheck result = askShopName(args[0]);
    if (result.problem.empty()) out.result(std::to_string(result.status));
    const std::string said = checkLine(args[0], result);
    say(said, out);
    if (result.answered) return 0;
    complain(said, out);
    return 1;
}

const WorkRegistration work{"check", checkScaleWork};

Exit checkList(const Call& call) {
    ListRun run;
    run.listName = call.operands[0];
    run.jobs = jobsOption(call);
    run.what = "kontrola";
    run.command = "check-list";
    run.json = call.has("json");
    std::error_code here;
    // The record goes where --record says, or into the folder zaltool was started in.
    run.recordFolder =
        files::toPath(absolutePath(call.value("record").value_or(files::toUtf8(fs::current_path(here)))));
    run.job = [](const ScaleListEntry& entry) { return Job{"check", {entry.address}, "", "", entry.address, 0, ""}; };
    if (!bindLibrary()) return Exit::Failed;
    std::error_code ec;
    const std::optional<files::HeldFolder> folder =
        files::HeldFolder::create(fs::temp_directory_path(ec), kScratchPrefix);
    if (!folder) return complain("nelze vytvořit pomocnou složku");
    run.work = files::toUtf8(folder->path());
    return runList(run);
}

const CommandRegistration registered{
    {"check-list", "LIST [--jobs=N] [--json] [--record=DIR] [--ping=URL]",
     "check every scale of the list file LIST (up to N at once), one line each and a summary", 1, 1, {kJobsOption, kJsonOption, kRecordOption, kPingOption},
     [](const Call& call) { return listCommand(call, "check-list", checkList); }, CommandGroup::Safety, 30,
     "  --jobs=N      up to N scales at once (1 to 64, default 1)\n"
     "  --json        one line of the run record per scale on stdout instead of the lines,\n"
     "                then one summary object (\"type\":\"summary\")\n"
     "  --record=DIR  append the run record to DIR/zaltool-zaznam.jsonl (default: the current folder)\n"
     "  --ping=URL    at the end, POST the summary object to URL when every scale answered,\n"
     "                to URL/fail otherwise (see 'zaltool --help')\n"}};

}  // namespace

}  // namespace zalohy
