#include "JobRunner.h"

#include "FileIo.h"
#include "FolderLock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace zalohy {

namespace {

constexpr const char* kJobsFolder = ".zaltool-jobs";
constexpr const char* kRecordFile = "zaltool-job.rec";
constexpr int kFailed = 1;

std::vector<std::pair<std::string, ScaleWork>>& works() {
    static std::vector<std::pair<std::string, ScaleWork>> table;
    return table;
}

// A child's lines, each call one record "o<length>:<bytes>" or "e...".
class RecordOutput : public JobOutput {
public:
    explicit RecordOutput(std::FILE* file) : file_(file) {}
    void write(bool error, std::string_view text) override {
        std::fprintf(file_, "%c%zu:", error ? 'e' : 'o', text.size());
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_;
};

// Copies the whole records of `file` from `offset` on to this process's
// output and moves `offset` past them. Returns false when what follows them
// is no record (a record may still be coming while the child runs).
bool copyRecords(const fs::path& file, std::uintmax_t& offset) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(static_cast<std::streamoff>(offset));
    const std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = 0;
    bool whole = true;
    while (whole && at < rest.size()) {
        const char channel = rest[at];
        const std::size_t colon = rest.find(':', at);
        std::size_t size = 0;
        whole = (channel == 'o' || channel == 'e') && colon != std::string::npos && colon > at + 1;
        for (std::size_t i = at + 1; whole && i < colon; ++i) {
            whole = rest[i] >= '0' && rest[i] <= '9' && size < (std::size_t{1} << 40);
            size = size * 10 + static_cast<std::size_t>(rest[i] - '0');
        }
        whole = whole && rest.size() - colon - 1 >= size;
        if (!whole) break;
        runOutput().write(channel == 'e', std::string_view(rest).substr(colon + 1, size));
        at = colon + 1 + size;
    }
    offset += at;
    return whole;
}

}  // namespace

// ------------------------------------------------------------ processes

namespace {

#ifdef _WIN32
std::wstring widen(const std::string& text) { return fileio::toPath(text).wstring(); }

// One argument quoted the way CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (auto it = arg.begin();; ++it) {
        std::size_t slashes = 0;
        while (it != arg.end() && *it == L'\\') ++it, ++slashes;
        if (it == arg.end()) {
            out.append(slashes * 2, L'\\');
            break;
        }
        out.append(*it == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        out.push_back(*it);
    }
    return out + L"\"";
}
#endif

// Started children; on Windows they belong to a job object that kills them
// when this process ends, on Linux each asks for the same itself.
class Children {
public:
    Children() {
#ifdef _WIN32
        job_ = CreateJobObjectW(nullptr, nullptr);
        if (job_) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
#endif
    }
    ~Children() {
#ifdef _WIN32
        if (job_) CloseHandle(job_);
#endif
    }

    // A handle of the started child, or nothing.
    std::optional<std::intptr_t> start(const fs::path& program, const std::vector<std::string>& args) {
#ifdef _WIN32
        std::wstring line = quoted(program.wstring());
        for (const std::string& arg : args) line += L" " + quoted(widen(arg));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &info))
            return std::nullopt;
        if (job_) AssignProcessToJobObject(job_, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
        return reinterpret_cast<std::intptr_t>(info.hProcess);
#else
        std::vector<std::string> all{program.string()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
        return pid;
#endif
    }

    // The exit status of the child if it has ended (-1: not normally);
    // nothing while it runs.
    static std::optional<int> ended(std::intptr_t child) {
#ifdef _WIN32
        const HANDLE process = reinterpret_cast<HANDLE>(child);
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) return std::nullopt;
        DWORD code = 1;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        return code <= 255 ? static_cast<int>(code) : -1;
#else
        int raw = 0;
        pid_t pid;
        while ((pid = ::waitpid(static_cast<pid_t>(child), &raw, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (pid == 0) return std::nullopt;
        return pid > 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    }

private:
#ifdef _WIN32
    HANDLE job_ = nullptr;
#endif
};

std::string ownProcessId() {
#ifdef _WIN32
    return std::to_string(GetCurrentProcessId());
#else
    return std::to_string(::getpid());
#endif
}

}  // namespace

fs::path ownProgram() {
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    return fs::path(path);
#else
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec);
#endif
}

// ---------------------------------------------------------------- the runner

struct JobRunner::Held {
    FolderLock lock;
};

struct JobRunner::Slot {
    Job job;
    fs::path folder;
    std::optional<std::intptr_t> child;  // while it runs
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
    const std::string folder = fileio::toUtf8(workFolder_);
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

void JobRunner::run(const std::function<std::optional<Job>()>& nextJob,
                    const std::function<void(const Job&, int)>& finished) {
    const std::string parent = ownProcessId();
    Children children;
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
    const auto keyBusy = [&](const std::string& key) {
        return !key.empty() &&
               std::any_of(window.begin(), window.end(), [&](const Slot& s) { return s.child && s.job.key == key; });
    };
    // Writes out what the oldest job wrote so far, and every finished job
    // at the head of the window. True when anything happened.
    const auto flush = [&] {
        bool progress = false;
        while (!window.empty()) {
            Slot& slot = window.front();
            const fs::path records = slot.folder / kRecordFile;
            if (slot.child) {
                if (reporting && !slot.job.work.empty()) {
                    const std::uintmax_t before = slot.copied;
                    copyRecords(records, slot.copied);
                    progress = progress || slot.copied != before;
                }
                return progress;
            }
            if (reporting) {
                if (slot.job.work.empty()) {
                    runOutput().write(false, slot.job.lead);
                } else if (!copyRecords(records, slot.copied) || slot.status < 0) {
                    runOutput().write(false, slot.job.address + ": úloha skončila nečekaně\n");
                    slot.status = kFailed;
                }
                finished(slot.job, slot.status);
                if (slot.status == kJobStopsTheList) reporting = false;
            }
            std::error_code ec;
            if (!slot.folder.empty()) fs::remove_all(slot.folder, ec);
            window.pop_front();
            progress = true;
        }
        return progress;
    };

    for (;;) {
        bool progress = flush();
        if (more && !stopped && !pending) {
            pending = nextJob();
            more = pending.has_value();
        }
        if (pending && !stopped && window.size() < windowSize && running() < jobs_ && !keyBusy(pending->key)) {
            Slot& slot = window.emplace_back();
            slot.job = std::move(*pending);
            pending.reset();
            if (slot.job.work.empty()) continue;  // its lead is written in turn
            slot.folder = jobsFolder_ / std::to_string(++counter);
            std::error_code ec;
            fs::create_directories(slot.folder, ec);
            std::vector<std::string> args{kJobCommand, slot.job.work, fileio::toUtf8(slot.folder),
                                          fileio::toUtf8(slot.folder / kRecordFile), parent, slot.job.lead};
            args.insert(args.end(), slot.job.args.begin(), slot.job.args.end());
            slot.child = ec ? std::nullopt : children.start(program_, args);
            if (!slot.child) slot.status = -1;
            continue;
        }
        if (running() == 0) {
            if (window.empty() && (!pending || stopped)) break;
            continue;  // finished jobs wait in the window: flushed above
        }
        for (Slot& slot : window) {
            if (!slot.child) continue;
            if (const std::optional<int> status = Children::ended(*slot.child)) {
                slot.child.reset();
                slot.status = *status;
                if (*status == kJobStopsTheList) stopped = true;
                progress = true;
            }
        }
        if (!progress) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int runJobChild(int argc, char** argv, WorkFinder find) {
    // _job WORK FOLDER RECORDS PARENT LEAD ARGS...
    if (argc < 6) return 2;
#if defined(__linux__)
    // The job dies with the run that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::to_string(::getppid()) != argv[4]) return kFailed;
#endif
    const ScaleWork work = find(argv[1]);
    if (!work) return 2;
    std::error_code ec;
    fs::current_path(fileio::toPath(argv[2]), ec);
    if (ec) return kFailed;
    fileio::File records;
    if (!records.open(fileio::toPath(argv[3]), "wb")) return kFailed;
    RecordOutput output(records.stream());
    setRunOutput(&output);
    output.write(false, argv[5]);
    const int status = work(std::vector<std::string>(argv + 6, argv + argc), output);
    setRunOutput(nullptr);
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
        if (isLeftover(fileio::toUtf8(it->path().filename())) && removeUnlessHeld(it->path())) ++removed;
    return removed;
}

}  // namespace zalohy
