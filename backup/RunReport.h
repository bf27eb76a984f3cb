// What a backup or send run tells as it goes, to whoever started it: the
// dialogs show it in their window (WindowReport), zaltool writes it to the
// console. Report's `message` is a box of the library's or the container's own
// (OK, no icon), its `line` a line of the text box.
#pragma once

#include "Report.h"
#include "WindowPort.h"

#include <memory>
#include <string>

namespace zalohy {

inline constexpr const char* kWarningCaption = "Ne zrovna dobrá zpráva";

class RunReport : public Report {
public:
    // A failure or a reminder in a warning box.
    virtual void warning(const std::string& text, const std::string& caption) = 0;
    // The send runs' status line.
    virtual void status(const std::string&) {}
    // The text box cleared (what it showed stays in the run's result).
    virtual void clearLines() {}
    // What was shown must be on screen before the run blocks again.
    virtual void repaint() {}
    // The list run's empty box before each PLU step: says and asks nothing.
    virtual void pause() {}
    // The run is under way (true) or over.
    virtual void busy(bool) {}
    // Busy until the value returned goes out of scope.
    [[nodiscard]] auto busyWhileHeld() {
        busy(true);
        return std::unique_ptr<RunReport, void (*)(RunReport*)>(this, [](RunReport* report) { report->busy(false); });
    }
};

// The run's report shown in a window.
class WindowReport : public RunReport {
public:
    explicit WindowReport(WindowPort& window) : window_(window) {}
    void message(const std::string& text, const std::string& caption) override {
        window_.messageBox(text, caption, kMbOk);
    }
    void line(const std::string& text) override { window_.addLine(text); }
    void warning(const std::string& text, const std::string& caption) override {
        window_.messageBox(text, caption, kMbOk | kMbIconWarning);
    }
    void status(const std::string& text) override { window_.setStatus(text); }
    void clearLines() override { window_.clearLog(); }
    void repaint() override { window_.repaint(); }
    void pause() override { window_.messageBox("", "", kMbOk); }
    void busy(bool busy) override { window_.setBusy(busy); }

private:
    WindowPort& window_;
};

}  // namespace zalohy
