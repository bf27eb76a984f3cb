// The backup run for one scale: every kind asked for is downloaded from the
// scale, its end marker trimmed, and stored in one archive file. The backup
// dialog starts it after its questions, zaltool with the command line's
// answers; both read what it came to from the RunResult.
#pragma once

#include "RunReport.h"
#include "RunResult.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace zalohy {

class BackupArchive;

// The settings file in the working folder and its one section.
#ifdef _WIN32
inline constexpr const char* kSettingsFile = ".\\Skladex.ini";
#else
inline constexpr const char* kSettingsFile = "./Skladex.ini";
#endif

// True when path names one of the files that a run for the scale at address
// works with in the working folder: the settings file, the list file, the
// trimming's scratch file, the library's status file or a data file of any
// kind. An archive of such a name would be overwritten or deleted by the run.
bool isWorkingFile(const std::filesystem::path& path, const std::string& address);
// Refuses such an archive name in a warning.
void refuseWorkingFileAsArchive(RunReport& report, const std::string& path);
// True when the address can name a scale; otherwise warns what is wrong.
bool acceptScaleAddress(RunReport& report, const std::string& address);

// Hands one command line to the scale library and returns its status (0 is
// success). The backup dialog is the program's one runner: its window owns
// the runner's own box, also when the send dialog asks for a transfer.
class ScaleRunner {
public:
    virtual ~ScaleRunner() = default;
    virtual int RunScaleCommand(const std::string& commandLine) = 0;
};

// The runner of a program without the backup dialog: the library's messages
// go to `report`.
class LibraryRunner : public ScaleRunner {
public:
    explicit LibraryRunner(Report& report) : report_(report) {}
    int RunScaleCommand(const std::string& commandLine) override;

private:
    Report& report_;
};

struct BackupRequest {
    std::string address;
    std::filesystem::path archive;
    KindSet kinds{};
    // An archive already at that name: replaced (it stays until the first
    // kind has been downloaded, so a scale that does not answer costs
    // nothing), or the run is not started.
    enum class Existing { Replace, Refuse } existing = Existing::Refuse;
};

class BackupRun {
public:
    BackupRun(BackupRequest request, RunReport& report) : request_(std::move(request)), report_(report) {}
    // Runs it with the working folder locked; not started: not complete, nothing tried.
    RunResult run();
    // True from the start of the run until a kind could not be trimmed or stored.
    bool ok() const { return ok_; }

private:
    class Told;
    // One kind's download, rename, trimming and archiving; false ends the run.
    bool backUpKind(std::size_t kindIndex, BackupArchive& archive, Told& told);
    void warn(const std::string& text) { report_.warning(text, kWarningCaption); }
    void show(const std::string& line);

    BackupRequest request_;
    RunReport& report_;
    RunResult result_;
    std::filesystem::path oldArchive_;  // the archive to replace, deleted just before the first member is stored
    bool ok_ = false;
};

}  // namespace zalohy
