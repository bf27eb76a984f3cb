#include "Boxes.h"

#include "Text.h"

#include <commdlg.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace zalohy::win32 {

namespace {

Boxes::MessageBoxHandler& messageBoxHandler() {
    static Boxes::MessageBoxHandler handler;
    return handler;
}

Boxes::FileDialogHandler& fileDialogHandler() {
    static Boxes::FileDialogHandler handler;
    return handler;
}

// Only the OK button: whatever closed the box counts as OK.
bool onlyOk(unsigned flags) { return (flags & MB_TYPEMASK) == MB_OK; }

}  // namespace

int Boxes::messageBox(HWND owner, const std::string& text, const std::string& caption, unsigned flags) {
    int result;
    if (messageBoxHandler()) {
        result = messageBoxHandler()({owner, text, caption, flags});
    } else {
        result = MessageBoxW(owner, wideWithCrLf(text).c_str(), wide(caption).c_str(), flags);
    }
    if (onlyOk(flags)) return kIdOk;
    return result == IDOK ? kIdOk : kIdCancel;
}

std::wstring fileDialogFilter(const std::vector<FileFilter>& filters) {
    std::wstring list;
    for (const FileFilter& filter : filters) {
        list += wide(filter.label);
        list += L'\0';
        list += wide(filter.pattern);
        list += L'\0';
    }
    list += L'\0';
    return list;
}

std::optional<std::string> Boxes::chooseFile(HWND owner, const FileDialogRequest& request) {
    if (fileDialogHandler()) return fileDialogHandler()({owner, request});

    const std::wstring filter = fileDialogFilter(request.filters);
    const std::wstring folder = wide(request.directory);
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex + 1);  // counted from 1
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // No overwrite prompt and no default extension: the run asks its own
    // question and uses a name as typed. The working folder holds the scale
    // files and the settings, so the dialog must not move it.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    // The common dialogs' DLL brings the shell with it: loaded on first use,
    // not at start-up.
    using FileDialogFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    static HMODULE dialogs = LoadLibraryW(L"comdlg32.dll");
    const char* name = request.mode == FileDialogRequest::Save ? "GetSaveFileNameW" : "GetOpenFileNameW";
    const auto show =
        dialogs ? reinterpret_cast<FileDialogFn>(reinterpret_cast<void*>(GetProcAddress(dialogs, name))) : nullptr;
    if (!show) throw std::runtime_error("comdlg32.dll: no " + std::string(name));
    if (request.mode == FileDialogRequest::Open) ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!show(&ofn)) return std::nullopt;
    return utf8(path.data());
}

void Boxes::setMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler() = std::move(handler); }

void Boxes::setFileDialogHandler(FileDialogHandler handler) { fileDialogHandler() = std::move(handler); }

void showApplicationError(const std::string& message) {
    Boxes::messageBox(GetActiveWindow(), message, kApplicationTitle, kMbOk | kMbIconError);
}

}  // namespace zalohy::win32
