// A window port that records what the dialogs' logic does to its window, for
// driving the runs without any window toolkit.
#pragma once

#include "MemoryPort.h"

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
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

class FakePort : public MemoryPort {
public:
    // form: the window's form; a control it does not have, or one of another
    // kind, is refused, and so are the log and the status line where it has none.
    FakePort(BoxLog& boxes, const FormDesign& form) : MemoryPort(form), boxes_(boxes) {}

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

    void clearLog() override;
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

private:
    BoxLog& boxes_;
};

}  // namespace zalohy::test
