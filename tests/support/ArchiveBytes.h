// Builds the bytes an archive must hold, independently of the archive code:
// members in the order given, each in the slot of its id.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zalohy::test {

inline void putInt32(std::string& bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
}

// members: (id, data) in the order they were appended.
inline std::string expectedArchive(const std::vector<std::pair<int, std::string>>& members) {
    std::string bytes(128, '\0');
    putInt32(bytes, 0, 1);
    for (const auto& [id, data] : members) {
        int slot = -1;
        const int ids[] = {34, 38, 41, 52, 25, 67};
        for (int i = 0; i < 6; ++i)
            if (ids[i] == id) slot = i;
        const auto first = static_cast<std::int32_t>(bytes.size());
        bytes += data;
        putInt32(bytes, 8 + 12 * slot, id);
        putInt32(bytes, 12 + 12 * slot, first);
        putInt32(bytes, 16 + 12 * slot, static_cast<std::int32_t>(bytes.size()) - 1);
    }
    return bytes;
}

// Distinct member bytes per kind (by its position in the kinds' table), with
// every byte value in them.
inline std::string memberBytes(std::size_t kind, const char* name) {
    std::string bytes = std::string("member ") + name + ":";
    for (int i = 0; i < 256 + static_cast<int>(kind); ++i) bytes.push_back(static_cast<char>((i * 13 + kind) & 0xFF));
    return bytes;
}

}  // namespace zalohy::test
