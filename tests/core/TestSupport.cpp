#include "TestSupport.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace testsupport {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    const std::string name = "zalohy-core-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
                             std::to_string(rd());
    path_ = fs::temp_directory_path() / name;
    fs::create_directories(path_);
    path_ = fs::canonical(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files left by a test must not keep the folder alive.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::set<std::string> TempDir::entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename().string());
    return names;
}

CwdGuard::CwdGuard(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }

CwdGuard::~CwdGuard() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

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

}  // namespace testsupport
