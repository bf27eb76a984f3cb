// The window port of the console front end: the dialogs' logic drives it like
// a window, and it turns what a window would show into text, for unattended
// runs (zaltool backup, send, backup-list).
//
// - Edit boxes and check boxes are held in memory; the caller fills them from
//   the command line before it presses a button. A control the form does not
//   have is refused (std::logic_error), as a window would.
// - Each line of the text box goes to stdout as it is added (UTF-8). Clearing
//   the text box prints nothing: what was printed stays printed.
// - The status line goes to stdout as a line of its own whenever a run (the
//   window being busy) changes it to another non-empty text; the idle text
//   the dialog shows when it opens is not printed.
// - A message box goes to stderr as "caption: text" on one line, after
//   stdout is flushed so that the two keep their order in one log. It is
//   answered by policy: a question (OK and Cancel) with the answer set by
//   answerQuestions (zaltool's --overwrite); the empty box the list run shows
//   before each PLU step with OK and silently; every other box with OK, and it
//   counts as a problem, for it tells of a failure.
// - The file dialogs return the file given on the command line.
// - A repaint flushes stdout.
#pragma once

#include "MemoryPort.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zalohy {

class ConsolePort : public MemoryPort {
public:
    explicit ConsolePort(const FormDesign& form, std::FILE* out = stdout, std::FILE* err = stderr);

    // What the file dialogs return; nothing: they are cancelled.
    void setChosenFile(std::optional<std::string> path) { chosenFile_ = std::move(path); }
    // The answer to a question box: OK (true) or Cancel.
    void answerQuestions(bool ok) { answerOk_ = ok; }
    // Where the text goes instead of the two streams (a list job's record):
    // each call one line or box, its line break included; `error` for stderr.
    using Sink = std::function<void(bool error, const std::string& text)>;
    void setSink(Sink sink) { sink_ = std::move(sink); }

    // What the run reported: the text box's lines since it was last cleared,
    // the status line, and how many boxes told of a failure.
    const std::vector<std::string>& log() const { return log_; }
    const std::string& status() const { return status_; }
    int problemBoxes() const { return problemBoxes_; }

    void clearLog() override { log_.clear(); }
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override { busy_ = busy; }

private:
    void emit(bool error, const std::string& text);

    Sink sink_;
    std::FILE* out_;
    std::FILE* err_;
    std::vector<std::string> log_;
    std::string status_;
    std::string printedStatus_;
    std::optional<std::string> chosenFile_;
    bool answerOk_ = false;
    bool busy_ = false;
    int problemBoxes_ = 0;
};

}  // namespace zalohy
