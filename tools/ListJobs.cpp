#include "ListJobs.h"

#include "BackupArchive.h"
#include "BackupDialog.h"
#include "ConsolePort.h"
#include "DataKind.h"
#include "FileIo.h"
#include "FolderLock.h"
#include "SendDialog.h"
#include "ZaltoolRuns.h"
#include "ZaltoolSafety.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
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

constexpr int kDone = 0;
constexpr int kFailed = 1;
// Addresses named in a run's summary line; the rest are counted.
constexpr std::size_t kNamedFailures = 20;
constexpr const char* kJobsFolder = ".zaltool-jobs";
constexpr const char* kRecordFile = "zaltool-job.rec";
constexpr const char* kJobArchive = "zaltool-job.zal";

// stdout and stderr, stdout flushed before a stderr line so that the two keep
// their order in one log.
class StdOutput : public JobOutput {
public:
    void write(bool error, std::string_view text) override {
        if (error) std::fflush(stdout);
        std::fwrite(text.data(), 1, text.size(), error ? stderr : stdout);
        if (error) std::fflush(stderr);
    }
};

// A child's lines, each call one record "o<length>:<bytes>" or "e...", in a
// file the runner replays.
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

StdOutput gStdOutput;
JobOutput* gOutput = &gStdOutput;

// Writes a child's records to this process's streams; false when the file is
// missing or cut short (the child died while writing).
bool replayRecords(const fs::path& file) {
    fileio::File in;
    if (!in.open(file, "rb")) return false;
    std::FILE* f = in.stream();
    std::string text;
    for (int channel; (channel = std::fgetc(f)) != EOF;) {
        std::size_t size = 0;
        if ((channel != 'o' && channel != 'e') || std::fscanf(f, "%zu", &size) != 1 || std::fgetc(f) != ':')
            return false;
        text.resize(std::min<std::size_t>(size, 1 << 20));
        for (std::size_t left = size; left > 0;) {
            const std::size_t part = std::min(left, text.size());
            if (std::fread(text.data(), 1, part, f) != part) return false;
            gOutput->write(channel == 'e', std::string_view(text.data(), part));
            left -= part;
        }
    }
    return true;
}

std::string selfPath(const char* fallback) {
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return fallback;
    path.resize(n);
    return fileio::toUtf8(fs::path(path));
#else
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(fallback) : self.string();
#endif
}

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
        if (*it == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        out.push_back(*it);
    }
    return out + L"\"";
}
#endif

// A started child; on Windows it belongs to a job object that kills it when
// this process ends, on Linux it asks for the same itself (zaltoolJob).
struct Child {
#ifdef _WIN32
    HANDLE process = nullptr;
#else
    pid_t pid = -1;
#endif
};

class Spawner {
public:
    Spawner() {
#ifdef _WIN32
        job_ = CreateJobObjectW(nullptr, nullptr);
        if (job_) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
#endif
    }
    ~Spawner() {
#ifdef _WIN32
        if (job_) CloseHandle(job_);
#endif
    }

    std::optional<Child> start(const std::string& program, const std::vector<std::string>& args) {
        Child child;
#ifdef _WIN32
        std::wstring line = quoted(widen(program));
        for (const std::string& arg : args) line += L" " + quoted(widen(arg));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &info))
            return std::nullopt;
        if (job_) AssignProcessToJobObject(job_, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
        child.process = info.hProcess;
#else
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&child.pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            return std::nullopt;
#endif
        return child;
    }

    // Waits for one of the children to end: its index in `children` and its
    // exit status (-1: it did not end normally).
    static std::pair<std::size_t, int> waitAny(const std::vector<Child>& children) {
#ifdef _WIN32
        std::vector<HANDLE> handles;
        for (const Child& c : children) handles.push_back(c.process);
        const DWORD at = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        const std::size_t index = at < WAIT_OBJECT_0 + handles.size() ? at - WAIT_OBJECT_0 : 0;
        DWORD code = 1;
        if (at >= WAIT_OBJECT_0 + handles.size()) WaitForSingleObject(handles[0], INFINITE);
        GetExitCodeProcess(handles[index], &code);
        CloseHandle(handles[index]);
        return {index, code <= 255 ? static_cast<int>(code) : -1};
#else
        for (;;) {
            int raw = 0;
            const pid_t pid = ::waitpid(-1, &raw, 0);
            if (pid < 0 && errno == EINTR) continue;
            for (std::size_t i = 0; i < children.size(); ++i)
                if (children[i].pid == pid) return {i, WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
            if (pid < 0) return {0, -1};
        }
#endif
    }

private:
#ifdef _WIN32
    HANDLE job_ = nullptr;
#endif
};

std::string randomHex(int digits) {
    static std::mt19937_64 random{std::random_device{}()};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    std::uint64_t r = random();
    for (int i = 0; i < digits; ++i, r >>= 4) text.push_back(hex[r & 15]);
    return text;
}

}  // namespace

JobOutput& runOutput() { return *gOutput; }

// ---------------------------------------------------------------- the runner

struct ListJobRunner::Held {
    FolderLock lock;
};

struct ListJobRunner::Slot {
    ListJob job;
    fs::path folder;
    bool running = false;
    bool inProcess = false;
    int status = 0;
    std::optional<Child> child;
};

ListJobRunner::ListJobRunner(int jobs, std::string workFolder)
    : jobs_(std::clamp(jobs, 1, kMaxJobs)), workFolder_(std::move(workFolder)),
      jobsFolder_(fileio::toPath(workFolder_) / kJobsFolder) {}

ListJobRunner::~ListJobRunner() {
    std::error_code ec;
    if (held_ && held_->lock.state() == FolderLock::State::Held) fs::remove_all(jobsFolder_, ec);
}

bool ListJobRunner::start(std::string& problem) {
    held_ = std::make_unique<Held>();
    if (!held_->lock.acquire(workFolder_)) {
        problem = held_->lock.problem();
        return false;
    }
    std::error_code ec;
    fs::remove_all(jobsFolder_, ec);  // what a killed run left
    fs::create_directories(jobsFolder_, ec);
    if (ec) problem = "Ve složce " + workFolder_ + " nelze vytvořit pracovní složky úloh: " + ec.message();
    return !ec;
}

void ListJobRunner::run(const std::function<std::optional<ListJob>()>& nextJob,
                        const std::function<void(const ListJob&, int)>& finished) {
    const std::string program = selfPath("zaltool");
    const std::string parent = std::to_string(
#ifdef _WIN32
        GetCurrentProcessId()
#else
        ::getpid()
#endif
    );
    Spawner spawner;
    std::deque<Slot> window;  // from the oldest job not yet written out
    std::size_t counter = 0;
    bool more = true, stopped = false;
    const std::size_t windowSize = static_cast<std::size_t>(jobs_) * 4;

    const auto runningCount = [&] {
        return static_cast<int>(std::count_if(window.begin(), window.end(), [](const Slot& s) { return s.running; }));
    };
    const auto keyBusy = [&](const std::string& key) {
        return !key.empty() && std::any_of(window.begin(), window.end(),
                                           [&](const Slot& s) { return s.running && s.job.key == key; });
    };
    std::optional<ListJob> pending;
    // Writes out the finished jobs at the head of the window.
    const auto flush = [&] {
        while (!window.empty() && !window.front().running) {
            Slot& slot = window.front();
            if (slot.job.work.empty()) gOutput->write(false, slot.job.lead);
            if (!slot.inProcess && !slot.job.work.empty()) {
                const bool whole = replayRecords(slot.folder / kRecordFile);
                if (slot.status < 0 || !whole) {
                    gOutput->write(false, slot.job.address + ": úloha skončila nečekaně\n");
                    slot.status = kFailed;
                }
            }
            std::error_code ec;
            if (!slot.folder.empty()) fs::remove_all(slot.folder, ec);
            if (slot.status == kJobStopsTheList) stopped = true;
            finished(slot.job, slot.status);
            window.pop_front();
        }
    };

    for (;;) {
        flush();
        if (more && !stopped && !pending) {
            pending = nextJob();
            if (!pending) more = false;
        }
        const bool canStart = pending && !stopped && window.size() < windowSize && runningCount() < jobs_ &&
                              !keyBusy(pending->key);
        if (canStart) {
            Slot& slot = window.emplace_back();
            slot.job = std::move(*pending);
            pending.reset();
            if (slot.job.work.empty()) continue;  // its lead is written in turn
            slot.folder = jobsFolder_ / std::to_string(++counter);
            std::error_code ec;
            fs::create_directories(slot.folder, ec);
            const ScaleWork work = findScaleWork(slot.job.work);
            if (ec || !work) {
                slot.status = kFailed;
                continue;
            }
            if (jobs_ == 1) {
                // One at a time: in this process, in the job's folder, its
                // lines going straight out.
                slot.inProcess = true;
                gOutput->write(false, slot.job.lead);
                const fs::path back = fs::current_path(ec);
                fs::current_path(slot.folder, ec);
                slot.status = ec ? kFailed : work(slot.job.args, *gOutput);
                fs::current_path(back, ec);
                continue;
            }
            std::vector<std::string> args{kJobCommand, slot.job.work, fileio::toUtf8(slot.folder),
                                          fileio::toUtf8(slot.folder / kRecordFile), parent, slot.job.lead};
            args.insert(args.end(), slot.job.args.begin(), slot.job.args.end());
            slot.child = spawner.start(program, args);
            if (!slot.child) {
                slot.status = -1;
                continue;
            }
            slot.running = true;
            continue;
        }
        if (runningCount() == 0) {
            if (!pending || stopped) break;
            continue;  // the window is full of finished jobs: flushed above
        }
        std::vector<Child> children;
        std::vector<Slot*> owners;
        for (Slot& slot : window)
            if (slot.running) {
                children.push_back(*slot.child);
                owners.push_back(&slot);
            }
        const auto [index, status] = Spawner::waitAny(children);
        owners[index]->running = false;
        owners[index]->status = status;
    }
    flush();
}

int zaltoolJob(int argc, char** argv) {
    // _job WORK FOLDER RECORDS PARENT LEAD ARGS...
    if (argc < 6) return 2;
#if defined(__linux__)
    // The job dies with the run that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (std::to_string(::getppid()) != argv[4]) return kFailed;
#endif
    const ScaleWork work = findScaleWork(argv[1]);
    if (!work) return 2;
    std::error_code ec;
    fs::current_path(fileio::toPath(argv[2]), ec);
    if (ec) return kFailed;
    std::FILE* records = nullptr;
#ifdef _WIN32
    records = _wfopen(fileio::toPath(argv[3]).c_str(), L"wb");
#else
    records = std::fopen(argv[3], "wbe");
#endif
    if (!records) return kFailed;
    RecordOutput output(records);
    gOutput = &output;
    output.write(false, argv[5]);
    const std::vector<std::string> args(argv + 6, argv + argc);
    const int status = runs::bindLibrary() ? work(args, output) : kFailed;
    gOutput = &gStdOutput;
    return std::fclose(records) == 0 ? status : kFailed;
}

// ------------------------------------------------------------- the works

namespace {

using runs::KindSet;

std::string kindsText(const KindSet& kinds) {
    std::string text;
    for (bool k : kinds) text.push_back(k ? '1' : '0');
    return text;
}

KindSet kindsOf(const std::string& text) {
    KindSet kinds{};
    for (std::size_t i = 0; i < kinds.size() && i < text.size(); ++i) kinds[i] = text[i] == '1';
    return kinds;
}

// The status the library left in "error" of the job's folder, if any.
std::optional<int> libraryStatus() {
    fileio::File file;
    char text[32] = {};
    if (!file.open("error", "rb")) return std::nullopt;
    file.read(text, sizeof text - 1);
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text) return std::nullopt;
    return static_cast<int>(value);
}

void line(JobOutput& out, const std::string& text) { out.write(false, text + "\n"); }

// Puts what was written through `f` on the disk, through its own handle (on
// Windows the held file cannot be opened a second time for writing).
bool syncStream(std::FILE* f) {
    if (std::fflush(f) != 0) return false;
#ifdef _WIN32
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) != 0;
#else
    return ::fsync(fileno(f)) == 0 || errno == EINVAL;
#endif
}

// Copies the job's archive into a held temporary file beside `target` and
// renames it over the target: the final name only ever names a complete
// archive, and a sweep never takes the temporary file from under the job.
bool placeArchive(const fs::path& archive, const fs::path& target) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path temp = fs::path(target).concat("." + randomHex(8) + ".tmp");
        std::FILE* held = createHeldFile(temp);
        if (!held) {
            std::error_code ec;
            if (fs::exists(temp, ec)) continue;
            return false;
        }
        fileio::File in;
        bool ok = in.open(archive, "rb");
        char buffer[1 << 16];
        while (ok) {
            const std::size_t got = in.read(buffer, sizeof buffer);
            if (got > 0 && std::fwrite(buffer, 1, got, held) != got) ok = false;
            if (got < sizeof buffer) {
                ok = ok && !in.hadReadError();
                break;
            }
        }
        ok = ok && syncStream(held);
        // Renamed while still held; only then let go.
        ok = ok && fileio::replaceFile(temp, target);
        if (!ok) fileio::removeQuietly(temp);
        std::fclose(held);
        return ok;
    }
    return false;
}

// backup-list's work for one scale: ADDRESS TARGET KINDS KEEP.
int backupScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if (args.size() != 4) return kFailed;
    const std::string& address = args[0];
    const fs::path target = fileio::toPath(args[1]);
    const std::string shown = args[1];
    const int keep = std::atoi(args[3].c_str());
    std::error_code ec;
    const fs::path archive = fs::current_path(ec) / kJobArchive;
    fileio::removeQuietly(archive);
    bool complete = runs::backUpScale(address, fileio::toUtf8(archive), kindsOf(args[2]), false);
    const std::optional<int> status = complete ? std::nullopt : libraryStatus();
    if (complete && !placeArchive(archive, target)) {
        runs::complain("nelze zapsat " + shown);
        complete = false;
    }
    fileio::removeQuietly(archive);
    if (complete) {
        line(out, address + ": zazálohováno do " + shown);
        if (keep > 0) {
            const std::string part = runs::archiveName(address, "");  // "<address>-.zal"
            pruneGenerations(target.parent_path(), part.substr(0, part.size() - 4), keep);
        }
        return kDone;
    }
    if (status && *status != 0) line(out, address + ": Chyba komunikace s váhou (stav " + std::to_string(*status) + ")");
    const std::string kept = fs::exists(target, ec) ? "; starší " + shown + " zůstává" : "";
    line(out, address + ": NEZAZÁLOHOVÁNO" + kept);
    runs::complain(address + ": nezazálohováno");
    return kFailed;
}

// The transfers of the send dialog, with the library's status of each
// failed one kept for the verdict line.
class StatusKeeper : public ScaleRunner {
public:
    explicit StatusKeeper(ScaleRunner& inner) : inner_(inner) {}
    int RunScaleCommand(const std::string& commandLine) override {
        const int status = inner_.RunScaleCommand(commandLine);
        if (status != 0 && !firstFailure) firstFailure = status;
        return status;
    }
    std::optional<int> firstFailure;

private:
    ScaleRunner& inner_;
};

// send-list's work for one scale: ARCHIVE ADDRESS KINDS [SAFETY-DIR FORCE],
// the send dialog's list run for this one scale, after a backup of what it
// replaces when a folder for that is given.
int sendScaleWork(const std::vector<std::string>& args, JobOutput& out) {
    if (args.size() != 3 && args.size() != 5) return kFailed;
    const std::string& archive = args[0];
    const std::string& address = args[1];
    const KindSet kinds = kindsOf(args[2]);
    if (args.size() == 5) {
        KindSet replaced = kinds;
        replaced[kImage] = false;  // never sent to a list
        if (!backUpBeforeSend(address, replaced, args[3], args[4] == "1", out)) return kFailed;
    }
    const ConsolePort::Sink sink = [&out](bool error, const std::string& text) { out.write(error, text); };
    ConsolePort runnerPort(kBackupDialogForm);  // the send dialog's transfers go through the backup dialog
    runnerPort.setSink(sink);
    ConsolePort port(kSendDialogForm);
    port.setSink(sink);
    port.setChosenFile(archive);
    BackupDialog backupDialog(runnerPort, std::string());
    StatusKeeper runner(backupDialog);
    SendDialog dialog(port, runner);
    dialog.FormActivate();
    for (std::size_t i = 0; i < kinds.size(); ++i) port.setChecked(kDataKinds[i].checkBox, kinds[i]);
    WindowReport report(port);
    BackupArchive container(archive, &report);
    const BusyScope busy(port);
    const SendDialog::ListSend result = dialog.SendToListedScale(address, container);
    if (result == SendDialog::ListSend::Stopped) return kJobStopsTheList;
    if (result == SendDialog::ListSend::Sent) return kDone;
    if (runner.firstFailure)
        line(out, address + ": Chyba komunikace s váhou (stav " + std::to_string(*runner.firstFailure) + ")");
    return kFailed;
}

const ScaleWorkEntry kWorks[] = {
    {"backup", backupScaleWork},
    {"send", sendScaleWork},
    {"check", checkScaleWork},
};

// "záloha: 3 z 4 vah v pořádku; selhaly 127.0.0.5; přeskočené řádky seznamu: 1"
struct Tally {
    int done = 0, failed = 0, skipped = 0;
    std::string failures;
    void count(const ListJob& job, int status) {
        if (job.work.empty()) {
            ++skipped;
            return;
        }
        if (status == kDone) {
            ++done;
            return;
        }
        ++failed;
        if (static_cast<std::size_t>(failed) <= kNamedFailures) failures += (failed > 1 ? ", " : "") + job.address;
        else if (static_cast<std::size_t>(failed) == kNamedFailures + 1) failures += ", …";
    }
    std::string summary(const char* what) const {
        std::string text = std::string(what) + ": " + std::to_string(done) + " z " + std::to_string(done + failed) +
                           " vah v pořádku";
        if (failed > 0) text += "; selhaly " + failures;
        if (skipped > 0) text += "; přeskočené řádky seznamu: " + std::to_string(skipped);
        return text;
    }
};

// Opens the list; false with a line saying why.
bool openList(ScaleListReader& reader, const ListRunRequest& request) {
    switch (reader.open(request.list)) {
    case ScaleListReader::Opened::Ok: return true;
    case ScaleListReader::Opened::NotAFile:
        runs::complain("seznam " + request.list + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut");
        return false;
    case ScaleListReader::Opened::Missing: break;
    }
    runs::complain("seznam " + request.list + " nelze otevřít");
    return false;
}

// The lines of the list in order: a skipped line as the list run shows it,
// every usable one as a job made by `make`.
std::function<std::optional<ListJob>()> listJobs(ScaleListReader& reader, const std::string& listName,
                                                 std::function<ListJob(const ScaleListEntry&)> make) {
    return [&reader, listName, make]() -> std::optional<ListJob> {
        std::optional<ScaleListEntry> entry = reader.next();
        if (!entry) return std::nullopt;
        if (entry->problem != AddressProblem::None) {
            ListJob skipped;
            skipped.lead = skippedEntryLine(*entry, listName) + "\n";
            skipped.address = entry->address;
            return skipped;
        }
        return make(*entry);
    };
}

int finishRun(const Tally& tally, const char* what, const ListRunRequest& request, const ScaleListReader& reader) {
    line(runOutput(), tally.summary(what));
    if (reader.hadReadError()) return runs::complain("seznam " + request.list + " nelze dočíst"), kFailed;
    if (tally.done + tally.failed + tally.skipped == 0)
        return runs::complain(request.listName + " neuvádí žádnou váhu"), kFailed;
    if (tally.failed + tally.skipped == 0) return kDone;
    runs::complain("vah, které selhaly: " + std::to_string(tally.failed) + "; přeskočených řádků seznamu: " +
                   std::to_string(tally.skipped));
    return kFailed;
}

// "<address part>-YYYY-MM-DD.zal"
bool isGeneration(const std::string& name, const std::string& addressPart) {
    const std::string date = "YYYY-MM-DD";
    if (name.size() != addressPart.size() + date.size() + 4 || name.compare(0, addressPart.size(), addressPart) != 0 ||
        !name.ends_with(".zal"))
        return false;
    for (std::size_t i = 0; i < date.size(); ++i) {
        const char c = name[addressPart.size() + i];
        if (date[i] == '-' ? c != '-' : (c < '0' || c > '9')) return false;
    }
    return true;
}

// "*-YYYY-MM-DD.zal.<8 hex digits>.tmp": a temporary archive of backup-list.
bool isListTemp(const std::string& name) {
    const std::size_t zal = name.rfind(".zal.");
    if (zal == std::string::npos || zal < 11 || name.size() != zal + 5 + 8 + 4 || !name.ends_with(".tmp")) return false;
    return isGeneration(name.substr(0, zal + 4), name.substr(0, zal - 10)) &&
           fileio::isTempNameOf(name, name.substr(0, zal + 4));
}

}  // namespace

ScaleWork findScaleWork(std::string_view name) {
    for (const ScaleWorkEntry& entry : kWorks)
        if (name == entry.name) return entry.work;
    return nullptr;
}

int pruneGenerations(const fs::path& folder, const std::string& addressPart, int keep) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = fileio::toUtf8(it->path().filename());
        std::error_code typeError;
        if (isGeneration(name, addressPart) && it->is_regular_file(typeError)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), std::greater<>());  // the newest date first
    int removed = 0;
    for (std::size_t i = static_cast<std::size_t>(keep); i < names.size(); ++i)
        if (fileio::removeFile(fileio::toUtf8(folder / fileio::toPath(names[i])))) ++removed;
    return removed;
}

int runBackupList(const ListRunRequest& request) {
    const fs::path folder = fileio::toPath(request.target);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return runs::complain(request.target + " není složka"), kFailed;
    ScaleListReader reader;
    if (!openList(reader, request)) return kFailed;
    ListJobRunner runner(request.jobs, request.work);
    std::string problem;
    if (!runner.start(problem)) return runs::complain(problem), kFailed;

    // Temporary archives that no running job holds: left by killed runs.
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (isListTemp(fileio::toUtf8(it->path().filename()))) removeUnlessHeld(it->path());

    const std::string date = runs::today();
    const std::string kinds = kindsText(request.kinds);
    const std::string keep = std::to_string(request.keep);
    Tally tally;
    runner.run(listJobs(reader, request.listName,
                        [&](const ScaleListEntry& entry) {
                            const std::string target =
                                fileio::toUtf8(folder / fileio::toPath(runs::archiveName(entry.address, date)));
                            ListJob job;
                            job.work = "backup";
                            job.args = {entry.address, target, kinds, keep};
                            job.key = target;
                            job.address = entry.address;
                            job.lead = "-- " + entry.address + " (řádek " + std::to_string(entry.line) + ")\n";
                            return job;
                        }),
               [&](const ListJob& job, int status) { tally.count(job, status); });
    return finishRun(tally, "záloha", request, reader);
}

int runSendList(const ListRunRequest& request) {
    ScaleListReader reader;
    if (!openList(reader, request)) return kFailed;
    // The kinds to send: those given, or those the archive holds; the image
    // is never sent to a list. A member missing here would stop the run at
    // the first scale, so it is refused before anything is sent.
    BackupArchive archive(request.target);
    std::array<std::int32_t, 10> ids{};
    if (!archive.ReadDirectory(ids)) return runs::complain("nelze číst archiv " + request.target), kFailed;
    KindSet kinds{};
    for (std::size_t i = 0; i < kDataKinds.size(); ++i) {
        const bool held = ids[static_cast<std::size_t>(archiveSlotOf(kDataKinds[i].id))] == kDataKinds[i].id;
        if (request.kindsGiven && request.kinds[i] && !held)
            return runs::complain(request.target + " neobsahuje " + runs::kKindWords[i]), kFailed;
        kinds[i] = request.kindsGiven ? request.kinds[i] : held;
    }
    ListJobRunner runner(request.jobs, request.work);
    std::string problem;
    if (!runner.start(problem)) return runs::complain(problem), kFailed;

    const std::string kindText = kindsText(kinds);
    Tally tally;
    bool stopped = false;
    runner.run(listJobs(reader, request.listName,
                        [&](const ScaleListEntry& entry) {
                            ListJob job;
                            job.work = "send";
                            job.args = {request.target, entry.address, kindText};
                            if (!request.backupFirst.empty())
                                job.args.insert(job.args.end(), {request.backupFirst, request.force ? "1" : "0"});
                            job.key = entry.address;
                            job.address = entry.address;
                            return job;
                        }),
               [&](const ListJob& job, int status) {
                   if (status == kJobStopsTheList) stopped = true;
                   tally.count(job, status);
               });
    // The dialog's end line: honest about the scales that did not get
    // everything, and never written after a failed extraction.
    if (!stopped) {
        const int visited = tally.done + tally.failed;
        line(runOutput(), tally.failed > 0 ? "Odeslání se nezdařilo u " + std::to_string(tally.failed) + " z " +
                                                 std::to_string(visited) + " vah"
                                           : std::string("Navolené datové soubory jsou odeslány"));
    }
    return finishRun(tally, "odeslání", request, reader);
}

int runCheckList(const ListRunRequest& request) {
    ScaleListReader reader;
    if (!openList(reader, request)) return kFailed;
    ListJobRunner runner(request.jobs, request.work);
    std::string problem;
    if (!runner.start(problem)) return runs::complain(problem), kFailed;
    Tally tally;
    runner.run(listJobs(reader, request.listName,
                        [](const ScaleListEntry& entry) {
                            ListJob job;
                            job.work = "check";
                            job.args = {entry.address};
                            job.key = entry.address;
                            job.address = entry.address;
                            return job;
                        }),
               [&](const ListJob& job, int status) { tally.count(job, status); });
    return finishRun(tally, "kontrola", request, reader);
}

}  // namespace zalohy
