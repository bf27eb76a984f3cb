// What the program's three Win32 windows share. A form is a top-level window
// whose controls are made from its description (Forms.h) at exact pixel
// positions (at 96 DPI, scaled by the window's DPI), drawn in 8-point
// "MS Sans Serif". It is the window port of its dialog's logic: texts are
// UTF-8 and become UTF-16 only at the Windows calls. It can be shown modally over its owner, keeps
// anchored controls at fixed distances from its edges, and while busy shows
// the wait cursor and drops the input meant for it.
#pragma once

#include "WindowPort.h"

#include <windows.h>

#include <string>
#include <vector>

namespace zalohy::win32 {

class Form : public WindowPort {
public:
    // Creates the window, hidden, owned by owner, with all its controls.
    Form(const FormDesign& design, HWND owner);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    HWND hwnd() const { return hwnd_; }
    // The control of this name; throws std::logic_error when the form has none.
    HWND control(Control name) const;
    // Which control of this form a window is, or Control::Window.
    Control controlOf(HWND control) const;
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
    std::string editText(Control edit) const override;
    void setEditText(Control edit, const std::string& text) override;
    bool isChecked(Control box) const override;
    void setChecked(Control box, bool ticked) override;
    void setEnabled(Control box, bool enabled) override;
    void setCaption(Control control, const std::string& text) override;
    void clearLog() override;
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

    // The text a control or the window shows (tests, the panel's drawing).
    std::string controlText(Control name) const;

protected:
    // The logic behind the form, called from now on: each time the window is
    // shown modally, before it appears; each time it closes, before it
    // disappears; and for each button but one that Closes the form.
    void setHandlers(FormHandlers& handlers) { handlers_ = &handlers; }
    // A button was pressed or another control reported (WM_COMMAND).
    virtual void onCommand(Control control, int code);
    // Messages a form handles itself; return true when handled.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    friend void initialiseWindows();

    struct Item {
        ControlDesign design;
        HWND hwnd = nullptr;
        HWND parent = nullptr;
        HICON icon = nullptr;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    const Item& find(Control name) const;
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
    FormHandlers* handlers_ = nullptr;
    HWND hwnd_ = nullptr;
    std::vector<Item> controls_;
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
