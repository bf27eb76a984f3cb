// The send dialog's window: draws the form and hands every handler to the
// dialog's logic (SendDialog), for which it is the window port.
#pragma once

#include "FormDialog.h"
#include "SendDialog.h"

#include <memory>

class TSendFormatFrm : public zalohy::FormDialog {
public:
    // runner: the backup dialog's, which owns the runner's own box.
    explicit TSendFormatFrm(zalohy::ScaleRunner& runner, QWidget* parent = nullptr);
    ~TSendFormatFrm() override;

private:
    std::unique_ptr<zalohy::SendDialog> core_;
};
