// Shared by the fuzz targets: each one works inside its own scratch folder
// (made once per process, removed at exit) and aborts with a message when a
// property it checks does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace zalohy::fuzz {

// Enters this process's scratch folder, making it on the first call.
// Every call also empties it, so each input starts from a clean folder.
void enterCleanFolder();

// Prints "property violated: what" and aborts (the fuzzer keeps the input).
[[noreturn]] void violated(const std::string& what);
inline void require(bool holds, const std::string& what) {
    if (!holds) violated(what);
}

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, std::string_view bytes);
// Names of the entries in the working folder.
std::set<std::string> folderNames();

// Takes the input apart: small numbers first, then the rest as bytes.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    // At most n bytes.
    std::string_view take(std::size_t n);
    std::string_view rest() { return take(size_); }
    std::size_t left() const { return size_ - at_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace zalohy::fuzz
