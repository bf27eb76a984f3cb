#include "PendingFile.h"

#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zalohy {

namespace {

// Has the system put the file's bytes on the disk.
bool syncFile(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
#else
    return ::fsync(fileno(file)) == 0 || errno == EINVAL;
#endif
}

// Makes a rename in the folder survive a power loss (POSIX only).
void syncFolder(const std::filesystem::path& folder) {
#ifndef _WIN32
    const std::filesystem::path name = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#else
    (void)folder;
#endif
}

}  // namespace

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
#ifdef _WIN32
    const int fd = _wopen(temp_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    file_ = _fdopen(fd, "wb");
    if (!file_) _close(fd);
#else
    const int fd = ::open(temp_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    file_ = fdopen(fd, "wb");
    if (!file_) ::close(fd);
#endif
    return file_ != nullptr;
}

bool PendingFile::write(const void* data, std::size_t size) {
    return file_ && std::fwrite(data, 1, size, file_) == size;
}

bool PendingFile::commit() {
    if (!file_) return false;
    const bool synced = !durable_ || syncFile(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!synced || !closed) return false;
    std::error_code ec;
    std::filesystem::rename(temp_, target_, ec);
    committed_ = !ec;
    if (committed_ && durable_) syncFolder(target_.parent_path());
    return committed_;
}

}  // namespace zalohy
