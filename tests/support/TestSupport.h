// Helpers every core test shares: a fresh temporary working folder per test,
// whole-file reads and writes, and hand-made archive bytes.
#pragma once

#include "Report.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

using zalohy::test::exists;
using zalohy::test::readFile;
using zalohy::test::writeFile;

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

// The lines the trimming reports, and whether it failed the backup.
struct TrimLines : zalohy::Report {
    std::vector<std::string> lines;
    bool failed = false;
    void message(const std::string&, const std::string&) override {}
    void line(const std::string& line) override { lines.push_back(line); }
};
// The trimming with its BackupOk flag folded into the report.
int trim(const std::string& name, TrimLines& report);

// A test fixture that works inside its own temporary folder.
class InTempDir : public ::testing::Test {
protected:
    zalohy::test::ScratchFolder dir{"zalohy-core-", true};
};

}  // namespace testsupport
