#include "ScaleAddress.h"

#include "DataKind.h"
#include "WindowPort.h"

#include <string>

namespace zalohy {

AddressProblem checkScaleAddress(std::string_view address) {
    if (address.empty()) return AddressProblem::Empty;
    if (address.size() > kMaxAddressLength) return AddressProblem::TooLong;
    for (char c : address) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') return AddressProblem::Blank;
        if (byte < 0x20 || byte == 0x7F) return AddressProblem::ControlCharacter;
        // A letter with a diacritic or a non-breaking space (a list saved by
        // a word processor) names another scale file on every system.
        if (byte >= 0x80) return AddressProblem::NotAscii;
        if (byte == '/' || byte == '\\') return AddressProblem::PathSeparator;
        if (std::string_view("*?\"<>|").find(c) != std::string_view::npos) return AddressProblem::NotInFileName;
#ifdef _WIN32
        if (c == ':') return AddressProblem::NotInFileName;
#endif
    }
    return AddressProblem::None;
}

const char* addressProblemText(AddressProblem problem) {
    switch (problem) {
    case AddressProblem::None: return "";
    case AddressProblem::Empty: return "Není zadána IP adresa váhy.";
    case AddressProblem::TooLong: return "Adresa váhy je delší než 37 znaků.";
    case AddressProblem::Blank: return "Adresa váhy nesmí obsahovat mezeru.";
    case AddressProblem::ControlCharacter: return "Adresa váhy obsahuje neplatný znak.";
    case AddressProblem::PathSeparator: return "Adresa váhy nesmí obsahovat znaky / a \\.";
    case AddressProblem::NotAscii: return "Adresa váhy smí obsahovat jen písmena bez diakritiky, číslice a znaky ASCII.";
    case AddressProblem::NotInFileName: return "Adresa váhy obsahuje znak, který nesmí být v názvu souboru.";
    }
    return "";
}

std::vector<FileFilter> archiveFileFilters() {
    return {{"Soubory zaloh (*.zal)", "*.zal"}, {"Všechny soubory (*.*)", "*.*"}};
}

}  // namespace zalohy
