// A fresh temporary folder for one test, removed with everything in it when
// the object goes; optionally the process's working folder meanwhile.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace zalohy::test {

class ScratchFolder {
public:
    // Creates <temp>/<prefix><random>; with enter, also changes into it until destruction.
    explicit ScratchFolder(const std::string& prefix = "zalohy-test-", bool enter = false);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // Names of the entries directly inside the folder.
    std::set<std::string> entries() const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// Whole-file helpers for tests; both throw when the file cannot be used.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
bool exists(const std::filesystem::path& path);

}  // namespace zalohy::test
