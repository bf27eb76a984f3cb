// zaltool send-list ARCHIVE LIST: the send dialog's list run, each scale of
// the list a job of the job runner.
#include "BackupArchive.h"
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ListRun.h"
#include "ScaleRuns.h"
#include "SendDialog.h"

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// One scale: ARCHIVE ADDRESS KINDS [SAFETY-DIR FORCE], the send dialog's
// list run for this one scale, after a backup of what it replaces when a
// folder for that is given.
int sendScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if ((args.size() != 3 && args.size() != 5) || !bindLibrary(out)) return 1;
    const std::string& archive = args[0];
    const std::string& address = args[1];
    const KindSet kinds = kindsFromArgument(args[2]);
    if (args.size() == 5) {
        KindSet replaced = kinds;
        replaced[kImage] = false;  // never sent to a list
        if (!backUpBeforeSend(address, replaced, args[3], args[4] == "1", out)) return 1;
    }
    const ConsolePort::Sink sink = [&out](bool error, const std::string& text) { out.write(error, text); };
    ConsolePort runnerPort(kBackupDialogForm);  // the send dialog's transfers go through the backup dialog
    runnerPort.setSink(sink);
    ConsolePort port(kSendDialogForm);
    port.setSink(sink);
    port.setChosenFile(archive);
    BackupDialog runner(runnerPort, std::string());
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    for (std::size_t i = 0; i < kinds.size(); ++i) port.setChecked(kDataKinds[i].checkBox, kinds[i]);
    WindowReport report(port);
    BackupArchive container(archive, &report);
    const BusyScope busy(port);
    const RunResult result = dialog.SendToListedScale(address, container);
    out.result(std::to_string(result.failedStatus()));
    if (result.stopsTheList) return kJobStopsTheList;
    if (result.complete) return 0;
    if (const int status = result.failedStatus()) say(communicationFailureLine(address, status), out);
    return 1;
}

const WorkRegistration work{"send", sendScaleWork};

Exit sendList(const Call& call) {
    const std::optional<KindSet> given = kindsOption(call);
    const std::string archive = absolutePath(call.operands[0]);
    ListRun run(call, 1, "send-list");
    JobOutput& out = call.out();
    run.what = "odeslání";
    run.doneWord = "odesláno";
    run.failedWord = "NEODESLÁNO";
    // The record goes where --record says, or into the working folder.
    run.recordFolder = call.has("record") ? files::toPath(absolutePath(*call.value("record"))) : run.work;
    run.archiveOf = [&archive](const Job&, int) { return files::toUtf8(files::toPath(archive).filename()); };
    if (!run.readySafetyFolder()) return Exit::Failed;
    if (!bindLibrary(out)) return Exit::Failed;

    // The kinds to send: those given, or those the archive holds; the image
    // is never sent to a list. A member missing here would stop the run at
    // the first scale, so it is refused before anything is sent.
    std::string kinds;
    run.prepare = [&] {
        // Never waited for: a FIFO or a device named as the archive is refused.
        bool notAFile = false;
        if (files::File plain; !plain.openRegular(files::toPath(archive), &notAFile) && notAFile)
            return complain("archiv " + archive + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut", out),
                   false;
        BackupArchive container(archive);
        std::array<std::int32_t, 10> ids{};
        if (!container.ReadDirectory(ids)) return complain("nelze číst archiv " + archive, out), false;
        KindSet sent{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            const bool held = ids[static_cast<std::size_t>(archiveSlotOf(kDataKinds[i].id))] == kDataKinds[i].id;
            if (given && (*given)[i] && !held) return complain(archive + " neobsahuje " + kKindWords[i], out), false;
            sent[i] = given ? (*given)[i] : held;
        }
        kinds = kindsArgument(sent);
        return true;
    };
    run.job = [&](const ScaleListEntry& entry) {
        Job job{.work = "send", .args = {archive, entry.address, kinds}, .address = entry.address};
        for (std::string& argument : run.safetyArguments()) job.args.push_back(std::move(argument));
        return job;
    };
    // The dialog's end line: honest about the scales that did not get
    // everything, and never written after a failed extraction.
    run.end = [&out](const Tally& tally, bool stopped) {
        if (!stopped) say(SendDialog::listVerdict(tally.failed, tally.done + tally.failed), out);
    };
    return runList(run);
}

const CommandRegistration registered{
    {"send-list", "ARCHIV SEZNAM", "odešle ARCHIV do každé váhy ze souboru SEZNAM, jako okno odeslání do vah ze seznamu",
     2, 2,
     {kKindsOption, kWorkOption, kJobsOption, kBackupFirstOption, kForceOption, kJsonOption, kQuietOption,
      kRecordOption, kPingOption},
     [](const Call& call) { return listCommand(call, "send-list", sendList); }, CommandGroup::Run, 40}};

}  // namespace

}  // namespace zalohy
