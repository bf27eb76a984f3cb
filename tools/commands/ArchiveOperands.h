// What the archive commands read from their operands.
#pragma once

#include "BackupArchive.h"
#include "Command.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>

namespace zalohy {

inline std::int32_t memberId(const std::string& text) {
    std::int32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        throw UsageError{"není číslo člena archivu: " + text};
    return id;
}

// Reads and checks the directory; on failure says why on stderr. Messages
// meant for the program's boxes are not shown here: the tool reports through
// lastError() instead.
inline bool readDirectory(BackupArchive& archive, JobOutput& out) {
    std::array<std::int32_t, 10> ids{};
    if (archive.ReadDirectory(ids)) return true;
    complain(archive.lastError(), out);
    return false;
}

}  // namespace zalohy
