// What the program's two dialogs share: each is opened at the centre of the
// screen, is reset by its activation handler every time it is shown, and
// keeps some controls at fixed distances from its edges when resized.
#pragma once

#include "GuiSupport.h"

#include <QDialog>

#include <memory>

namespace zalohy {

class FormDialog : public QDialog {
public:
    explicit FormDialog(QWidget* parent = nullptr) : QDialog(parent) {}

protected:
    // Runs each time the dialog is shown.
    virtual void FormActivate() = 0;
    // Call once the form is built: its size then is the design size.
    void anchor(QWidget* control, int edges);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<Anchors> anchors_;
};

}  // namespace zalohy
