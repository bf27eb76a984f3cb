// Helpers every core test shares: a fresh temporary folder per test, a guard
// that changes the working folder and always changes it back, and whole-file
// reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// A new, empty folder, removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the entries directly inside the folder.
    std::set<std::string> entries() const;

private:
    fs::path path_;
};

// Changes the working folder for its lifetime.
class CwdGuard {
public:
    explicit CwdGuard(const fs::path& folder);
    ~CwdGuard();
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

private:
    fs::path previous_;
};

void writeFile(const fs::path& path, const std::string& bytes);
std::string readFile(const fs::path& path);
bool exists(const fs::path& path);
// Clears every write bit, the way a file is made read-only on any host.
void makeReadOnly(const fs::path& path);
// Bytes of a given length that differ from file to file.
std::string randomBytes(std::size_t size, unsigned seed);

// Little-endian 32-bit integer, written out by hand so the tests do not share
// the encoder they check.
std::string le32(std::int64_t value);
// A 128-byte archive header: the two words, then the given slots as
// {id, first, last}; slots not given are zero.
std::string archiveHeader(const std::vector<std::array<std::int64_t, 3>>& slots, std::int32_t word0 = 1,
                          std::int32_t word1 = 0);

// A test fixture that works inside its own temporary folder.
class InTempDir : public ::testing::Test {
protected:
    TempDir dir;
    CwdGuard cwd{dir.path()};
};

}  // namespace testsupport
