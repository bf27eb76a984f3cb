#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

#ifndef _WIN32
// The targets check what the code writes, not that it reaches the disk: with
// every fsync going to the disk the fuzzers ran a hundred times slower. This
// definition replaces the C library's in the fuzz programs only.
extern "C" int fsync(int) { return 0; }
#endif

namespace zalohy::fuzz {

namespace {

fs::path scratch;

void removeScratch() {
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    for (const auto& entry : fs::recursive_directory_iterator(scratch, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(scratch, ec);
}

}  // namespace

void enterCleanFolder() {
    if (scratch.empty()) {
        std::mt19937_64 random{std::random_device{}()};
        for (;;) {
            const fs::path candidate = fs::temp_directory_path() / ("zalohy-fuzz-" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) {
                scratch = fs::canonical(candidate);
                break;
            }
        }
        std::atexit(removeScratch);
    }
    fs::current_path(scratch);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(scratch, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ec);
        fs::remove_all(entry.path(), ec);
    }
}

void violated(const std::string& what) {
    std::fprintf(stderr, "property violated: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) violated("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) violated("cannot write " + path.string());
}

std::set<std::string> folderNames() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::current_path())) names.insert(entry.path().filename().string());
    return names;
}

std::string_view Input::take(std::size_t n) {
    const std::size_t count = n < size_ - at_ ? n : size_ - at_;
    const std::string_view bytes(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return bytes;
}

}  // namespace zalohy::fuzz
