#include "GuiTestSupport.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

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
    FileDialogs::setHandler([this](const FileDialogRequest& request) {
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

TempWorkDir::TempWorkDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("zalohy-gui-" + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) break;
    }
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    // Files a test made read-only must not stop the clean-up.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

QString TempWorkDir::file(const std::string& name) const { return QString::fromStdString((path_ / name).string()); }

std::vector<std::string> TempWorkDir::files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

QStringList lines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    if (text.isEmpty()) return {};
    return text.split(QLatin1Char('\n'));
}

}  // namespace zalohy::test
