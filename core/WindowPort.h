// The one interface between the program's behaviour and a window toolkit.
// The dialogs' logic and the runs (backup/, send/) are plain C++ that talk to
// their window only through this port; each front end (Qt on Linux, Win32 on
// Windows, a console for unattended runs) implements it on its own controls
// and forwards its event handlers to the logic. Controls are named by the
// constants of the forms' descriptions (Forms.h); a port refuses a control
// its form does not have (std::logic_error). Texts are UTF-8.
#pragma once

#include "Forms.h"

#include <optional>
#include <string>
#include <vector>

namespace zalohy {

// Message box flags and results, with the values of the Windows message box.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

struct FileFilter {
    std::string label;    // shown to the user, e.g. "Soubory zaloh (*.zal)"
    std::string pattern;  // e.g. "*.zal"; "*.*" shows every file
    bool operator==(const FileFilter&) const = default;
};

struct FileDialogRequest {
    enum Mode { Save, Open };
    Mode mode = Open;
    std::string directory;            // initial folder, absolute
    std::vector<FileFilter> filters;  // in the order shown
    int filterIndex = 0;              // the entry selected at first
};

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // One-line edit boxes.
    virtual std::string editText(Control edit) const = 0;
    virtual void setEditText(Control edit, const std::string& text) = 0;
    // Check boxes.
    virtual bool isChecked(Control box) const = 0;
    virtual void setChecked(Control box, bool ticked) = 0;
    virtual void setEnabled(Control box, bool enabled) = 0;
    // The caption of the window (Control::Window) or of a control.
    virtual void setCaption(Control control, const std::string& text) = 0;
    // The progress text box Memo1.
    virtual void clearLog() = 0;
    virtual void addLine(const std::string& line) = 0;
    // The status line, where the window has one.
    virtual void setStatus(const std::string& text) = 0;
    // Draws the window now, so that what was written is on screen while a
    // transfer blocks the user-interface thread.
    virtual void repaint() = 0;
    // A modal message box owned by this window; returns kIdOk or kIdCancel.
    // A box with only an OK button returns kIdOk however it is closed.
    virtual int messageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // The common save or open dialog, owned by this window, asking nothing
    // about overwriting and adding no extension. The chosen path (native
    // separators), or nothing when the user cancels.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
    // While busy the window shows the wait cursor and takes no input; input
    // that arrived meanwhile is dropped when it ends.
    virtual void setBusy(bool busy) = 0;
};

// The behaviour behind a form, which every front end calls: each time the
// form is shown, each time it closes, and when one of its buttons is pressed
// (but for a button that Closes the form).
class FormHandlers {
public:
    virtual ~FormHandlers() = default;
    virtual void FormActivate() {}
    virtual void FormClose() {}
    virtual void clicked(Control button) = 0;
};

// Keeps a window busy for as long as it lives.
class BusyScope {
public:
    explicit BusyScope(WindowPort& port) : port_(port) { port_.setBusy(true); }
    ~BusyScope() { port_.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    WindowPort& port_;
};

// The two filters of the archive file dialogs; the first is selected.
std::vector<FileFilter> archiveFileFilters();

}  // namespace zalohy
