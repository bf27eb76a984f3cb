// A window port whose controls live in memory, for the front ends without a
// screen (the console, the tests' fakes): the edit texts, ticks, enabled
// states and captions of the controls its form has. It refuses what a window
// refuses, with std::logic_error: a control the form does not have, and a
// control of another kind (an edit box's text of a check box, a tick of an
// edit box, a caption of an edit box, the log or the status bar). What a
// window shows (log, status line, boxes, file dialogs) is left to the port,
// which checks its own controls with require().
#pragma once

#include "WindowPort.h"

#include <initializer_list>
#include <map>
#include <set>
#include <string>

namespace zalohy {

class MemoryPort : public WindowPort {
public:
    explicit MemoryPort(const FormDesign& form) : form_(form) {}

    std::string editText(Control edit) const override;
    void setEditText(Control edit, const std::string& text) override;
    bool isChecked(Control box) const override;
    void setChecked(Control box, bool tick) override;
    void setEnabled(Control control, bool enabled) override;
    void setCaption(Control control, const std::string& text) override;

    // What the window shows: whether a control takes input, the caption last
    // set (Control::Window: the window's title), the ticked boxes.
    bool isEnabled(Control control) const;
    std::string caption(Control control) const;
    const std::set<Control>& tickedBoxes() const { return ticked_; }

protected:
    // The control, when the form has it and it is of one of these kinds.
    Control require(Control control, std::initializer_list<ControlKind> kinds) const;

private:
    FormDesign form_;
    std::map<Control, std::string> edits_;
    std::map<Control, std::string> captions_;
    std::set<Control> ticked_;
    std::set<Control> disabled_;
};

}  // namespace zalohy
