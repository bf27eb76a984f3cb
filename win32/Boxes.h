// Every message box and common file dialog of the Windows program goes
// through here, so that tests can answer them and see what was asked; and the
// application's standard error box for an error that escapes a handler.
#pragma once

#include "ApplicationTitle.h"
#include "WindowPort.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zalohy::win32 {

struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    unsigned flags = kMbOk;
};

struct FileDialogCall {
    HWND owner = nullptr;
    FileDialogRequest request;
};

class Boxes {
public:
    using MessageBoxHandler = std::function<int(const MessageBoxCall&)>;
    using FileDialogHandler = std::function<std::optional<std::string>(const FileDialogCall&)>;

    // MessageBoxW with exactly these flags, owned by owner; kIdOk or kIdCancel.
    // A box with only an OK button gives kIdOk however it is closed.
    static int messageBox(HWND owner, const std::string& text, const std::string& caption, unsigned flags);
    // GetSaveFileNameW or GetOpenFileNameW: the request's folder and filters,
    // no overwrite question, no default extension, the working folder left
    // as it is. The chosen path, or nothing when the user cancels.
    static std::optional<std::string> chooseFile(HWND owner, const FileDialogRequest& request);

    // Replace the real boxes (tests); an empty handler restores them.
    static void setMessageBoxHandler(MessageBoxHandler handler);
    static void setFileDialogHandler(FileDialogHandler handler);
};

// The common dialogs' filter list: label NUL pattern NUL ..., ended by NUL.
std::wstring fileDialogFilter(const std::vector<FileFilter>& filters);

// The standard error box: the error's text, the application title as
// caption, owned by the active window. The program goes on afterwards.
void showApplicationError(const std::string& message);

// Runs one event handler; an error it raises is shown and swallowed.
template <class Handler>
void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showApplicationError(e.what());
    } catch (...) {
        showApplicationError(std::string());
    }
}

}  // namespace zalohy::win32
