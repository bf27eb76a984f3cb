// zaltool send-list ARCHIVE LIST: the send run to every scale of the list, as
// the send dialog's list run sends, each scale a job of the job runner.
#include "DataKind.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ListRun.h"
#include "SafetyBackup.h"
#include "ScaleRuns.h"
#include "SendRun.h"

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// One scale: ARCHIVE ADDRESS KINDS [SAFETY-DIR FORCE], the send run for this
// one scale of the list, after a backup of what it replaces when a
// folder for that is given.
int sendScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if ((args.size() != 3 && args.size() != 5) || !bindLibrary(out)) return 1;
    ScaleSend request;
    request.archive = files::toPath(args[0]);
    request.address = args[1];
    request.kinds = kindsFromArgument(args[2]);
    request.listed = true;
    if (args.size() == 5) {
        request.safetyFolder = files::toPath(args[3]);
        request.force = args[4] == "1";
    }
    const RunResult result = sendToScale(request, out);
    out.result(std::to_string(result.failedStatus()));
    if (result.stopsTheList) return kJobStopsTheList;
    if (result.complete) return 0;
    if (const int status = result.failedStatus()) say(communicationFailureLine(request.address, status), out);
    return 1;
}

const WorkRegistration work{"send", sendScaleWork};

Exit sendList(const Call& call, Tally& tally) {
    const std::optional<KindSet> given = kindsOption(call);
    const fs::path archive = absolutePath(call.operands[0]);
    const std::string shown = files::toUtf8(archive);
    ListRun run(call, 1, "send-list");
    JobOutput& out = call.out();
    run.what = "odeslání";
    run.doneWord = "odesláno";
    run.failedWord = "NEODESLÁNO";
    // The record goes where --record says, or into the working folder.
    run.recordFolder = call.has("record") ? absolutePath(*call.value("record")) : run.work;
    run.archiveOf = [&archive](const Job&, int) { return files::toUtf8(archive.filename()); };
    if (!run.readySafetyFolder()) return Exit::Failed;
    if (!bindLibrary(out)) return Exit::Failed;

    // The kinds to send: those given, or those the archive holds; the image
    // is never sent to a list. A member missing here would stop the run at
    // the first scale, so it is refused before anything is sent.
    std::string kinds;
    run.prepare = [&] {
        // Never waited for: a FIFO or a device named as the archive is refused.
        bool notAFile = false;
        if (files::File plain; !plain.openRegular(archive, &notAFile) && notAFile)
            return complain("archiv " + shown + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut", out),
                   false;
        const std::optional<KindSet> held = heldKinds(archive, nullptr);
        if (!held) return complain("nelze číst archiv " + shown, out), false;
        KindSet sent{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            if (given && (*given)[i] && !(*held)[i]) return complain(shown + " neobsahuje " + kKindWords[i], out), false;
            sent[i] = given ? (*given)[i] : (*held)[i];
        }
        kinds = kindsArgument(sent);
        return true;
    };
    run.job = [&](const ScaleListEntry& entry) {
        Job job{.work = "send", .args = {shown, entry.address, kinds}, .address = entry.address};
        for (std::string& argument : run.safetyArguments()) job.args.push_back(std::move(argument));
        return job;
    };
    // The dialog's end line: honest about the scales that did not get
    // everything, and never written after a failed extraction.
    run.end = [&out](const Tally& tally, bool stopped) {
        if (!stopped) say(listVerdict(tally.failed, tally.done + tally.failed), out);
    };
    return runList(run, tally);
}

const CommandRegistration registered{
    {"send-list", "ARCHIV SEZNAM", "odešle ARCHIV do každé váhy ze souboru SEZNAM, jako okno odeslání do vah ze seznamu",
     2, 2,
     {kKindsOption, kWorkOption, kJobsOption, kBackupFirstOption, kForceOption, kJsonOption, kQuietOption,
      kRecordOption, kPingOption},
     [](const Call& call) { return listCommand(call, "send-list", sendList); }, CommandGroup::Run, 40}};

}  // namespace

}  // namespace zalohy
