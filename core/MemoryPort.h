// A window port whose controls live in memory, for the front ends without a
// screen (the console, the tests' fakes): the edit texts, ticks, enabled
// states and captions of the controls its form has. A control the form does
// not have is refused with std::logic_error, as a window refuses it. What a
// window shows (log, status line, boxes, file dialogs) is left to the port.
#pragma once

#include "WindowPort.h"

#include <map>
#include <set>
#include <string>

namespace zalohy {

class MemoryPort : public WindowPort {
public:
    explicit MemoryPort(const FormDesign& form) : form_(form) {}

    std::map<Control, std::string> edits;
    std::map<Control, std::string> captions;  // Control::Window: the window's title
    std::set<Control> ticked;
    std::set<Control> disabled;

    bool isEnabled(Control box) const { return !disabled.count(known(box)); }

    std::string editText(Control edit) const override;
    void setEditText(Control edit, const std::string& text) override;
    bool isChecked(Control box) const override;
    void setChecked(Control box, bool tick) override;
    void setEnabled(Control box, bool enabled) override;
    void setCaption(Control control, const std::string& text) override;

private:
    // The control, when the form has it or it is the window itself.
    Control known(Control control) const;

    FormDesign form_;
};

}  // namespace zalohy
