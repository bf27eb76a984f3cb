#include "ConsolePort.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace zalohy {

ConsolePort::ConsolePort(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

std::string ConsolePort::editText(std::string_view edit) const {
    const auto found = edits_.find(edit);
    return found == edits_.end() ? std::string() : found->second;
}

void ConsolePort::setEditText(std::string_view edit, const std::string& text) { edits_[std::string(edit)] = text; }

bool ConsolePort::isChecked(std::string_view box) const { return ticked_.find(box) != ticked_.end(); }

void ConsolePort::setChecked(std::string_view box, bool ticked) {
    if (ticked) ticked_.emplace(box);
    else if (const auto found = ticked_.find(box); found != ticked_.end()) ticked_.erase(found);
}

void ConsolePort::setEnabled(std::string_view box, bool enabled) {
    if (!enabled) disabled_.emplace(box);
    else if (const auto found = disabled_.find(box); found != disabled_.end()) disabled_.erase(found);
}

void ConsolePort::emit(bool error, const std::string& text) {
    if (sink_) return sink_(error, text);
    if (error) std::fflush(out_);
    std::fputs(text.c_str(), error ? err_ : out_);
    if (error) std::fflush(err_);
}

void ConsolePort::addLine(const std::string& line) {
    log_.push_back(line);
    emit(false, line + "\n");
}

void ConsolePort::setStatus(const std::string& text) {
    status_ = text;
    if (!busy_ || text.empty() || text == printedStatus_) return;
    printedStatus_ = text;
    emit(false, text + "\n");
}

void ConsolePort::repaint() { std::fflush(out_); }

int ConsolePort::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    // The list run's pause before each PLU step says nothing and asks nothing.
    if (text.empty() && caption.empty()) return kIdOk;
    emit(true, caption + ": " + text + "\n");
    if ((flags & 0x0F) == kMbOkCancel) return answerOk_ ? kIdOk : kIdCancel;
    ++problemBoxes_;
    return kIdOk;
}

std::optional<std::string> ConsolePort::chooseFile(const FileDialogRequest&) { return chosenFile_; }

void prepareConsoleOutput() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace zalohy
