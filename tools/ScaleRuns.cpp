#include "ScaleRuns.h"

#include "AtomicWrite.h"
#include "BackupRun.h"
#include "DataKind.h"
#include "File.h"
#include "SafetyBackup.h"
#include "SendRun.h"
#include "WorkingFiles.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// A run's report on the console: its lines and status lines on stdout (a
// status line only when it changes), each box on stderr as "caption: text"
// on one line; the list run's pause says nothing.
class ConsoleReport : public RunReport {
public:
    explicit ConsoleReport(JobOutput& out) : out_(out) {}
    void line(const std::string& text) override { out_.write(false, text + "\n"); }
    void message(const std::string& text, const std::string& caption) override {
        out_.write(true, caption + ": " + asOneLine(text) + "\n");
    }
    void warning(const std::string& text, const std::string& caption) override { message(text, caption); }
    void status(const std::string& text) override {
        if (text.empty() || text == printedStatus_) return;
        printedStatus_ = text;
        line(text);
    }

private:
    JobOutput& out_;
    std::string printedStatus_;
};

}  // namespace

std::string withStatus(const std::string& text, int status) {
    return text + " (stav " + std::to_string(status) + ")";
}

bool backUpScale(const std::string& address, const fs::path& archive, const KindSet& kinds, int* status,
                 JobOutput& out) {
    ConsoleReport report(out);
    const RunResult run = BackupRun({address, archive, kinds, BackupRequest::Existing::Refuse}, report).run();
    if (status) *status = run.failedStatus();
    if (!run.complete) return false;
    const std::optional<KindSet> held = heldKinds(archive, nullptr);
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i] && !(held && (*held)[i]))
            return complain(files::toUtf8(archive) + " neobsahuje všechny zazálohované druhy dat", out), false;
    return true;
}

Placed backUpInPlace(const std::string& address, const fs::path& target, const KindSet& kinds, files::Replace replace,
                     int* status, JobOutput& out) {
    const std::optional<fs::path> temp = files::temporaryNameBeside(target);
    if (!temp) return Placed::NoTemporary;
    if (!backUpScale(address, *temp, kinds, status, out)) {
        files::removeQuietly(*temp);
        return Placed::Incomplete;
    }
    return files::placeFile(*temp, target, {replace}) ? Placed::Done : Placed::NotPlaced;
}

std::string communicationFailureLine(const std::string& address, int status) {
    return withStatus(address + ": Chyba komunikace s váhou", status);
}

RunResult sendToScale(const ScaleSend& send, JobOutput& out) {
    ConsoleReport report(out);
    const std::string archive = files::toUtf8(send.archive);
    SendRequest request{send.address, send.archive, send.kinds.value_or(KindSet{}), send.listed};
    KindSet replaced = request.kinds;
    if (send.listed) {
        replaced[kImage] = false;  // never sent to a list
    } else {
        report.line(archive);
        const std::optional<KindSet> held = heldKinds(send.archive, &report);
        if (!held) return complain("nelze číst archiv " + archive, out), RunResult{};
        for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
            if (send.kinds && (*send.kinds)[i] && !(*held)[i] && !send.onlyHeld)
                return complain(archive + " neobsahuje " + kKindWords[i], out), RunResult{};
            request.kinds[i] = (*held)[i] && (!send.kinds || (*send.kinds)[i]);
        }
        // An archive that holds none of the kinds asked for has nothing to
        // send: the run must not report a send that sent nothing.
        if (std::none_of(request.kinds.begin(), request.kinds.end(), [](bool kind) { return kind; }))
            return complain(archive + " neobsahuje žádný z vybraných druhů dat; do váhy nebylo nic odesláno", out),
                   RunResult{};
        replaced = request.kinds;
    }
    if (send.safetyFolder && !backUpBeforeSend(send.address, replaced, *send.safetyFolder, send.force, out))
        return {};
    LibraryRunner runner(report);
    const RunResult run = SendRun(std::move(request), report, runner).run();
    if (!send.listed && !run.complete) complain("odeslání do váhy " + send.address + " není úplné", out);
    return run;
}

}  // namespace zalohy
