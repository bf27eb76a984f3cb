#include "ScratchFolders.h"

#include "File.h"

#include <system_error>

namespace fs = std::filesystem;

namespace zalohy::files {

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

int sweepHeldFolders(const fs::path& base, const std::string& prefix, std::chrono::seconds unlockedGrace) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(base, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!startsWith(toUtf8(it->path().filename()), prefix)) continue;
        std::error_code statusError;
        if (!fs::is_directory(fs::symlink_status(it->path(), statusError))) continue;
        const fs::path lock = it->path() / kHeldFolderLock;
        bool unheld = false;
        if (fs::exists(fs::symlink_status(lock, statusError))) {
            unheld = platform::removeUnlessHeld(lock);
        } else {
            const auto changed = fs::last_write_time(it->path(), statusError);
            unheld = !statusError && fs::file_time_type::clock::now() - changed >= unlockedGrace;
        }
        if (unheld && fs::remove_all(it->path(), statusError) != static_cast<std::uintmax_t>(-1) && !statusError)
            ++removed;
    }
    return removed;
}

std::optional<HeldFolder> HeldFolder::create(const fs::path& base, const std::string& prefix) {
    sweepHeldFolders(base, prefix);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = base / toPath(prefix + platform::randomHex(12));
        std::error_code ec;
        if (!fs::create_directory(candidate, ec)) {
            if (ec) return std::nullopt;
            continue;  // the name is taken
        }
        // A sweep may take the folder before it is held: then try anew.
        if (std::FILE* hold = platform::createHeldFile(candidate / kHeldFolderLock))
            return HeldFolder(candidate, hold);
        fs::remove_all(candidate, ec);
    }
    return std::nullopt;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : path_(std::move(other.path_)), hold_(other.hold_) {
    other.hold_ = nullptr;
    other.path_.clear();
}

HeldFolder::~HeldFolder() {
    if (hold_) std::fclose(hold_);
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

}  // namespace zalohy::files
