// The backup dialog's behaviour: the user types a scale's address, ticks the
// kinds of data to save and presses "Ulož"; every ticked kind is downloaded
// from the scale, its end marker trimmed, and stored in one archive file. The
// dialog also keeps its address and four check boxes in the settings file.
//
// Plain C++: the window is reached only through its WindowPort, so every
// front end (and the tests) drives the same steps.
#pragma once

#include "BackupRun.h"
#include "IniFile.h"
#include "RunResult.h"
#include "WindowPort.h"

#include <memory>
#include <string>

namespace zalohy {

inline constexpr const char* kSettingsSection = "SOUBOR_ZALOHY";

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
    // Asks for the archive (and whether to replace one that is there), then
    // runs the backup; what it came to (not started: not complete, nothing tried).
    RunResult SaveToArchiveClick();

    int RunScaleCommand(const std::string& commandLine) override;

    // True from the start of a backup run until something fails.
    bool BackupOk = false;
    // The settings file; null only if it could not be created.
    std::unique_ptr<TIniFile> BackupSettings;

private:
    WindowPort& window_;
    WindowReport report_;  // the run's lines, boxes and the runner's messages go here
};

}  // namespace zalohy
