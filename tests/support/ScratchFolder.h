// A fresh temporary folder for one test, removed with everything in it when
// the object goes; optionally the process's working folder meanwhile.
#pragma once

#include <filesystem>
#include <string>

namespace zalohy::test {

class ScratchFolder {
public:
    // Creates <temp>/<prefix>XXXXXX; with enter, also changes into it until destruction.
    explicit ScratchFolder(const std::string& prefix = "zalohy-test-", bool enter = false);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// Whole-file helpers for tests.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace zalohy::test
