#include "FakePort.h"

#include <gtest/gtest.h>

namespace zalohy::test {

std::vector<std::string> BoxLog::texts() const {
    std::vector<std::string> out;
    for (const ShownBox& box : shown) out.push_back(box.text);
    return out;
}

// The log and the status line only where the window has them, as a window.
void FakePort::clearLog() {
    require(Control::Memo1, {ControlKind::Memo, ControlKind::WideMemo});
    log.clear();
}
void FakePort::addLine(const std::string& line) {
    require(Control::Memo1, {ControlKind::Memo, ControlKind::WideMemo});
    log.push_back(line);
}
void FakePort::setStatus(const std::string& text) {
    require(Control::StatusBar1, {ControlKind::StatusBar});
    status = text;
}

void FakePort::repaint() {
    paintedLog = log;
    paintedStatus = status;
    ++repaints;
}

int FakePort::messageBox(const std::string& text, const std::string& caption, unsigned flags) {
    boxes_.shown.push_back({text, caption, flags, this});
    if (boxes_.onShow) boxes_.onShow(boxes_.shown.back());
    if (boxes_.answers.empty() || (flags & 0x0F) != kMbOkCancel) return kIdOk;
    const int answer = boxes_.answers.front();
    boxes_.answers.pop_front();
    return answer;
}

std::optional<std::string> FakePort::chooseFile(const FileDialogRequest& request) {
    fileAsked.push_back(request);
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "a file dialog was shown with no answer prepared";
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void FakePort::setBusy(bool b) {
    if (b && !busy) ++busySpells;
    busy = b;
}

}  // namespace zalohy::test
