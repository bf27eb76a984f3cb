// A window port that records what the dialogs' logic does to its window, for
// driving the runs without any window toolkit.
#pragma once

#include "WindowPort.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace zalohy {
// Failures name the control.
inline void PrintTo(Control control, std::ostream* os) { *os << controlName(control); }
}  // namespace zalohy

namespace zalohy::test {

class FakePort;

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned flags = 0;
    const FakePort* owner = nullptr;
};

// Every box shown by any port that shares it, in order; answered with the
// queued answers first, then with kIdOk.
struct BoxLog {
    std::vector<ShownBox> shown;
    std::deque<int> answers;
    // Runs as the box is shown, before it is answered.
    std::function<void(const ShownBox&)> onShow;
    std::vector<std::string> texts() const;
};

class FakePort : public WindowPort {
public:
    // form: the window's form; a control it does not have is a test failure.
    FakePort(BoxLog& boxes, const FormDesign& form);

    std::map<Control, std::string> edits;
    std::map<Control, std::string> captions;
    std::set<Control> ticked;
    std::set<Control> disabled;
    std::vector<std::string> log;
    std::string status;

    // What was on screen at the last repaint, and how often it was drawn.
    std::vector<std::string> paintedLog;
    std::string paintedStatus;
    int repaints = 0;
    // Whether the window is busy now, and how often it was made busy.
    bool busy = false;
    int busySpells = 0;

    // File dialogs: the queued answers (nothing means cancel), and what was asked.
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogRequest> fileAsked;

    bool isEnabled(Control box) const { return !disabled.count(box); }

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

private:
    Control known(Control control) const;

    BoxLog& boxes_;
    FormDesign form_;
};

}  // namespace zalohy::test
