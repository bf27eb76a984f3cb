// The main window: a launcher with one button for the backup dialog, one for
// the send dialog, one to end the program, and a clock.
#pragma once

#include "Window.h"

#include <string>

class TSaveFormatDialog;
class TSendFormatFrm;

// The two dialogs' single instances, created at start-up after the main
// window and alive until the program ends; the main window opens them.
extern TSaveFormatDialog* SaveFormatDialog;
extern TSendFormatFrm* SendFormatFrm;

namespace zalohy::win32 {
// The time of day in the user's long time format.
std::string longTimeText(const SYSTEMTIME& time);
}  // namespace zalohy::win32

class TMWBackup : public zalohy::win32::Form {
public:
    // owner: the application's window, which carries the taskbar button.
    explicit TMWBackup(HWND owner = nullptr);
    ~TMWBackup() override;

    static constexpr UINT_PTR Timer1 = 1;  // one tick a second

    void MakeBackupBtnClick();
    void SendBackupToScaleBtnClick();
    void BitBtn1Click();
    void Timer1Timer();
    void Panel1Click();

protected:
    void onCommand(zalohy::Control control, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
