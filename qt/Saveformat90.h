// The backup dialog's window: draws the form and hands every handler to the
// dialog's logic (BackupDialog), for which it is the window port.
#pragma once

#include "BackupDialog.h"
#include "FormDialog.h"

#include <memory>

class TSaveFormatDialog : public zalohy::FormDialog {
public:
    explicit TSaveFormatDialog(QWidget* parent = nullptr);
    ~TSaveFormatDialog() override;

    // The dialog's logic; also the program's command runner.
    zalohy::BackupDialog& logic() { return *core_; }

private:
    std::unique_ptr<zalohy::BackupDialog> core_;
};
