// What the program's three Win32 windows share. A form is a top-level window
// whose controls are made from a table at exact pixel positions (those of the
// forms, at 96 DPI, scaled by the window's DPI), drawn in 8-point
// "MS Sans Serif". It is the window port of its dialog's logic: controls are
// found by their names in the table, texts are UTF-8 and become UTF-16 only
// at the Windows calls. It can be shown modally over its owner, keeps
// anchored controls at fixed distances from its edges, and while busy shows
// the wait cursor and drops the input meant for it.
#pragma once

#include "WindowPort.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace zalohy::win32 {

// Edges a control keeps its distance to when the form is resized.
enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };
// A control the Tab key stops at (the table's order is the tab order).
inline constexpr int TabStop = 16;

enum class ControlKind {
    Button,     // push button, with a picture when the design names one
    CheckBox,
    GroupBox,
    Edit,       // one-line edit box
    Memo,       // read-only multi-line text box, vertical scroll bar
    WideMemo,   // the same, lines not wrapped, both scroll bars
    Label,      // static text, at least as wide as its text
    Panel,      // raised panel with a centred caption; reports clicks
    StatusBar,  // one text for the whole bar
};

struct ControlDesign {
    const char* name;
    ControlKind kind;
    int x, y, width, height;  // pixels at 96 DPI, in the parent's client area
    const char* caption;      // UTF-8
    int flags = Left | Top;   // Edge values and TabStop
    int picture = 0;          // icon resource of a picture button
    int points = 8;           // font size
    const char* parent = nullptr;  // the group box holding the control
};

struct FormDesign {
    const char* caption;             // UTF-8
    int clientWidth, clientHeight;   // at 96 DPI
    bool resizable;                  // else a fixed border with minimise only
    std::vector<ControlDesign> controls;  // in tab order
};

class Form : public WindowPort {
public:
    // Creates the window, hidden, owned by owner, with all its controls.
    Form(FormDesign design, HWND owner);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The control of this name; throws std::logic_error for an unknown name.
    HWND control(std::string_view name) const;
    // The table name of a control of this form, or "".
    const char* controlName(HWND control) const;
    int dpi() const { return dpi_; }
    // A length of the forms (pixels at 96 DPI) on this window's screen.
    int scaled(int designPixels) const;

    // Shows the window at the centre of its screen (not modally).
    void show();
    // Shows the window modally over its owner: the owner takes no input until
    // this window closes. FormActivate runs first; returns once closed.
    void showModal();
    bool isShownModally() const { return modal_; }
    // Closes the window as its title bar's close button does.
    void close();
    bool isBusy() const { return busy_; }

    // WindowPort on the table's controls.
    std::string editText(std::string_view edit) const override;
    void setEditText(std::string_view edit, const std::string& text) override;
    bool isChecked(std::string_view box) const override;
    void setChecked(std::string_view box, bool ticked) override;
    void setEnabled(std::string_view box, bool enabled) override;
    void setCaption(std::string_view control, const std::string& text) override;
    void clearLog() override;
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

    // The text a control shows (tests, the panel's drawing).
    std::string controlText(std::string_view name) const;

protected:
    // A button was pressed or another control reported (WM_COMMAND).
    virtual void onCommand(const std::string& /*control*/, int /*code*/) {}
    // Each time the window is shown modally, before it appears.
    virtual void FormActivate() {}
    // Each time the modally shown window closes, before it disappears.
    virtual void FormClose() {}
    // Messages a form handles itself; return true when handled.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    friend void initialiseWindows();

    struct Control {
        ControlDesign design;
        HWND hwnd = nullptr;
        HWND parent = nullptr;
        HICON icon = nullptr;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    const Control& find(std::string_view name) const;
    void createControls();
    void applyDpi(int dpi);
    void layout();
    SIZE outerSize(int clientWidth, int clientHeight) const;
    void centreOnScreen();
    void focusFirstControl();
    void drawPanel(const DRAWITEMSTRUCT& item);
    void dropQueuedInput();
    static LRESULT CALLBACK dropInputHook(int code, WPARAM wParam, LPARAM lParam);

    FormDesign design_;
    HWND hwnd_ = nullptr;
    std::vector<Control> controls_;
    std::vector<HFONT> fonts_;  // one per font size, in the order first used
    std::vector<int> fontPoints_;
    int dpi_ = 96;
    int logLines_ = 0;
    bool modal_ = false;
    bool closing_ = false;
    bool busy_ = false;
    bool created_ = false;  // all controls exist
    HWND focused_ = nullptr;  // the control that had the focus when the window was left
};

// Registers the window classes and loads the common controls; once, before
// the first form.
void initialiseWindows();

// Runs messages until WM_QUIT; Tab and the arrow keys move between controls.
int runMessageLoop();

}  // namespace zalohy::win32
