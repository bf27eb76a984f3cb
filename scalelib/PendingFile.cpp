#include "PendingFile.h"

#include "Files.h"

#include <system_error>

namespace zalohy {

PendingFile::~PendingFile() {
    if (file_) std::fclose(file_);
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
    }
}

bool PendingFile::open() {
    // Whatever holds the temporary name goes first: a file a killed run left
    // behind, or a link planted there. The file is then created exclusively,
    // so a write never follows a link.
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
    file_ = platform::openFile(temp_, "wbx");
    return file_ != nullptr;
}

bool PendingFile::write(const void* data, std::size_t size) {
    return file_ && std::fwrite(data, 1, size, file_) == size;
}

bool PendingFile::commit() {
    if (!file_) return false;
    const bool synced = !durable_ || platform::syncFile(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!synced || !closed) return false;
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    committed_ = !ec;
    if (committed_ && durable_) platform::syncFolder(target_.parent_path());
    return committed_;
}

}  // namespace zalohy
