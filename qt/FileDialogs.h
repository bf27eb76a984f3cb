// The save-file and open-file dialogs of the program go through here, so that
// tests can answer them and see what was asked.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace zalohy {

struct QtFileDialogRequest {
    enum Mode { Save, Open };
    Mode mode = Open;
    QWidget* owner = nullptr;
    QString directory;     // initial folder
    QStringList filters;   // "Label (pattern)" entries, shown in this order
    int filterIndex = 0;   // the entry selected at first
};

class FileDialogs {
public:
    using Handler = std::function<QString(const QtFileDialogRequest&)>;

    // Qt's own dialog (the same everywhere), no overwrite question and no
    // default suffix: a name typed without extension is returned as typed.
    // A filter whose pattern is "*.*" shows every file, names without an
    // extension too. Returns the chosen full path, or an empty string when
    // the user cancels.
    static QString getSaveFileName(QWidget* owner, const QString& directory, const QStringList& filters,
                                   int filterIndex);
    static QString getOpenFileName(QWidget* owner, const QString& directory, const QStringList& filters,
                                   int filterIndex);
    // Replaces the real dialogs (tests); an empty handler restores them.
    static void setHandler(Handler handler);
};

}  // namespace zalohy
