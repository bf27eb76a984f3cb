// The cases the Qt and the Win32 windows' tests both walk, with the boxes
// each must show: one table, so the two front ends are held to the same
// texts. Each front end's test drives a case by its name with its own toolkit
// and hands the boxes it recorded (UTF-8) to expectBoxes.
#pragma once

#include "ApplicationTitle.h"
#include "WindowPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zalohy::test {

struct WindowCase {
    const char* name;
    std::size_t boxes;    // how many boxes the case shows, all alike
    const char* text;     // each box's whole text; nullptr: the case checks it
    const char* caption;
    unsigned flags;
};

inline const WindowCase kWindowCases[] = {
    {"panelClickedTwice", 2, "Tady si nic nevyklikáš!", "895té Vážné varování", kMbOk | kMbIconWarning},
    {"errorEscapingAHandler", 1, "Unable to write to x.ini", kApplicationTitle, kMbOk | kMbIconError},
    {"settingsNotWritten", 1, nullptr, kApplicationTitle, kMbOk | kMbIconError},
    {"libraryNotBound", 1, nullptr, kApplicationTitle, kMbOk | kMbIconError},
};

inline std::string windowCaseName(const ::testing::TestParamInfo<WindowCase>& info) { return info.param.name; }

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned flags = 0;
};

inline void expectBoxes(const std::vector<RecordedBox>& shown, const WindowCase& c) {
    ASSERT_EQ(shown.size(), c.boxes);
    for (const RecordedBox& box : shown) {
        if (c.text) {
            EXPECT_EQ(box.text, c.text);
        }
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.flags, c.flags);
    }
}

}  // namespace zalohy::test
