#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <algorithm>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace zalohy::test {

MessageBoxRecorder::MessageBoxRecorder() {
    MessageBoxes::setHandler([this](const MessageBoxRequest& request) {
        shown.push_back(request);
        if (onShow) onShow(request);
        if (answers_.empty()) return kIdOk;
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { MessageBoxes::setHandler({}); }

QStringList MessageBoxRecorder::texts() const {
    QStringList out;
    for (const auto& box : shown) out << box.text;
    return out;
}

FileDialogRecorder::FileDialogRecorder() {
    FileDialogs::setHandler([this](const QtFileDialogRequest& request) {
        asked.push_back(request);
        if (answers_.empty()) {
            ADD_FAILURE() << "a file dialog was shown with no answer prepared";
            return QString();
        }
        const QString answer = answers_.front();
        answers_.pop_front();
        return answer;
    });
}

FileDialogRecorder::~FileDialogRecorder() { FileDialogs::setHandler({}); }

QString TempWorkDir::file(const std::string& name) const { return QString::fromStdString((path() / name).string()); }

std::vector<std::string> TempWorkDir::files() const {
    const auto names = folder_.entries();
    return {names.begin(), names.end()};
}

QStringList lines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    if (text.isEmpty()) return {};
    return text.split(QLatin1Char('\n'));
}

}  // namespace zalohy::test
