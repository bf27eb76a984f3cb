// The backup dialog's window: draws the form and forwards every handler to
// the dialog's logic (BackupDialog), for which it is the window port.
#pragma once

#include "BackupDialog.h"
#include "FormDialog.h"

#include <memory>

class TSaveFormatDialog : public zalohy::FormDialog {
    Q_OBJECT

public:
    explicit TSaveFormatDialog(QWidget* parent = nullptr);
    ~TSaveFormatDialog() override;

    // The dialog's logic; also the program's command runner.
    zalohy::BackupDialog& logic() { return *core_; }

public Q_SLOTS:
    void SaveToArchiveClick();
    void EndBtnClick();

protected:
    void FormActivate() override;
    void done(int result) override;

private:
    std::unique_ptr<zalohy::BackupDialog> core_;
};
