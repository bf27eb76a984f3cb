#include "FolderLock.h"

#include "File.h"

#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace zalohy {

namespace {

// How often a waiting run looks again.
constexpr std::chrono::milliseconds kRetryEvery{25};

}  // namespace

bool FolderLock::acquire(const std::string& folder) { return acquire(folder, defaultWait); }

bool FolderLock::acquire(const std::string& folder, std::chrono::milliseconds wait) {
    release();
    problem_.clear();
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::current_path(ec) : files::toPath(folder);
    path_ = dir / kFolderLockFile;
    const std::string shown = files::toUtf8(dir);

    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::string reason;
        switch (platform::tryLockFile(path_, lock_, reason, betweenOpenAndLock)) {
        case platform::LockAttempt::Locked:
            state_ = State::Held;
            return true;
        case platform::LockAttempt::Failed:
            state_ = State::Unavailable;
            problem_ = "Pracovní složku\n" + shown + "\nnelze zamknout pro přenos dat (" + reason +
                       ").\nZkontrolujte, zda do ní lze zapisovat, a opakujte zadání.";
            return false;
        case platform::LockAttempt::Taken:
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            state_ = State::Busy;
            problem_ = "V pracovní složce\n" + shown +
                       "\nprávě probíhá jiné zálohování nebo odesílání.\nPočkejte, až skončí, a opakujte zadání.";
            return false;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
}

void FolderLock::release() {
    platform::unlockFile(path_, lock_);
    state_ = State::Released;
}

}  // namespace zalohy
