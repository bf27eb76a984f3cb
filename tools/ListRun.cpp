#include "ListRun.h"

#include "FileIo.h"
#include "ScaleRuns.h"

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

}  // namespace

void Tally::count(const Job& job, int status) {
    if (job.work.empty()) {
        ++skipped;
    } else if (status == 0) {
        ++done;
    } else if (++failed <= kNamedFailures) {
        failures += (failed > 1 ? ", " : "") + job.address;
    } else if (failed == kNamedFailures + 1) {
        failures += ", …";
    }
}

std::string Tally::summary(const char* what) const {
    std::string text =
        std::string(what) + ": " + std::to_string(done) + " z " + std::to_string(done + failed) + " vah v pořádku";
    if (failed > 0) text += "; selhaly " + failures;
    if (skipped > 0) text += "; přeskočené řádky seznamu: " + std::to_string(skipped);
    return text;
}

int jobsOption(const Call& call) { return call.number("jobs", JobRunner::kMaxJobs, 1); }

Exit runList(const ListRun& run) {
    const std::string list = absolutePath(run.listName);
    ScaleListReader reader;
    if (!openList(reader, list) || !run.prepare()) return Exit::Failed;
    JobRunner runner(run.jobs, fileio::toPath(run.work), ownProgram());
    std::string problem;
    if (!runner.start(problem)) return complain(problem);

    Tally tally;
    bool stopped = false;
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
        });
    run.end(tally, stopped);

    say(tally.summary(run.what));
    if (reader.hadReadError()) return complain("seznam " + list + " nelze dočíst");
    if (tally.done + tally.failed + tally.skipped == 0) return complain(run.listName + " neuvádí žádnou váhu");
    if (tally.failed + tally.skipped == 0) return Exit::Done;
    return complain("vah, které selhaly: " + std::to_string(tally.failed) +
                    "; přeskočených řádků seznamu: " + std::to_string(tally.skipped));
}

}  // namespace zalohy
