// Every modal message box of the program goes through here, so that tests can
// answer it and see what was shown.
#pragma once

#include "WindowPort.h"

#include <QString>

#include <functional>

class QWidget;

namespace zalohy {

// Flags and results are those of the window port (Windows values).

struct MessageBoxRequest {
    QWidget* owner = nullptr;
    QString text;
    QString caption;
    unsigned flags = kMbOk;
};

class MessageBoxes {
public:
    using Handler = std::function<int(const MessageBoxRequest&)>;

    // Shows a modal box owned by owner and returns kIdOk or kIdCancel.
    // A box with only an OK button returns kIdOk however it is closed.
    static int show(QWidget* owner, const QString& text, const QString& caption, unsigned flags);
    // Replaces the real box (tests); an empty handler restores it.
    static void setHandler(Handler handler);
};

}  // namespace zalohy
