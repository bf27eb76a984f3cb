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
    if (args.size() != 1 || !bindLibrary(out)) return 1;
    const ScaleCheck result = askShopName(args[0]);
    if (result.problem.empty()) out.result(std::to_string(result.status));
    const std::string said = checkLine(args[0], result);
    say(said, out);
    if (result.answered) return 0;
    complain(said, out);
    return 1;
}

const WorkRegistration work{"check", checkScaleWork};

Exit checkList(const Call& call, Tally& tally) {
    ListRun run(call, 0, "check-list");
    run.what = "kontrola";
    run.doneWord = "váha odpovídá";
    run.failedWord = "váha NEODPOVÍDÁ";
    // The record goes where --record says, or into the folder zaltool was
    // started in (the run's work folder, before the scratch folder takes its place).
    run.recordFolder = call.has("record") ? absolutePath(*call.value("record")) : run.work;
    run.job = [](const ScaleListEntry& entry) {
        return Job{.work = "check", .args = {entry.address}, .address = entry.address};
    };
    if (!bindLibrary(call.out())) return Exit::Failed;
    std::error_code ec;
    const std::optional<files::HeldFolder> folder =
        files::HeldFolder::create(fs::temp_directory_path(ec), kScratchPrefix);
    if (!folder) return complain("nelze vytvořit pomocnou složku", call.out());
    run.work = folder->path();
    return runList(run, tally);
}

const CommandRegistration registered{
    {"check-list", "SEZNAM", "zkontroluje každou váhu ze souboru SEZNAM, každou jedním řádkem, a řekne souhrn", 1, 1,
     {kJobsOption, kJsonOption, kQuietOption, kRecordOption, kPingOption},
     [](const Call& call) { return listCommand(call, "check-list", checkList); }, CommandGroup::Safety, 30}};

}  // namespace

}  // namespace zalohy
