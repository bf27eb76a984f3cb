// zaltool backup-list LIST DIR: every scale of the list backed up into
// DIR/ADDRESS-YYYY-MM-DD.zal, each a job of the job runner.
#include "AtomicWrite.h"
#include "DatedArchives.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ListArchive.h"
#include "ListRun.h"
#include "ScaleRuns.h"


namespace fs = std::filesystem;

namespace zalohy {

namespace {

constexpr const char* kJobArchive = "zaltool-job.zal";

// "*-YYYY-MM-DD.zal.<8 hex digits>.tmp": a temporary archive of backup-list.
bool isListTemp(const std::string& name) {
    const std::size_t zal = name.rfind(".zal.");
    if (zal == std::string::npos || name.size() != zal + 5 + 8 + 4 || !name.ends_with(".tmp")) return false;
    const std::string archive = name.substr(0, zal + 4);
    return parseDatedArchive(archive) && files::isTempNameOf(name, archive);
}

// --keep=K after the archive `target` of `address` was written: the K newest
// sound generations stay, the one just written always; each damaged or
// future-dated archive of the scale is said.
void pruneGenerations(const fs::path& target, const std::string& address, int keep, JobOutput& out) {
    const fs::path folder = target.parent_path();
    const std::string part = archiveNamePart(address);
    std::optional<DatedArchives> found = scanDatedArchives(folder, localDay(), &part);
    if (!found) return;
    for (const std::string& name : found->futureByPart[part])
        note(address + ": " + name + " má datum v budoucnosti; ponechán, mezi generace se nepočítá", out);
    const Retention plan = planRetention(folder, found->byPart[part], keep, files::toUtf8(target.filename()));
    for (const std::string& name : plan.removeSound) files::removeFile(folder / files::toPath(name));
    for (const std::string& name : plan.removeDamaged)
        if (files::removeFile(folder / files::toPath(name)))
            note(address + ": poškozený archiv " + name + " smazán (starší než ponechané zálohy)", out);
    for (const std::string& name : plan.keepDamaged)
        note(address + ": poškozený archiv " + name + " ponechán ke kontrole", out);
}

// One scale: ADDRESS TARGET KINDS KEEP.
int backupScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if (args.size() != 4 || !bindLibrary(out)) return 1;
    const std::string& address = args[0];
    const fs::path target = files::toPath(args[1]);
    const std::string& shown = args[1];
    std::error_code ec;
    const fs::path archive = fs::current_path(ec) / kJobArchive;
    files::removeQuietly(archive);
    int status = 0;
    bool complete = backUpScale(address, archive, kindsFromArgument(args[2]), &status, out);
    if (complete && !placeListArchive(archive, target)) {
        complain("nelze zapsat " + shown, out);
        complete = false;
    }
    files::removeQuietly(archive);
    out.result(std::to_string(status));
    if (complete) {
        say(address + ": zazálohováno do " + shown, out);
        if (const int keep = std::atoi(args[3].c_str()); keep > 0) pruneGenerations(target, address, keep, out);
        return 0;
    }
    if (status != 0) say(communicationFailureLine(address, status), out);
    say(address + ": NEZAZÁLOHOVÁNO" + (fs::exists(target, ec) ? "; starší " + shown + " zůstává" : ""), out);
    complain(address + ": nezazálohováno", out);
    return 1;
}

const WorkRegistration work{"backup", backupScaleWork};

Exit backupList(const Call& call, Tally& tally) {
    const KindSet kinds = kindsOption(call).value_or(kAllKinds);
    const int keep = call.number("keep", 1000000, 0);
    ListRun run(call, 0, "backup-list");
    const fs::path folder = absolutePath(call.operands[1]);
    const std::string dir = files::toUtf8(folder);
    std::error_code ec;
    run.what = "záloha";
    run.doneWord = "zazálohováno";
    run.failedWord = "NEZAZÁLOHOVÁNO";
    run.recordFolder = folder;
    run.archiveOf = [](const Job& job, int status) {
        return status == 0 ? files::toUtf8(files::toPath(job.key).filename()) : std::string();
    };
    if (!bindLibrary(call.out())) return Exit::Failed;
    if (!fs::is_directory(folder, ec)) return complain(dir + " není složka", call.out());
    // Temporary archives that no running job holds: left by killed runs.
    run.prepare = [&] { return sweepLeftovers(folder, isListTemp), true; };
    const Day date = localDay();
    run.job = [&](const ScaleListEntry& entry) {
        const std::string target = files::toUtf8(folder / files::toPath(datedArchiveName(entry.address, date)));
        return Job{.work = "backup",
                   .args = {entry.address, target, kindsArgument(kinds), std::to_string(keep)},
                   .key = target,
                   .lead = "-- " + entry.address + " (řádek " + std::to_string(entry.line) + ")\n",
                   .address = entry.address};
    };
    return runList(run, tally);
}

const CommandRegistration registered{
    {"backup-list", "SEZNAM SLOŽKA", "zazálohuje každou váhu ze souboru SEZNAM do SLOŽKA/ADRESA-RRRR-MM-DD.zal", 2, 2,
     {kKindsOption, kWorkOption, kJobsOption,
      {"keep", "K", "ponechá K nejnovějších úplných archivů každé váhy (výchozí: všechny)"}, kJsonOption,
      kQuietOption, kPingOption},
     [](const Call& call) { return listCommand(call, "backup-list", backupList); }, CommandGroup::Run, 30}};

}  // namespace

}  // namespace zalohy
