#include "MemoryPort.h"

#include <stdexcept>

namespace zalohy {

namespace {
constexpr std::initializer_list<ControlKind> kAnyKind = {
    ControlKind::Button, ControlKind::CheckBox, ControlKind::GroupBox, ControlKind::Edit,    ControlKind::Memo,
    ControlKind::WideMemo, ControlKind::Label, ControlKind::Panel,    ControlKind::StatusBar};
// The controls a caption is drawn on, as the windows have them.
constexpr std::initializer_list<ControlKind> kCaptioned = {ControlKind::Button, ControlKind::CheckBox,
                                                           ControlKind::GroupBox, ControlKind::Label,
                                                           ControlKind::Panel};
}  // namespace

Control MemoryPort::require(Control control, std::initializer_list<ControlKind> kinds) const {
    const ControlDesign* design = form_.find(control);
    if (!design) throw std::logic_error(std::string("the form has no control ") + controlName(control));
    for (const ControlKind kind : kinds)
        if (kind == design->kind) return control;
    throw std::logic_error(std::string("the control ") + controlName(control) + " is of another kind");
}

std::string MemoryPort::editText(Control edit) const {
    const auto found = edits_.find(require(edit, {ControlKind::Edit}));
    return found == edits_.end() ? std::string() : found->second;
}

void MemoryPort::setEditText(Control edit, const std::string& text) { edits_[require(edit, {ControlKind::Edit})] = text; }

bool MemoryPort::isChecked(Control box) const { return ticked_.count(require(box, {ControlKind::CheckBox})) > 0; }

void MemoryPort::setChecked(Control box, bool tick) {
    if (tick) ticked_.insert(require(box, {ControlKind::CheckBox}));
    else ticked_.erase(require(box, {ControlKind::CheckBox}));
}

void MemoryPort::setEnabled(Control control, bool enabled) {
    if (enabled) disabled_.erase(require(control, kAnyKind));
    else disabled_.insert(require(control, kAnyKind));
}

bool MemoryPort::isEnabled(Control control) const { return !disabled_.count(require(control, kAnyKind)); }

void MemoryPort::setCaption(Control control, const std::string& text) {
    captions_[control == Control::Window ? control : require(control, kCaptioned)] = text;
}

std::string MemoryPort::caption(Control control) const {
    const auto found = captions_.find(control);
    return found == captions_.end() ? std::string() : found->second;
}

}  // namespace zalohy
