#include "MessageBoxes.h"

#include <QMessageBox>

namespace zalohy {

static MessageBoxes::Handler& handler() {
    static MessageBoxes::Handler h;
    return h;
}

void MessageBoxes::setHandler(Handler h) { handler() = std::move(h); }

int MessageBoxes::show(QWidget* owner, const QString& text, const QString& caption, unsigned flags) {
    if (handler()) return handler()({owner, text, caption, flags});

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if ((flags & 0xF0) == kMbIconWarning) icon = QMessageBox::Warning;
    else if ((flags & 0xF0) == kMbIconError) icon = QMessageBox::Critical;
    const bool withCancel = (flags & 0x0F) == kMbOkCancel;

    QMessageBox box(icon, caption, text,
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    const int pressed = box.exec();
    return withCancel && pressed != QMessageBox::Ok ? kIdCancel : kIdOk;
}

}  // namespace zalohy
