// The backup dialog's behaviour: the user types a scale's address, ticks the
// kinds of data to save and presses "Ulož"; every ticked kind is downloaded
// from the scale, its end marker trimmed, and stored in one archive file. The
// dialog also keeps its address and four check boxes in the settings file.
//
// Plain C++: the window is reached only through its WindowPort, so every
// front end (and the tests) drives the same steps.
#pragma once

#include "IniFile.h"
#include "Report.h"
#include "RunResult.h"
#include "WindowPort.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zalohy {

class BackupArchive;

// The settings file in the working folder and its one section.
#ifdef _WIN32
inline constexpr const char* kSettingsFile = ".\\Skladex.ini";
#else
inline constexpr const char* kSettingsFile = "./Skladex.ini";
#endif
inline constexpr const char* kSettingsSection = "SOUBOR_ZALOHY";

// True when path names one of the files that a run for the scale at address
// works with in the working folder: the settings file, the list file, the
// trimming's scratch file, the library's status file or a data file of any
// kind. An archive of such a name would be overwritten or deleted by the run.
bool isWorkingFile(const std::string& path, const std::string& address);
// Refuses such an archive name in a warning box of window.
void refuseWorkingFileAsArchive(WindowPort& window, const std::string& path);

// The core operations' own messages and lines, shown in a window: a message
// box with an OK button and no icon, or a line in its text box (also kept in
// `shown`, when given: a run's result).
class WindowReport : public Report {
public:
    explicit WindowReport(WindowPort& window, std::vector<std::string>* shown = nullptr)
        : window_(window), shown_(shown) {}
    void message(const std::string& text, const std::string& caption) override;
    void line(const std::string& text) override;

private:
    WindowPort& window_;
    std::vector<std::string>* shown_;
};

// Hands one command line to the scale library and returns its status (0 is
// success). The backup dialog is the program's one runner: its window owns
// the runner's own box, also when the send dialog asks for a transfer.
class ScaleRunner {
public:
    virtual ~ScaleRunner() = default;
    virtual int RunScaleCommand(const std::string& commandLine) = 0;
};

class BackupDialog : public ScaleRunner, public FormHandlers {
public:
    // Gives the check boxes their captions, opens BackupSettings on
    // settingsFile (touching no file) and runs FormCreate.
    explicit BackupDialog(WindowPort& window, std::string settingsFile = kSettingsFile);
    ~BackupDialog() override;
    BackupDialog(const BackupDialog&) = delete;
    BackupDialog& operator=(const BackupDialog&) = delete;

    // Reads the address and four check boxes from the settings file.
    void FormCreate();
    // Each time the dialog is shown: empty text box, no kind ticked.
    void FormActivate() override;
    // Each time the dialog closes: writes the settings. The first write that
    // fails throws IniWriteError; the writes after it are not made.
    void FormClose() override;
    // "Ulož" runs the backup.
    void clicked(Control button) override;
    // The backup run; what it came to (not started: not complete, nothing tried).
    RunResult SaveToArchiveClick();

    int RunScaleCommand(const std::string& commandLine) override;
    // Strips the end marker of a downloaded file, reporting in the text box;
    // clears BackupOk when the file cannot be trimmed.
    int TrimDownloadedFile(const std::string& fileName);

    // True from the start of a backup run until something fails.
    bool BackupOk = false;
    // The settings file; null only if it could not be created.
    std::unique_ptr<TIniFile> BackupSettings;

private:
    // One kind's download, rename, trimming and archiving; false ends the run.
    // oldArchive: the archive the user agreed to replace, deleted just before
    // the first member is stored (then cleared).
    bool backUpKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive,
                    std::string& oldArchive);
    void warn(const std::string& text);
    // A line in the text box, kept in the run's result too.
    void show(const std::string& line);
    static std::string cannotDeleteText(const std::string& path);

    WindowPort& window_;
    RunResult run_;        // the run under way (before report_, which keeps its lines)
    WindowReport report_;  // the runner's, the trimming's and the container's messages go here
};

}  // namespace zalohy
