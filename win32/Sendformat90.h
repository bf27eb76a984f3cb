// The send dialog's window: draws the form and hands every handler to the
// dialog's logic (SendDialog), for which it is the window port.
#pragma once

#include "SendDialog.h"
#include "Window.h"

#include <memory>

class TSendFormatFrm : public zalohy::win32::Form {
public:
    // runner: the backup dialog's, which owns the runner's own box.
    TSendFormatFrm(HWND owner, zalohy::ScaleRunner& runner);
    ~TSendFormatFrm() override;

private:
    std::unique_ptr<zalohy::SendDialog> core_;
};
