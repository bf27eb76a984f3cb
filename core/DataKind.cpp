#include "DataKind.h"

#include <cctype>

namespace zalohy {

const DataKind* kindById(int id) {
    for (const DataKind& kind : kDataKinds)
        if (kind.id == id) return &kind;
    return nullptr;
}

static bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const DataKind* kindByWord(std::string_view word, bool* isUpload) {
    for (const DataKind& kind : kDataKinds) {
        if (sameWord(word, kind.downloadWord)) {
            if (isUpload) *isUpload = false;
            return &kind;
        }
        if (sameWord(word, kind.uploadWord)) {
            if (isUpload) *isUpload = true;
            return &kind;
        }
    }
    return nullptr;
}

std::string scaleFileName(std::string_view address, std::string_view suffix) {
    std::string name = "SM";
    name.append(address);
    name.append(suffix);
    return name;
}

std::string scaleCommandLine(std::string_view word, std::string_view address) {
    std::string line = "twswtcp ";
    line.append(word);
    line.push_back(' ');
    line.append(address);
    return line;
}

}  // namespace zalohy
