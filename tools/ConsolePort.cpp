#include "ConsolePort.h"

#include "Command.h"

namespace zalohy {

ConsolePort::ConsolePort(const FormDesign& form, std::FILE* out, std::FILE* err)
    : MemoryPort(form), out_(out), err_(err) {}

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
    emit(true, caption + ": " + asOneLine(text) + "\n");
    if ((flags & 0x0F) == kMbOkCancel) return answerOk_ ? kIdOk : kIdCancel;
    ++problemBoxes_;
    return kIdOk;
}

std::optional<std::string> ConsolePort::chooseFile(const FileDialogRequest&) { return chosenFile_; }

}  // namespace zalohy
