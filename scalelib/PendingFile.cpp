#include "PendingFile.h"

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
#ifdef _WIN32
    file_ = _wfopen(temp_.c_str(), L"wb");
#else
    file_ = std::fopen(temp_.c_str(), "wb");
#endif
    return file_ != nullptr;
}

bool PendingFile::write(const void* data, std::size_t size) {
    return file_ && std::fwrite(data, 1, size, file_) == size;
}

bool PendingFile::commit() {
    if (!file_) return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) return false;
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    committed_ = !ec;
    return committed_;
}

}  // namespace zalohy
