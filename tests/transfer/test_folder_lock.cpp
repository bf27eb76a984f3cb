#include "AtomicWrite.h"
#include "Files.h"
#include "WorkingFiles.h"
#include "FolderLock.h"
#include "ScratchFolders.h"
#include "TestSupport.h"

#include <atomic>
#include <fstream>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

using namespace zalohy;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

class Lock : public InTempDir {
protected:
    std::string folder() const { return dir.path().string(); }
    fs::path lockFile() const { return dir.path() / kFolderLockFile; }
};

TEST_F(Lock, aSecondRunWaitsThenFailsWithATextNamingTheFolder_andGetsItOnceReleased) {
    FolderLock first;
    ASSERT_TRUE(first.acquire(folder(), 0ms));
    EXPECT_TRUE(fs::exists(lockFile()));

    FolderLock second;
    EXPECT_FALSE(second.acquire(folder(), 100ms));
    EXPECT_EQ(second.state(), FolderLock::State::Busy);
    EXPECT_NE(second.problem().find(folder()), std::string::npos) << second.problem();
    EXPECT_NE(second.problem().find("právě probíhá jiné zálohování nebo odesílání"), std::string::npos);
    // The empty folder name is the working folder.
    EXPECT_FALSE(second.acquire({}, 0ms));

    first.release();
    EXPECT_FALSE(fs::exists(lockFile()));
    EXPECT_TRUE(second.acquire(folder(), 0ms));
    EXPECT_TRUE(second.problem().empty());
}

// Runs that come and go all the time, each removing the lock file behind it:
// never may two of them hold the folder at once.
TEST_F(Lock, manyRunsAtOnce_neverTwoInTheFolder) {
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                FolderLock lock;
                if (!lock.acquire(folder(), 60s)) continue;
                if (inside.fetch_add(1) != 0) ++overlaps;
                std::this_thread::yield();
                inside.fetch_sub(1);
                ++runs;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(runs.load(), 240);
    EXPECT_FALSE(fs::exists(lockFile()));
}

TEST_F(Lock, aFolderThatCannotTakeTheLockFile_failsAtOnceSayingSo) {
    FolderLock lock;
    EXPECT_FALSE(lock.acquire((dir.path() / "missing").string(), 60s));
    EXPECT_EQ(lock.state(), FolderLock::State::Unavailable);
    EXPECT_NE(lock.problem().find("nelze zamknout"), std::string::npos) << lock.problem();
}

}  // namespace

#ifndef _WIN32
// The lock file removed or replaced after a run opened it and before it
// locked it (the holder removing it on its way out): a lock won on that file
// locks nothing, so the run must look again and lock the present file. (On
// Windows the holder's file cannot be opened again once it is on its way out.)
class LockFileSwapped : public Lock, public ::testing::WithParamInterface<bool> {};

TEST_P(LockFileSwapped, betweenOpenAndLock_theRunLocksTheFileNowThere) {
    const bool replace = GetParam();
    int calls = 0;
    FolderLock::betweenOpenAndLock = [&] {
        if (++calls != 1) return;
        fs::remove(lockFile());
        if (replace) std::ofstream(lockFile()) << "another";
    };
    FolderLock first;
    const bool got = first.acquire(folder(), 1s);
    FolderLock::betweenOpenAndLock = nullptr;
    ASSERT_TRUE(got);
    EXPECT_GE(calls, 2);
    FolderLock second;
    EXPECT_FALSE(second.acquire(folder(), 0ms));
}

INSTANTIATE_TEST_SUITE_P(RemovedOrReplaced, LockFileSwapped, ::testing::Bool());

// The same for held files: a new one that a sweep removed before it was
// locked is not held (a held folder is then made anew, and holds), and a
// sweep that finds a file recreated and held by a job leaves it.
TEST_F(Lock, heldFileSwappedBetweenOpenAndLock_noHoldOnAFileWithoutName_noSweepOfAHeldOne) {
    const std::string prefix = "zaltool-kontrola-";
    int calls = 0;
    platform::betweenOpenAndHold = [&](const fs::path& path) {
        if (++calls == 1) fs::remove(path);
    };
    const std::optional<files::HeldFolder> made = files::HeldFolder::create(dir.path(), prefix);
    platform::betweenOpenAndHold = nullptr;
    ASSERT_TRUE(made);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(files::sweepHeldFolders(dir.path(), prefix, 0s), 0);
    EXPECT_TRUE(fs::exists(made->path() / files::kHeldFolderLock));

    const fs::path temp = dir.path() / "a.zal.0123abcd.tmp";
    std::ofstream(temp) << "killed";
    std::FILE* job = nullptr;
    bool swapped = false;
    platform::betweenOpenAndHold = [&](const fs::path& path) {
        if (std::exchange(swapped, true)) return;
        fs::remove(path);
        job = createHeldFile(path);
    };
    EXPECT_FALSE(removeUnlessHeld(temp));
    platform::betweenOpenAndHold = nullptr;
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(fs::exists(temp));
    std::fclose(job);
}
#endif

// A run's own scratch folder is held while the run lives; a sweep takes the
// folders killed runs left (an unheld lock file, or none once it is old
// enough) and nothing else of the shared folder.
TEST_F(Lock, scratchFolders_aSweepTakesOnlyWhatKilledRunsLeft) {
    const std::string prefix = "zaltool-kontrola-";
    const fs::path base = dir.path();
    const auto make = [&](const std::string& name, bool lockFile) {
        fs::create_directories(base / name);
        if (lockFile) std::ofstream(base / name / files::kHeldFolderLock) << "";
        std::ofstream(base / name / "data.dat") << "left";
    };
    make(prefix + "killed", true);
    make(prefix + "withoutLock", false);
    make("other-folder", true);
    std::ofstream(base / (prefix + "file")) << "";

    std::optional<files::HeldFolder> first = files::HeldFolder::create(base, prefix);
    ASSERT_TRUE(first);
    const std::optional<files::HeldFolder> second = files::HeldFolder::create(base, prefix);
    ASSERT_TRUE(second);
    ASSERT_NE(first->path(), second->path());
    EXPECT_EQ(first->path().parent_path(), base);
    std::set<std::string> kept = {prefix + "withoutLock", "other-folder", prefix + "file",
                                  first->path().filename().string(), second->path().filename().string()};
    EXPECT_EQ(dir.entries(), kept);
    // Old enough, the folder without a lock file goes too; held ones never.
    EXPECT_EQ(files::sweepHeldFolders(base, prefix, std::chrono::seconds(0)), 1);
    kept.erase(prefix + "withoutLock");
    EXPECT_EQ(dir.entries(), kept);
    const fs::path gone = first->path();
    first.reset();
    EXPECT_FALSE(fs::exists(gone));
}
