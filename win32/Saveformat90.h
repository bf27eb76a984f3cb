// The backup dialog's window: draws the form and hands every handler to the
// dialog's logic (BackupDialog), for which it is the window port.
#pragma once

#include "BackupDialog.h"
#include "Window.h"

#include <memory>
#include <string>

class TSaveFormatDialog : public zalohy::win32::Form {
public:
    // Opens the settings file and runs the creation handler.
    explicit TSaveFormatDialog(HWND owner = nullptr, std::string settingsFile = zalohy::kSettingsFile);
    ~TSaveFormatDialog() override;

    // The dialog's logic; also the program's command runner.
    zalohy::BackupDialog& logic() { return *core_; }

private:
    std::unique_ptr<zalohy::BackupDialog> core_;
};
