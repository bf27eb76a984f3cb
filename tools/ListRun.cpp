#include "ListRun.h"

#include "AtomicWrite.h"
#include "Platform.h"
#include "SafetyBackup.h"
#include "ScaleRuns.h"
#include "WorkingFiles.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// Addresses named in a run's summary line; the rest are counted.
constexpr int kNamedFailures = 20;

// Opens the list; false with a line saying why.
bool openList(ScaleListReader& reader, const std::string& list, JobOutput& out) {
    switch (reader.open(list)) {
    case ScaleListReader::Opened::Ok: return true;
    case ScaleListReader::Opened::NotAFile:
        complain("seznam " + list + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut", out);
        return false;
    case ScaleListReader::Opened::Missing: break;
    }
    complain("seznam " + list + " nelze otevřít", out);
    return false;
}

}  // namespace

// Adds an address to a summary's names, the first kNamedFailures of them.
void name(std::string& names, int count, const std::string& address) {
    if (count <= kNamedFailures) names += (count > 1 ? ", " : "") + address;
    else if (count == kNamedFailures + 1) names += ", …";
}

// While the jobs run with --json or --quiet: their stdout lines are left out,
// their stderr lines pass, and with --quiet their notes too.
class ProblemsOnly : public JobOutput {
public:
    ProblemsOnly(JobOutput& to, bool notes) : to_(to), notes_(notes) {}
    void write(bool error, std::string_view text) override {
        if (error) to_.write(true, text);
    }
    void note(std::string_view text) override {
        if (notes_) to_.write(false, text);
    }

private:
    JobOutput& to_;
    bool notes_;
};

void Tally::count(const Job& job, int status) {
    switch (job.tag) {
    case JobTag::NothingFor: name(missed, ++missing, job.address); break;
    case JobTag::ShownOnly: ++done; break;
    case JobTag::SkippedLine: ++skipped; break;
    case JobTag::Scale:
        if (status == 0) ++done;
        else name(failures, ++failed, job.address);
        break;
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

ListRun::ListRun(const Call& call, std::size_t listOperand, const char* command)
    : listName(call.operands.at(listOperand)), jobs(jobsOption(call)), out(&call.out()), command(command),
      json(call.has("json")), quiet(call.has("quiet")), force(call.has("force")) {
    std::error_code ec;
    work = call.has("work") ? fs::absolute(files::toPath(*call.value("work")), ec).lexically_normal()
                            : fs::current_path(ec);
    safetyFolder = backupFirstOption(call);
    if (json && quiet) throw UsageError{"--json a --quiet nelze zadat spolu"};
}

bool ListRun::readySafetyFolder(bool dryRun) const {
    return !safetyFolder || prepareSafetyFolder(*safetyFolder, *out, dryRun, !json);
}

std::vector<std::string> ListRun::safetyArguments() const {
    if (!safetyFolder) return {};
    return {files::toUtf8(*safetyFolder), force ? "1" : "0"};
}

RunRecordLine recordLine(const ListRun& run, const Job& job, int status) {
    RunRecordLine line;
    line.time = runRecordTime();
    line.command = run.command;
    line.address = job.address;
    line.status = job.tag == JobTag::NothingFor ? kRunMissing : status == 0 ? kRunOk : kRunFailed;
    // The library's status as the job handed it back; none when it was not asked.
    if (!job.result.empty() && job.result.find_first_not_of("-0123456789") == std::string::npos)
        line.libraryStatus = std::atoi(job.result.c_str());
    line.archive = run.archiveOf(job, status);
    return line;
}

// --quiet's line for a scale: "127.0.0.5: NEZAZÁLOHOVÁNO (stav 5)".
std::string resultLine(const ListRun& run, const RunRecordLine& line) {
    const bool done = line.status == std::string(kRunOk);
    std::string text = line.address + ": " + (done ? run.doneWord : run.failedWord);
    if (!line.archive.empty()) text += " (" + line.archive + ")";
    if (!done && line.libraryStatus && *line.libraryStatus != 0)
        text += " (stav " + std::to_string(*line.libraryStatus) + ")";
    return text;
}

Exit runList(const ListRun& run, Tally& tally) {
    JobOutput& out = *run.out;
    const std::string list = files::toUtf8(absolutePath(run.listName));
    ScaleListReader reader;
    if (!openList(reader, list, out) || !run.prepare()) return Exit::Failed;
    JobRunner runner(run.jobs, run.work, ownProgram());
    std::string problem;
    if (!runner.start(problem)) return complain(problem, out);

    tally = Tally{};
    bool stopped = false;
    bool recordFailed = false, recordSaid = false;
    ProblemsOnly problemsOnly(out, run.quiet && !run.json);
    runner.run(
        run.json || run.quiet ? static_cast<JobOutput&>(problemsOnly) : out,
        [&]() -> std::optional<Job> {
            std::optional<ScaleListEntry> entry = reader.next();
            if (!entry) return std::nullopt;
            if (entry->problem == AddressProblem::None) return run.job(*entry);
            // Said in its turn.
            return Job{.lead = skippedEntryLine(*entry, run.listName) + "\n",
                       .address = entry->address,
                       .tag = JobTag::SkippedLine};
        },
        [&](const Job& job, int status) {
            stopped = stopped || status == kJobStopsTheList;
            tally.count(job, status);
            const bool scale = job.tag != JobTag::SkippedLine;
            if (run.json && !scale) out.write(true, job.lead);  // a skipped line is a problem
            // Quiet: the job's problem lines, then a job without work is
            // its lead's last line: its result, or the list's line skipped.
            if (run.quiet) out.write(false, job.notes);
            if (run.quiet && job.work.empty()) {
                const std::string_view lead = std::string_view(job.lead).substr(0, job.lead.size() - 1);
                out.write(false, job.lead.substr(lead.rfind('\n') + 1));
            }
            if (!scale) return;
            const RunRecordLine line = recordLine(run, job, status);
            if (run.json) out.write(false, formatRunRecord(line));
            if (run.quiet && !job.work.empty()) say(resultLine(run, line), out);
            // Said once; a record that could not be shortened still takes lines.
            std::string problem;
            if (run.recordFolder && !recordFailed)
                recordFailed = !appendRunRecord(*run.recordFolder, line, {}, &problem);
            if (!problem.empty() && !recordSaid) recordSaid = true, complain(problem, out);
        });
    if (!run.json) {
        run.end(tally, stopped);
        say(tally.summary(run.what, run.missingWords), out);
    }
    if (reader.hadReadError()) return complain("seznam " + list + " nelze dočíst", out);
    if (tally.done + tally.failed + tally.skipped + tally.missing == 0)
        return complain(run.listName + " neuvádí žádnou váhu", out);
    if (tally.failed + tally.skipped + tally.missing == 0) return recordSaid ? Exit::Failed : Exit::Done;
    return complain("vah, které selhaly: " + std::to_string(tally.failed) +
                        (tally.missing > 0 ? "; vah " + std::string(run.missingWords) + ": " +
                                                 std::to_string(tally.missing)
                                           : std::string()) +
                        "; přeskočených řádků seznamu: " + std::to_string(tally.skipped),
                    out);
}

std::string summaryLine(const char* command, const Tally& tally, Exit exit) {
    const auto count = [](const char* key, int n) { return ",\"" + std::string(key) + "\":" + std::to_string(n); };
    return "{\"type\":\"summary\",\"command\":\"" + std::string(command) + "\",\"time\":\"" + runRecordTime() + "\"" +
           count("done", tally.done) + count("failed", tally.failed) + count("skipped", tally.skipped) +
           count("missing", tally.missing) + count("scales", tally.done + tally.failed + tally.missing) +
           count("exit_status", static_cast<int>(exit)) + "}";
}

Exit listCommand(const Call& call, const char* command, ListCommand run) {
    const std::optional<std::string> ping = pingOption(call);
    if (ping && call.has("dry-run")) throw UsageError{"--ping hlásí, co bylo odesláno; --dry-run nic neodesílá"};
    Tally tally;
    const Exit exit = run(call, tally);
    const std::string summary = summaryLine(command, tally, exit);
    if (call.has("json")) say(summary, call.out());
    // After the record and every line of the run: a ping that fails loses nothing.
    if (ping) sendPing(*ping, exit == Exit::Done, summary, call.out());
    return exit;
}

}  // namespace zalohy
