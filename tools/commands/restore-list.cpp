// zaltool restore-list DIR LIST: every scale of the list gets its own newest
// complete archive of DIR back (the archives backup-list writes there), each
// scale a job of the job runner.
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ListRun.h"
#include "DatedArchives.h"
#include "SafetyBackup.h"
#include "ScaleRuns.h"

#include <map>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// One scale: ARCHIVE ADDRESS KINDS [SAFETY-DIR FORCE], the send run to this
// one scale with the kinds of KINDS the archive holds, after a backup
// of what it replaces when a folder for that is given.
int restoreScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if ((args.size() != 3 && args.size() != 5) || !bindLibrary(out)) return 1;
    ScaleSend request;
    request.archive = files::toPath(args[0]);
    request.address = args[1];
    request.kinds = kindsFromArgument(args[2]);
    request.onlyHeld = true;
    if (args.size() == 5) {
        request.safetyFolder = files::toPath(args[3]);
        request.force = args[4] == "1";
    }
    const RunResult run = sendToScale(request, out);
    const int status = run.failedStatus();
    out.result(std::to_string(status));
    const std::string name = files::toUtf8(request.archive.filename());
    if (run.complete) {
        say(request.address + ": obnoveno z " + name, out);
        return 0;
    }
    if (status != 0) say(communicationFailureLine(request.address, status), out);
    say(request.address + ": NEOBNOVENO z " + name, out);
    return 1;
}

const WorkRegistration work{"restore", restoreScaleWork};

Exit restoreList(const Call& call, Tally& tally) {
    const KindSet kinds = kindsOption(call).value_or(kAllKinds);
    const bool dryRun = call.has("dry-run");
    const fs::path folder = absolutePath(call.operands[0]);
    const std::string dir = files::toUtf8(folder);
    ListRun run(call, 1, "restore-list");
    JobOutput& out = call.out();
    std::error_code ec;
    run.what = dryRun ? "zkouška obnovy" : "obnova";
    run.doneWord = "obnoveno";
    run.failedWord = "NEOBNOVENO";
    if (run.json && dryRun) throw UsageError{"--json hlásí, co bylo odesláno; --dry-run nic neodesílá"};
    if (!dryRun) run.recordFolder = folder;
    if (!fs::is_directory(folder, ec)) return complain(dir + " není složka", out);
    if (!run.readySafetyFolder(dryRun)) return Exit::Failed;
    if (!dryRun && !bindLibrary(out)) return Exit::Failed;

    const Day today = localDay();
    DatedArchives archives;
    run.prepare = [&] {
        auto found = scanDatedArchives(folder, today);
        if (!found) return complain("složku " + dir + " nelze přečíst", out), false;
        archives = std::move(*found);
        return true;
    };
    // The newest archive of the scale that verifies; each newer one that does
    // not is said and passed over.
    run.job = [&](const ScaleListEntry& entry) {
        Job job;
        job.address = entry.address;
        job.lead = "-- " + entry.address + " (řádek " + std::to_string(entry.line) + ")\n";
        const Generation* chosen = nullptr;
        const std::string part = archiveNamePart(entry.address);
        if (const auto future = archives.futureByPart.find(part); future != archives.futureByPart.end())
            for (const std::string& name : future->second)
                job.notes += entry.address + ": " + name + " má datum v budoucnosti, přeskočen\n";
        if (const auto found = archives.byPart.find(part); found != archives.byPart.end()) {
            chosen = newestSound(folder, found->second);
            for (const Generation& generation : found->second) {
                if (&generation == chosen) break;
                job.notes += entry.address + ": " + generation.name +
                             (generation.state == Generation::State::Gone ? " nelze otevřít" : " není úplný archiv") +
                             ", přeskočen\n";
            }
        }
        job.lead += job.notes;
        if (!chosen) {
            job.tag = JobTag::NothingFor;
            job.lead += entry.address + ": NEOBNOVENO, v " + dir + " není úplný archiv této váhy\n";
            return job;
        }
        const std::string age = "(stáří " + ageText((today - chosen->day).count()) + ")";
        if (dryRun) {
            job.tag = JobTag::ShownOnly;
            job.lead += entry.address + ": " + chosen->name + " " + age + " by se odeslal do váhy\n";
            return job;
        }
        job.lead += entry.address + ": odesílá se " + chosen->name + " " + age + "\n";
        job.work = "restore";
        job.args = {files::toUtf8(folder / files::toPath(chosen->name)), entry.address, kindsArgument(kinds)};
        for (std::string& argument : run.safetyArguments()) job.args.push_back(std::move(argument));
        return job;
    };
    run.archiveOf = [](const Job& job, int) {
        return job.args.empty() ? std::string() : files::toUtf8(files::toPath(job.args[0]).filename());
    };
    return runList(run, tally);
}

const CommandRegistration registered{
    {"restore-list", "SLOŽKA SEZNAM", "odešle každé váze ze souboru SEZNAM její nejnovější úplný archiv ze SLOŽKY", 2,
     2,
     {kKindsOption, kWorkOption, kJobsOption, kBackupFirstOption, kForceOption,
      {"dry-run", nullptr, "jen řekne, který archiv by šel do které váhy; nic neodešle"}, kJsonOption, kQuietOption,
      kPingOption},
     [](const Call& call) { return listCommand(call, "restore-list", restoreList); }, CommandGroup::Run, 45}};

}  // namespace

}  // namespace zalohy
