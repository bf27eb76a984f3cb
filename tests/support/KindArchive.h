// Test archives of the data kinds: each kind's distinct member bytes, stored
// in the order given, independently of the archive code.
#pragma once

#include "ArchiveBytes.h"
#include "DataKind.h"

#include <initializer_list>

namespace zalohy::test {

inline std::string kindMember(std::size_t kind) { return memberBytes(kind, kDataKinds[kind].name); }

inline std::string archiveOfKinds(std::initializer_list<std::size_t> kinds) {
    std::vector<std::pair<int, std::string>> members;
    for (std::size_t k : kinds) members.emplace_back(kDataKinds[k].id, kindMember(k));
    return expectedArchive(members);
}

// Every kind, appended in the reverse of their slots' order.
inline std::string archiveOfEveryKind() {
    return archiveOfKinds({kImage, kPlu, kShopName, kPresetKeys, kTexts, kFormats});
}

}  // namespace zalohy::test
