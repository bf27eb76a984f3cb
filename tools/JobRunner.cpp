#include "JobRunner.h"

#include "File.h"
#include "FolderLock.h"
#include "Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

constexpr const char* kJobsFolder = ".zaltool-jobs";
constexpr const char* kRecordFile = "zaltool-job.rec";
constexpr int kFailed = 1;
// How often the lines of the oldest running job are copied out.
constexpr std::chrono::milliseconds kCopyEvery{20};

std::vector<std::pair<std::string, ScaleWork>>& works() {
    static std::vector<std::pair<std::string, ScaleWork>> table;
    return table;
}

// A child's lines, each call one record "o<length>:<bytes>" or "e...", and
// its result as "r...".
class RecordOutput : public JobOutput {
public:
    explicit RecordOutput(std::FILE* file) : file_(file) {}
    void write(bool error, std::string_view text) override { frame(error ? 'e' : 'o', text); }
    void result(std::string_view text) override { frame('r', text); }
    void note(std::string_view text) override { frame('n', text); }

private:
    void frame(char channel, std::string_view text) {
        std::fprintf(file_, "%c%zu:", channel, text.size());
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fflush(file_);
    }
    std::FILE* file_;
};

// Copies the whole records of `file` from `offset` on to `out` (a result
// into `result`) and moves `offset` past them. Returns false when what follows them
// is no record (a record may still be coming while the child runs).
bool copyRecords(const fs::path& file, std::uintmax_t& offset, std::string& result, JobOutput& out) {
    // Through the file layer, as every file of the program: wide names on
    // Windows, where the 32-bit C++ streams could not open the record.
    files::File in;
    if (!in.open(file, "rb") || !in.seek(static_cast<std::int64_t>(offset))) return false;
    std::string rest;
    char block[4096];
    for (std::size_t got; (got = in.read(block, sizeof block)) > 0;) rest.append(block, got);
    if (in.hadReadError()) return false;
    std::size_t at = 0;
    bool whole = true;
    while (whole && at < rest.size()) {
        const char channel = rest[at];
        const std::size_t colon = rest.find(':', at);
        std::size_t size = 0;
        whole = std::string_view("oern").find(channel) != std::string_view::npos && colon != std::string::npos && colon > at + 1;
        for (std::size_t i = at + 1; whole && i < colon; ++i) {
            // No record is near 1 GiB; the bound also keeps size from
            // overflowing a 32-bit size_t.
            whole = rest[i] >= '0' && rest[i] <= '9' && size < (std::size_t{1} << 30) / 10;
            size = size * 10 + static_cast<std::size_t>(rest[i] - '0');
        }
        whole = whole && rest.size() - colon - 1 >= size;
        if (!whole) break;
        const std::string_view text = std::string_view(rest).substr(colon + 1, size);
        if (channel == 'r') result.assign(text);
        else if (channel == 'n') out.note(text);
        else out.write(channel == 'e', text);
        at = colon + 1 + size;
    }
    offset += at;
    return whole;
}

}  // namespace

fs::path ownProgram() { return platform::ownExecutable(); }

// ---------------------------------------------------------------- the runner

struct JobRunner::Held {
    FolderLock lock;
};

struct JobRunner::Slot {
    Job job;
    fs::path folder;
    std::optional<platform::ChildProcesses::Child> child;  // while it runs
    int status = 0;
    std::uintmax_t copied = 0;  // bytes of its record already written out
};

JobRunner::JobRunner(int jobs, fs::path workFolder, fs::path program)
    : jobs_(std::clamp(jobs, 1, kMaxJobs)), workFolder_(std::move(workFolder)), jobsFolder_(workFolder_ / kJobsFolder),
      program_(std::move(program)) {}

JobRunner::~JobRunner() {
    std::error_code ec;
    if (held_ && held_->lock.state() == FolderLock::State::Held) fs::remove_all(jobsFolder_, ec);
}

bool JobRunner::start(std::string& problem) {
    held_ = std::make_unique<Held>();
    const std::string folder = files::toUtf8(workFolder_);
    if (!held_->lock.acquire(folder)) {
        problem = held_->lock.problem();
        return false;
    }
    std::error_code ec;
    fs::remove_all(jobsFolder_, ec);  // what a killed run left
    fs::create_directories(jobsFolder_, ec);
    if (ec) problem = "Ve složce " + folder + " nelze vytvořit pracovní složky úloh: " + ec.message();
    return !ec;
}

void JobRunner::run(JobOutput& out, const std::function<std::optional<Job>()>& nextJob,
                    const std::function<void(const Job&, int)>& finished) {
    const std::string parent = std::to_string(platform::currentProcessId());
    platform::ChildProcesses children;
    std::deque<Slot> window;  // from the oldest job not yet written out
    std::size_t counter = 0;
    std::optional<Job> pending;
    bool more = true;
    bool stopped = false;    // a job has stopped the list: nothing more starts
    bool reporting = true;   // false after the job that stopped the list was written out
    const std::size_t windowSize = static_cast<std::size_t>(jobs_) * 4;

    const auto running = [&] {
        return static_cast<int>(std::count_if(window.begin(), window.end(), [](const Slot& s) { return s.child; }));
    };
    const auto keyOf = [](const Job& job) { return job.key.empty() ? job.address : job.key; };
    const auto keyBusy = [&](const Job& job) {
        return std::any_of(window.begin(), window.end(),
                           [&](const Slot& s) { return s.child && keyOf(s.job) == keyOf(job); });
    };
    // Writes out what the oldest job wrote so far, and every finished job
    // at the head of the window.
    const auto flush = [&] {
        while (!window.empty()) {
            Slot& slot = window.front();
            const fs::path records = slot.folder / kRecordFile;
            if (slot.child) {
                if (reporting && !slot.job.work.empty()) copyRecords(records, slot.copied, slot.job.result, out);
                return;
            }
            if (reporting) {
                if (slot.job.work.empty()) {
                    out.write(false, slot.job.lead);
                } else if (!copyRecords(records, slot.copied, slot.job.result, out) || slot.status < 0) {
                    out.write(false, slot.job.address + ": úloha skončila nečekaně\n");
                    slot.status = kFailed;
                }
                finished(slot.job, slot.status);
                if (slot.status == kJobStopsTheList) reporting = false;
            }
            std::error_code ec;
            if (!slot.folder.empty()) fs::remove_all(slot.folder, ec);
            window.pop_front();
        }
    };

    for (;;) {
        flush();
        if (more && !stopped && !pending) {
            pending = nextJob();
            more = pending.has_value();
        }
        if (pending && !stopped && window.size() < windowSize && running() < jobs_ && !keyBusy(*pending)) {
            Slot& slot = window.emplace_back();
            slot.job = std::move(*pending);
            pending.reset();
            if (slot.job.work.empty()) continue;  // its lead is written in turn
            slot.folder = jobsFolder_ / std::to_string(++counter);
            std::error_code ec;
            fs::create_directories(slot.folder, ec);
            std::vector<std::string> args{kJobCommand, slot.job.work, files::toUtf8(slot.folder),
                                          files::toUtf8(slot.folder / kRecordFile), parent, slot.job.lead};
            args.insert(args.end(), slot.job.args.begin(), slot.job.args.end());
            slot.child = ec ? std::nullopt : children.start(program_, args);
            if (!slot.child) slot.status = -1;
            continue;
        }
        if (running() == 0) {
            if (window.empty() && (!pending || stopped)) break;
            continue;  // finished jobs wait in the window: flushed above
        }
        // Sleeps until a job ends. While the oldest job runs with its lines
        // being copied out, a wait with a time-out wakes for them as well.
        std::vector<platform::ChildProcesses::Child> waiting;
        std::vector<Slot*> owners;
        for (Slot& slot : window) {
            if (!slot.child) continue;
            waiting.push_back(*slot.child);
            owners.push_back(&slot);
        }
        const Slot& oldest = window.front();
        const bool copying = reporting && oldest.child && !oldest.job.work.empty();
        const auto ended = platform::ChildProcesses::waitAny(
            waiting, copying ? std::optional(kCopyEvery) : std::nullopt);
        if (!ended) continue;
        Slot& slot = *owners[ended->first];
        slot.child.reset();
        slot.status = ended->second;
        if (slot.status == kJobStopsTheList) stopped = true;
    }
}

int runJobChild(int argc, char** argv, WorkFinder find) {
    // _job WORK FOLDER RECORDS PARENT LEAD ARGS...
    if (argc < 6) return 2;
    // The job dies with the run that started it.
    if (!platform::dieWithParent(std::atoll(argv[4]))) return kFailed;
    const ScaleWork work = find(argv[1]);
    if (!work) return 2;
    std::error_code ec;
    fs::current_path(files::toPath(argv[2]), ec);
    if (ec) return kFailed;
    files::File records;
    if (!records.open(files::toPath(argv[3]), "wb")) return kFailed;
    RecordOutput output(records.stream());
    output.write(false, argv[5]);
    const int status = work(std::vector<std::string>(argv + 6, argv + argc), output);
    return records.close() ? status : kFailed;
}

WorkRegistration::WorkRegistration(const char* name, ScaleWork work) { works().emplace_back(name, work); }

ScaleWork findScaleWork(std::string_view name) {
    for (const auto& [known, work] : works())
        if (name == known) return work;
    return nullptr;
}

int sweepLeftovers(const fs::path& folder, const std::function<bool(const std::string&)>& isLeftover) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (isLeftover(files::toUtf8(it->path().filename())) && removeUnlessHeld(it->path())) ++removed;
    return removed;
}

}  // namespace zalohy
