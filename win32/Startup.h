// The Windows program's start-up, apart from its entry point, so that tests
// can reach its pieces.
#pragma once

#include <windows.h>

namespace zalohy {
struct LibraryBinding;
}

namespace zalohy::win32 {

// Tells the user, in a box, which library could not be bound and why.
// Returns whether the binding succeeded.
bool reportLibraryBinding(const LibraryBinding& binding);

// The application's own window: it carries the application title and the
// taskbar button; the main window is owned by it, so it has none of its own.
// It is never larger than nothing and passes activation on to the window
// the user last worked in.
class ApplicationWindow {
public:
    ApplicationWindow();
    ~ApplicationWindow();
    ApplicationWindow(const ApplicationWindow&) = delete;
    ApplicationWindow& operator=(const ApplicationWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The window that receives activation and the taskbar's close command.
    void setMainWindow(HWND mainWindow);
    // Shows the taskbar button.
    void show();

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    HWND main_ = nullptr;
};

// The whole program: binds the scale library, creates the main window and
// the two dialogs, and runs the message loop until the main window closes.
// Returns 0, or 1 when the scale library cannot be bound.
int runProgram();

}  // namespace zalohy::win32
