#include "FormDialog.h"

#include <QShowEvent>

namespace zalohy {

void FormDialog::anchor(QWidget* control, int edges) {
    if (!anchors_) anchors_ = std::make_unique<Anchors>(this, size());
    anchors_->add(control, edges);
}

void FormDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        centreOnScreen(this);
        guarded([this] { FormActivate(); });
    }
    QDialog::showEvent(event);
}

void FormDialog::resizeEvent(QResizeEvent* event) {
    if (anchors_) anchors_->apply();
    QDialog::resizeEvent(event);
}

}  // namespace zalohy
