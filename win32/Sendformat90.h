// The send dialog's window: draws the form and forwards every handler to the
// dialog's logic (SendDialog), for which it is the window port.
#pragma once

#include "SendDialog.h"
#include "Window.h"

#include <memory>
#include <string>

namespace zalohy {
class ScaleRunner;
}

class TSendFormatFrm : public zalohy::win32::Form {
public:
    // runner: the backup dialog's, which owns the runner's own box.
    TSendFormatFrm(HWND owner, zalohy::ScaleRunner& runner);
    ~TSendFormatFrm() override;

    void FileSelectBtnClick();
    void SendFormatBtnClick();
    void SendByListClick();
    void BackBtnClick();

protected:
    void FormActivate() override;
    void onCommand(zalohy::Control control, int code) override;

private:
    std::unique_ptr<zalohy::SendDialog> core_;
};
