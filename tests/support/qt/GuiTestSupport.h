// Helpers for driving the program's windows in tests: answering message boxes
// and file dialogs, a private working folder, reading a text box.
#pragma once

#include "FileDialogs.h"
#include "Forms.h"
#include "MessageBoxes.h"
#include "ScratchFolder.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

class QPlainTextEdit;
class QWidget;

QT_BEGIN_NAMESPACE
// Failures print text, not bytes.
void PrintTo(const QString& text, std::ostream* os);
QT_END_NAMESPACE

namespace zalohy::test {

// Records every message box and answers it: with the queued answers first,
// then with kIdOk.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void answerNext(int answer) { answers_.push_back(answer); }
    // Runs before the box is answered (to look at the windows at that moment).
    std::function<void(const MessageBoxRequest&)> onShow;

    std::vector<MessageBoxRequest> shown;
    QStringList texts() const;

private:
    std::deque<int> answers_;
};

// Records every file dialog and answers it with the queued paths; a dialog
// with nothing queued is a test failure and is cancelled.
class FileDialogRecorder {
public:
    FileDialogRecorder();
    ~FileDialogRecorder();
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    void answerNext(const QString& path) { answers_.push_back(path); }
    void cancelNext() { answers_.push_back(QString()); }

    std::vector<QtFileDialogRequest> asked;

private:
    std::deque<QString> answers_;
};

// A fresh temporary folder that is the working folder while the object lives.
class TempWorkDir {
public:
    TempWorkDir() : folder_("zalohy-gui-", true) {}

    const std::filesystem::path& path() const { return folder_.path(); }
    QString file(const std::string& name) const;
    // Names of the files in the folder, sorted.
    std::vector<std::string> files() const;

private:
    ScratchFolder folder_;
};

// The lines of a text box; an empty box has no lines.
QStringList lines(const QPlainTextEdit* memo);

template <class T>
T* child(QWidget* parent, const char* name);
template <class T>
T* child(QWidget* parent, Control control) {
    return child<T>(parent, controlName(control));
}

}  // namespace zalohy::test

#include <QWidget>

template <class T>
T* zalohy::test::child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no control ") + name);
    return found;
}
