#include "ListRun.h"

#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "ScaleRuns.h"

#include <cstdlib>

namespace zalohy {

namespace {

// Addresses named in a run's summary line; the rest are counted.
constexpr int kNamedFailures = 20;

// Opens the list; false with a line saying why.
bool openList(ScaleListReader& reader, const std::string& list) {
    switch (reader.open(list)) {
    case ScaleListReader::Opened::Ok: return true;
    case ScaleListReader::Opened::NotAFile:
        complain("seznam " + list + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut");
        return false;
    case ScaleListReader::Opened::Missing: break;
    }
    complain("seznam " + list + " nelze otevřít");
    return false;
}

// The tally of the list run of this process, for listCommand's summary.
std::optional<Tally> lastTally;

}  // namespace

// Adds an address to a summary's names, the first kNamedFailures of them.
void name(std::string& names, int count, const std::string& address) {
    if (count <= kNamedFailures) names += (count > 1 ? ", " : "") + address;
    else if (count == kNamedFailures + 1) names += ", …";
}

// While the jobs run with --json: their stdout lines are left out, their
// stderr lines pass.
class ProblemsOnly : public JobOutput {
public:
    explicit ProblemsOnly(JobOutput& to) : to_(to) {}
    void write(bool error, std::string_view text) override {
        if (error) to_.write(true, text);
    }

private:
    JobOutput& to_;
};

void Tally::count(const Job& job, int status) {
    if (job.work.empty() && job.tag == kNothingFor) {
        name(missed, ++missing, job.address);
    } else if (job.work.empty() && job.tag == kShownOnly) {
        ++done;
    } else if (job.work.empty()) {
        ++skipped;
    } else if (status == 0) {
        ++done;
    } else {
        name(failures, ++failed, job.address);
    }
}

std::string Tally::summary(const char* what, const char* missingWords) const {
    std::string text = std::string(what) + ": " + std::to_string(done) + " z " +
                       std::to_string(done + failed + missing) + " vah v pořádku";
    if (failed > 0) text += "; selhaly " + failures;
    if (missing > 0) text += "; " + std::string(missingWords) + ": " + std::to_string(missing) + " (" + missed + ")";
    if (skipped > 0) text += "; přeskočené řádky seznamu: " + std::to_string(skipped);
    return text;
}

int jobsOption(const Call& call) { return call.number("jobs", JobRunner::kMaxJobs, 1); }

RunRecordLine recordLine(const ListRun& run, const Job& job, int status) {
    RunRecordLine line;
    line.time = runRecordTime();
    line.command = run.command;
    line.address = job.address;
    line.status = job.tag == kNothingFor && job.work.empty() ? kRunMissing : status == 0 ? kRunOk : kRunFailed;
    // The library's status as the job handed it back; none when it was not asked.
    if (!job.result.empty() && job.result.find_first_not_of("-0123456789") == std::string::npos)
        line.libraryStatus = std::atoi(job.result.c_str());
    line.archive = run.archiveOf(job, status);
    return line;
}

Exit runList(const ListRun& run) {
    const std::string list = absolutePath(run.listName);
    ScaleListReader reader;
    if (!openList(reader, list) || !run.prepare()) return Exit::Failed;
    JobRunner runner(run.jobs, files::toPath(run.work), ownProgram());
    std::string problem;
    if (!runner.start(problem)) return complain(problem);

    Tally tally;
    bool stopped = false;
    bool recordFailed = false, recordSaid = false;
    JobOutput& out = runOutput();
    ProblemsOnly problemsOnly(out);
    if (run.json) setRunOutput(&problemsOnly);
    runner.run(
        [&]() -> std::optional<Job> {
            std::optional<ScaleListEntry> entry = reader.next();
            if (!entry) return std::nullopt;
            if (entry->problem == AddressProblem::None) return run.job(*entry);
            Job skipped;  // said in its turn
            skipped.lead = skippedEntryLine(*entry, run.listName) + "\n";
            skipped.address = entry->address;
            return skipped;
        },
        [&](const Job& job, int status) {
            stopped = stopped || status == kJobStopsTheList;
            tally.count(job, status);
            const bool scale = !job.work.empty() || job.tag != kSkippedLine;
            if (run.json && !scale) out.write(true, job.lead);  // a skipped line is a problem
            if (!scale) return;
            const RunRecordLine line = recordLine(run, job, status);
            if (run.json) out.write(false, formatRunRecord(line));
            // Said once; a record that could not be shortened still takes lines.
            std::string problem;
            if (run.recordFolder && !recordFailed)
                recordFailed = !appendRunRecord(*run.recordFolder, line, {}, &problem);
            if (!problem.empty() && !recordSaid) recordSaid = true, complain(problem, out);
        });
    if (run.json) setRunOutput(&out);
    lastTally = tally;
    if (!run.json) {
        run.end(tally, stopped);
        say(tally.summary(run.what, run.missingWords));
    }
    if (reader.hadReadError()) return complain("seznam " + list + " nelze dočíst");
    if (tally.done + tally.failed + tally.skipped + tally.missing == 0)
        return complain(run.listName + " neuvádí žádnou váhu");
    if (tally.failed + tally.skipped + tally.missing == 0) return recordSaid ? Exit::Failed : Exit::Done;
    return complain("vah, které selhaly: " + std::to_string(tally.failed) +
                    (tally.missing > 0 ? "; vah " + std::string(run.missingWords) + ": " + std::to_string(tally.missing)
                                       : std::string()) +
                    "; přeskočených řádků seznamu: " + std::to_string(tally.skipped));
}

std::string summaryLine(const char* command, const Tally& tally, Exit exit) {
    const auto count = [](const char* key, int n) { return ",\"" + std::string(key) + "\":" + std::to_string(n); };
    return "{\"type\":\"summary\",\"command\":\"" + std::string(command) + "\",\"time\":\"" + runRecordTime() + "\"" +
           count("done", tally.done) + count("failed", tally.failed) + count("skipped", tally.skipped) +
           count("missing", tally.missing) + count("scales", tally.done + tally.failed + tally.missing) +
           count("exit_status", static_cast<int>(exit)) + "}";
}

Exit listCommand(const Call& call, const char* command, Exit (*run)(const Call&)) {
    const std::optional<std::string> ping = pingOption(call);
    if (ping && call.has("dry-run")) throw UsageError{"--ping reports what was sent; --dry-run sends nothing"};
    const Exit exit = run(call);
    const std::string summary = summaryLine(command, lastTally.value_or(Tally{}), exit);
    if (call.has("json")) say(summary);
    // After the record and every line of the run: a ping that fails loses nothing.
    if (ping) sendPing(*ping, exit == Exit::Done, summary);
    return exit;
}

}  // namespace zalohy
