// A file written under a temporary name beside its final one: it appears
// under the final name only once complete, and the temporary file is removed
// on every way out that does not commit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>

namespace zalohy {

class PendingFile {
public:
    PendingFile(std::filesystem::path target, std::filesystem::path temp)
        : target_(std::move(target)), temp_(std::move(temp)) {}
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool open();
    bool write(const void* data, std::size_t size);
    // Closes the file and renames it over the target (replacing an old one).
    bool commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace zalohy
