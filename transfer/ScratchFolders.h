// Folders a run makes for itself alone under a shared folder (check's
// "zaltool-kontrola-*" in the system's temporary folder), held while the run
// lives: a lock file in each is held as a job holds its temporary archive, so
// a sweep removes the folders that killed runs left, never a live run's.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace zalohy::files {

class HeldFolder {
public:
    // Removes the unheld folders of `prefix` under `base` (sweepHeldFolders),
    // then makes a new, empty folder `prefix` + 12 hex digits there, created
    // exclusively (no other run's folder is ever taken) and held. Nothing
    // when none can be made.
    static std::optional<HeldFolder> create(const std::filesystem::path& base, const std::string& prefix);

    HeldFolder(HeldFolder&& other) noexcept;
    HeldFolder& operator=(const HeldFolder&) = delete;
    // Lets go of the folder and removes it with everything in it.
    ~HeldFolder();

    const std::filesystem::path& path() const { return path_; }

private:
    HeldFolder(std::filesystem::path path, std::FILE* hold) : path_(std::move(path)), hold_(hold) {}

    std::filesystem::path path_;
    std::FILE* hold_ = nullptr;
};

// The name of the lock file in a held folder.
inline constexpr const char* kHeldFolderLock = ".zaltool-held";

// Removes the folders named `prefix`... under `base` that no live run holds:
// those whose lock file nobody holds, and those without one (a run of an
// older program, or one killed before it could lock) once they are
// `unlockedGrace` old, so a folder that is being made is left alone.
// Symbolic links and plain files are left alone. Returns how many went.
int sweepHeldFolders(const std::filesystem::path& base, const std::string& prefix,
                     std::chrono::seconds unlockedGrace = std::chrono::minutes(1));

}  // namespace zalohy::files
