#include "MemoryPort.h"

#include <stdexcept>

namespace zalohy {

Control MemoryPort::known(Control control) const {
    if (control != Control::Window && !form_.find(control))
        throw std::logic_error(std::string("the form has no control ") + controlName(control));
    return control;
}

std::string MemoryPort::editText(Control edit) const {
    const auto found = edits.find(known(edit));
    return found == edits.end() ? std::string() : found->second;
}

void MemoryPort::setEditText(Control edit, const std::string& text) { edits[known(edit)] = text; }

bool MemoryPort::isChecked(Control box) const { return ticked.count(known(box)) > 0; }

void MemoryPort::setChecked(Control box, bool tick) {
    if (tick) ticked.insert(known(box));
    else ticked.erase(known(box));
}

void MemoryPort::setEnabled(Control box, bool enabled) {
    if (enabled) disabled.erase(known(box));
    else disabled.insert(known(box));
}

void MemoryPort::setCaption(Control control, const std::string& text) { captions[known(control)] = text; }

}  // namespace zalohy
