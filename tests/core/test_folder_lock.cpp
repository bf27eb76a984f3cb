#include "FolderLock.h"
#include "TestSupport.h"

#include <atomic>
#include <fstream>
#include <thread>
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
#endif

// A file a job holds survives a sweep; the same file let go, or one nobody
// held, is removed.
TEST_F(Lock, heldFile_survivesTheSweepUntilItsJobLetsGo) {
    const fs::path held = dir.path() / "a.zal.0123abcd.tmp";
    const fs::path left = dir.path() / "a.zal.4567cdef.tmp";
    std::FILE* job = createHeldFile(held);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(createHeldFile(held), nullptr);  // the name is taken
    std::ofstream(left) << "killed";
    EXPECT_FALSE(removeUnlessHeld(held));
    EXPECT_TRUE(removeUnlessHeld(left));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_FALSE(fs::exists(left));
    std::fclose(job);
    EXPECT_TRUE(removeUnlessHeld(held));
    EXPECT_FALSE(fs::exists(held));
}
