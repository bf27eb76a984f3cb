#include "ScratchFolder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <stdlib.h>
#endif

namespace fs = std::filesystem;

namespace zalohy::test {

namespace {

// Removes a folder, also with files and folders a test made read-only.
void removeAll(const fs::path& path) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(path, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

// Every test process has a temporary folder of its own, handed down to the
// programs it starts (TMPDIR, TEMP, TMP): what other runs leave in the
// system's temporary folder never meets a test, and what a test's killed
// program leaves goes with the test.
struct OwnTemporaryFolder {
    fs::path path;
    OwnTemporaryFolder() {
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        std::mt19937_64 random{std::random_device{}()};
        for (int attempt = 0; !ec && attempt < 100 && path.empty(); ++attempt) {
            const fs::path candidate = base / ("zalohy-tests-" + std::to_string(random()));
            if (fs::create_directory(candidate, ec)) path = candidate;
        }
        if (path.empty()) return;
        for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
#ifdef _WIN32
            _wputenv_s(fs::path(name).c_str(), path.c_str());
#else
            ::setenv(name, path.c_str(), 1);
#endif
        }
    }
    ~OwnTemporaryFolder() {
        if (!path.empty()) removeAll(path);
    }
} ownTemporaryFolder;

}  // namespace

ScratchFolder::ScratchFolder(const std::string& prefix, bool enter) {
    static std::mt19937_64 random{std::random_device{}()};
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
        fs::path candidate = base / (prefix + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = fs::canonical(candidate);
            break;
        }
        if (attempt > 100) throw std::runtime_error("cannot create a folder in " + base.string());
    }
    if (enter) {
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    if (!previous_.empty()) fs::current_path(previous_, ec);
    removeAll(path_);
}

std::set<std::string> ScratchFolder::entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename().string());
    return names;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

bool exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

}  // namespace zalohy::test
