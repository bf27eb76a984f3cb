#include "TestSupport.h"

#include "TrimDownloadedFile.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>


namespace testsupport {

void makeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string le32(std::int64_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return bytes;
}

std::string archiveHeader(const std::vector<std::array<std::int64_t, 3>>& slots, std::int32_t word0, std::int32_t word1) {
    std::string bytes = le32(word0) + le32(word1);
    for (const auto& s : slots) bytes += le32(s[0]) + le32(s[1]) + le32(s[2]);
    bytes.resize(128, '\0');
    return bytes;
}

int trim(const std::string& name, TrimLines& report) {
    bool ok = true;
    const int result = zalohy::TrimDownloadedFile(name, report, ok);
    if (!ok) report.failed = true;
    return result;
}

}  // namespace testsupport
