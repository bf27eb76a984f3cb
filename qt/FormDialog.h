// What the program's two Qt dialogs share: each is the window port of its
// dialog's logic, drawn on the controls of its form; it is opened at the
// centre of the screen, runs its activation handler every time it is shown,
// and keeps some controls at fixed distances from its edges when resized.
#pragma once

#include "FormLayout.h"
#include "WindowPort.h"

#include <QDialog>

#include <memory>

class QCheckBox;

namespace zalohy {

struct DataKind;

class FormDialog : public QDialog, public WindowPort {
public:
    explicit FormDialog(QWidget* parent = nullptr);
    ~FormDialog() override;
    using QDialog::repaint;
    using QDialog::setEnabled;

    // The check box of a kind on this form.
    QCheckBox* checkBoxFor(const DataKind& kind) const;

    // The window port on this form's controls, found by their object names.
    std::string editText(std::string_view edit) const override;
    void setEditText(std::string_view edit, const std::string& text) override;
    bool isChecked(std::string_view box) const override;
    void setChecked(std::string_view box, bool ticked) override;
    void setEnabled(std::string_view box, bool enabled) override;
    void setCaption(std::string_view control, const std::string& text) override;
    void clearLog() override;
    void addLine(const std::string& line) override;
    void setStatus(const std::string& text) override;
    void repaint() override;
    int messageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

protected:
    // Runs each time the dialog is shown.
    virtual void FormActivate() = 0;
    // Call once the form is built: its size then is the design size.
    void anchor(QWidget* control, int edges);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redrawAfterModal();
    QWidget* control(std::string_view name) const;
    template <class T>
    T* control(std::string_view name) const;

    std::unique_ptr<Anchors> anchors_;
    bool busy_ = false;
};

}  // namespace zalohy
