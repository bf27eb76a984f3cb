// A file written under a temporary name beside its final one: it appears
// under the final name only once complete and on the disk, and the temporary
// file is removed on every way out that does not commit. The temporary file
// is created exclusively after removing whatever held its name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>

namespace zalohy {

class PendingFile {
public:
    // durable: sync the file before the rename and the folder after it (off
    // only where losing the file in a power cut does not matter, as in the
    // emulator, a test tool).
    PendingFile(std::filesystem::path target, std::filesystem::path temp, bool durable = true)
        : target_(std::move(target)), temp_(std::move(temp)), durable_(durable) {}
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool open();
    bool write(const void* data, std::size_t size);
    // Syncs and closes the file, renames it over the target (replacing an old
    // one) and syncs the folder.
    bool commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::FILE* file_ = nullptr;
    bool durable_ = true;
    bool committed_ = false;
};

}  // namespace zalohy
