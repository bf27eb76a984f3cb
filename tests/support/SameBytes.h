// Compares two byte strings and, when they differ, tells their sizes and the
// first differing offset instead of printing them.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace zalohy::test {

inline ::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " were expected, first difference at offset " << at;
}

}  // namespace zalohy::test
