#include "Mwbackupscale.h"

#include "Saveformat90.h"
#include "Sendformat90.h"
#include "Text.h"

using namespace zalohy;
using namespace zalohy::win32;

TSaveFormatDialog* SaveFormatDialog = nullptr;
TSendFormatFrm* SendFormatFrm = nullptr;

std::string zalohy::win32::longTimeText(const SYSTEMTIME& time) {
    // No flags: the user's long time format, hours, minutes and seconds.
    wchar_t text[128];
    const int n = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128);
    return n > 1 ? utf8(std::wstring_view(text, static_cast<std::size_t>(n - 1))) : std::string();
}

TMWBackup::TMWBackup(HWND owner) : Form(kMainWindowForm, owner) { SetTimer(hwnd(), Timer1, 1000, nullptr); }

TMWBackup::~TMWBackup() {
    if (hwnd()) KillTimer(hwnd(), Timer1);
}

void TMWBackup::onCommand(Control control, int code) {
    if (control == Control::Panel1) {
        if (code == STN_CLICKED) Panel1Click();
        return;
    }
    if (code != BN_CLICKED) return;
    if (control == Control::MakeBackupBtn) MakeBackupBtnClick();
    else if (control == Control::SendBackupToScaleBtn) SendBackupToScaleBtnClick();
    else if (control == Control::BitBtn1) BitBtn1Click();
}

bool TMWBackup::onMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_TIMER:
        if (wParam != Timer1) return false;
        Timer1Timer();
        result = 0;
        return true;
    case WM_CLOSE:
        // Closing the main window ends the program.
        DestroyWindow(hwnd());
        result = 0;
        return true;
    case WM_DESTROY:
        KillTimer(hwnd(), Timer1);
        PostQuitMessage(0);
        result = 0;
        return true;
    case WM_SYSCOMMAND:
        // Minimising minimises the application's window, which carries the
        // taskbar button; this window hides and comes back with it.
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            if (HWND owner = GetWindow(hwnd(), GW_OWNER)) {
                ShowWindow(owner, SW_MINIMIZE);
                result = 0;
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

void TMWBackup::MakeBackupBtnClick() {
    if (SaveFormatDialog) SaveFormatDialog->showModal();
}

void TMWBackup::SendBackupToScaleBtnClick() {
    if (SendFormatFrm) SendFormatFrm->showModal();
}

void TMWBackup::BitBtn1Click() { SendMessageW(hwnd(), WM_CLOSE, 0, 0); }

void TMWBackup::Timer1Timer() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    setCaption(Control::Panel1, longTimeText(now));
}

void TMWBackup::Panel1Click() { messageBox("Tady si nic nevyklikáš!", "895té Vážné varování", kMbOk | kMbIconWarning); }
