#include "FakePort.h"

#include <gtest/gtest.h>

namespace zalohy::test {

std::vector<std::string> BoxLog::texts() const {
    std::vector<std::string> out;
    for (const ShownBox& box : shown) out.push_back(box.text);
    return out;
}

FakePort::FakePort(BoxLog& boxes, const FormDesign& form) : boxes_(boxes), form_(form) {}

Control FakePort::known(Control control) const {
    if (control != Control::Window && !form_.find(control))
        ADD_FAILURE() << "the window has no control \"" << controlName(control) << "\"";
    return control;
}

std::string FakePort::editText(Control edit) const {
    const auto found = edits.find(known(edit));
    return found == edits.end() ? std::string() : found->second;
}

void FakePort::setEditText(Control edit, const std::string& text) { edits[known(edit)] = text; }

bool FakePort::isChecked(Control box) const { return ticked.count(known(box)) > 0; }

void FakePort::setChecked(Control box, bool tick) {
    if (tick) ticked.insert(known(box));
    else ticked.erase(known(box));
}

void FakePort::setEnabled(Control box, bool enabled) {
    if (enabled) disabled.erase(known(box));
    else disabled.insert(known(box));
}

void FakePort::setCaption(Control control, const std::string& text) { captions[known(control)] = text; }

void FakePort::clearLog() { log.clear(); }
void FakePort::addLine(const std::string& line) { log.push_back(line); }
void FakePort::setStatus(const std::string& text) { status = text; }

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
