#include "Startup.h"

#include "ApplicationTitle.h"
#include "Boxes.h"
#include "Mwbackupscale.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"
#include "Sendformat90.h"
#include "Text.h"
#include "Window.h"
#include "resource.h"

#include <memory>

namespace zalohy::win32 {

bool reportLibraryBinding(const LibraryBinding& binding) {
    if (binding.ok) return true;
    Boxes::messageBox(nullptr,
                      "Nepodařilo se načíst knihovnu pro komunikaci s váhou\n" + binding.libraryPath + "\n" +
                          binding.reason + "\nProgram bude ukončen.",
                      kApplicationTitle, kMbOk | kMbIconError);
    return false;
}

namespace {
constexpr const wchar_t* kApplicationClass = L"ZalohyApplication";
}

ApplicationWindow::ApplicationWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &ApplicationWindow::windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZALOHY), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kApplicationClass;
    RegisterClassExW(&wc);
    // A caption and a system menu, so that the taskbar shows the title and
    // offers minimise, restore and close; no size at all, so it is never seen.
    hwnd_ = CreateWindowExW(0, kApplicationClass, wide(kApplicationTitle).c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr,
                            nullptr, instance, this);
}

ApplicationWindow::~ApplicationWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void ApplicationWindow::setMainWindow(HWND mainWindow) { main_ = mainWindow; }

void ApplicationWindow::show() {
    if (hwnd_) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

LRESULT CALLBACK ApplicationWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<ApplicationWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    HWND main = self && self->main_ && IsWindow(self->main_) ? self->main_ : nullptr;
    switch (message) {
    case WM_ACTIVATE:
        // Activation goes on to the main window, or to the dialog or box
        // open over it.
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam) && main) {
            HWND target = GetLastActivePopup(main);
            if (!target || !IsWindowVisible(target) || !IsWindowEnabled(target)) target = main;
            if (IsWindowVisible(target) && IsWindowEnabled(target)) SetActiveWindow(target);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        // "Close window" on the taskbar closes the main window, unless a
        // dialog is open over it.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            if (main && IsWindowEnabled(main)) PostMessageW(main, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {0, 0};
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int runProgram() {
    // The application: window classes, common controls, and its title on
    // the taskbar.
    initialiseWindows();
    ApplicationWindow application;

    if (!reportLibraryBinding(ScaleLibrary::bindBesideExecutable())) return 1;

    try {
        TMWBackup mainWindow(application.hwnd());
        application.setMainWindow(mainWindow.hwnd());
        auto saveDialog = std::make_unique<TSaveFormatDialog>(mainWindow.hwnd());
        SaveFormatDialog = saveDialog.get();
        // The send dialog's transfers go through the backup dialog's runner.
        auto sendDialog = std::make_unique<TSendFormatFrm>(mainWindow.hwnd(), saveDialog->logic());
        SendFormatFrm = sendDialog.get();

        mainWindow.show();
        application.show();
        runMessageLoop();

        SendFormatFrm = nullptr;
        SaveFormatDialog = nullptr;
    } catch (const std::exception& e) {
        SendFormatFrm = nullptr;
        SaveFormatDialog = nullptr;
        showApplicationError(e.what());
    } catch (...) {
        SendFormatFrm = nullptr;
        SaveFormatDialog = nullptr;
        showApplicationError(std::string());
    }
    return 0;
}

}  // namespace zalohy::win32
