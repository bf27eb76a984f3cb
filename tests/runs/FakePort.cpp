#include "FakePort.h"

#include "DataKind.h"

#include <gtest/gtest.h>

namespace zalohy::test {

std::vector<std::string> BoxLog::texts() const {
    std::vector<std::string> out;
    for (const ShownBox& box : shown) out.push_back(box.text);
    return out;
}

FakePort::FakePort(BoxLog& boxes, std::set<std::string, std::less<>> controls)
    : boxes_(boxes), controls_(std::move(controls)) {}

void FakePort::known(std::string_view control) const {
    if (!controls_.count(control)) ADD_FAILURE() << "the window has no control \"" << control << "\"";
}

std::string FakePort::editText(std::string_view edit) const {
    known(edit);
    const auto found = edits.find(edit);
    return found == edits.end() ? std::string() : found->second;
}

void FakePort::setEditText(std::string_view edit, const std::string& text) {
    known(edit);
    edits[std::string(edit)] = text;
}

bool FakePort::isChecked(std::string_view box) const {
    known(box);
    return ticked.count(box) > 0;
}

void FakePort::setChecked(std::string_view box, bool tick) {
    known(box);
    if (tick) ticked.emplace(box);
    else if (auto it = ticked.find(box); it != ticked.end()) ticked.erase(it);
}

void FakePort::setEnabled(std::string_view box, bool enabled) {
    known(box);
    if (enabled) {
        if (auto it = disabled.find(box); it != disabled.end()) disabled.erase(it);
    } else {
        disabled.emplace(box);
    }
}

void FakePort::setCaption(std::string_view control, const std::string& text) {
    if (!control.empty()) known(control);
    captions[std::string(control)] = text;
}

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

std::set<std::string, std::less<>> backupDialogControls() {
    std::set<std::string, std::less<>> names{"EditScaleNumber", "GroupBox1", "EndBtn", "SaveToArchive", "Memo1"};
    for (const DataKind& kind : kDataKinds) names.insert(kind.checkBox);
    return names;
}

std::set<std::string, std::less<>> sendDialogControls() {
    std::set<std::string, std::less<>> names{"EdFileName",    "EditScaleNumber", "GroupBox1", "BackBtn",
                                             "SendFormatBtn", "SendByList",      "Memo1",     "StatusBar1"};
    for (const DataKind& kind : kDataKinds) names.insert(kind.checkBox);
    return names;
}

}  // namespace zalohy::test
