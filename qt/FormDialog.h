// What the program's two Qt dialogs share: each is the window port of its
// dialog's logic, drawn on the controls made from its form's description,
// and calls the logic's handlers: each time it is shown, each time it closes
// and for each button. It is opened at the centre of the screen and keeps
// anchored controls at fixed distances from its edges when resized.
#pragma once

#include "FormLayout.h"
#include "WindowPort.h"

#include <QDialog>

class QCheckBox;

namespace zalohy {

struct DataKind;

class FormDialog : public QDialog, public WindowPort {
public:
    FormDialog(const FormDesign& design, QWidget* parent);
    ~FormDialog() override;
    using QDialog::repaint;
    using QDialog::setEnabled;

    // The check box of a kind on this form.
    QCheckBox* checkBoxFor(const DataKind& kind) const;

    // The window port on this form's controls.
    std::string editText(Control edit) const override;
    void setEditText(Control edit, const std::string& text) override;
    bool isChecked(Control box) const override;
    void setChecked(Control box, bool ticked) override;
    void setEnabled(Control box, bool enabled) override;
    void setCaption(Control control, const std::string& text) override;
    void clearLog() override;
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

protected:
    // The logic behind the form, called from now on.
    void setHandlers(FormHandlers& handlers) { handlers_ = &handlers; }

    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redrawAfterModal();

    FormWidgets controls_;
    FormHandlers* handlers_ = nullptr;
    bool busy_ = false;
};

}  // namespace zalohy
