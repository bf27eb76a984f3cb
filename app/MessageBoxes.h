// Every modal message box of the program goes through here, so that tests can
// answer it and see what was shown.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace zalohy {

// Flags and results with the meaning and values of the Windows message box.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

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
