#include "Files.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace zalohy::platform;

namespace {

// A file a job holds survives a sweep; the same file let go, or one nobody
// held, is removed.
TEST(HeldFiles, heldFile_survivesTheSweepUntilItsJobLetsGo) {
    const zalohy::test::ScratchFolder dir("zalohy-platform-");
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

}  // namespace
