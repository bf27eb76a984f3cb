#include "Processes.h"
#include "TrickyArgument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace zalohy::platform;
using namespace std::chrono_literals;

namespace {

using Child = ChildProcesses::Child;

Child startChild(ChildProcesses& children, int status, int sleepMs = 0) {
    const auto child =
        children.start(CHILD_PATH, {std::to_string(status), std::to_string(sleepMs), kTrickyArgument});
    EXPECT_TRUE(child);
    return child.value_or(Child{});
}

// Each child's exit status comes back with its own index, in the order they
// end, and each ended child is let go of once. (Each child checks that an
// argument with spaces, quotes, backslashes and UTF-8 came intact.)
TEST(ChildProcesses, eachStatusComesBackWithItsIndex_inTheOrderTheyEnd) {
    ChildProcesses children;
    std::vector<Child> running = {startChild(children, 7, 1000), startChild(children, 0), startChild(children, 2, 500)};
    std::vector<int> statuses;
    while (!running.empty()) {
        const auto ended = ChildProcesses::waitAny(running);
        ASSERT_TRUE(ended);
        ASSERT_LT(ended->first, running.size());
        statuses.push_back(ended->second);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(ended->first));
    }
    EXPECT_EQ(statuses, (std::vector<int>{0, 2, 7}));
}

// A wait with a time-out gives nothing while every child runs, and returns
// as soon as one ends rather than at the end of its time-out.
TEST(ChildProcesses, aTimedWaitEndsAtTheTimeOutOrWhenAChildEnds) {
    ChildProcesses children;
    const std::vector<Child> running = {startChild(children, 4, 400), startChild(children, 5, 4000)};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ChildProcesses::waitAny(running, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    const auto ended = ChildProcesses::waitAny(running, 20s);
    ASSERT_TRUE(ended);
    EXPECT_EQ(*ended, std::make_pair(std::size_t{0}, 4));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3000ms);
    EXPECT_EQ(ChildProcesses::waitAny({running[1]}), std::make_pair(std::size_t{0}, 5));
}

// A program that is not there never counts as done (under an emulator the
// start itself may seem to succeed).
TEST(ChildProcesses, aMissingProgramNeverEndsWell) {
    ChildProcesses children;
    if (const auto missing = children.start("no-such-program", {})) {
        const auto ended = ChildProcesses::waitAny({*missing});
        ASSERT_TRUE(ended);
        EXPECT_NE(ended->second, 0);
    }
}

}  // namespace
