// The boxes the Qt and the Win32 windows must both show, in one table their
// tests walk: each drives a case by its name with its own toolkit and checks
// the boxes it recorded with expectBoxes.
#pragma once

#include "ApplicationTitle.h"
#include "BackupDialog.h"
#include "WindowPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zalohy::test {

struct WindowCase {
    const char* name;
    std::size_t boxes;  // how many, all alike
    std::string text;   // each box's whole text; empty: the case checks it
    const char* caption;
    unsigned flags;
};

inline const WindowCase kWindowCases[] = {
    {"panelClickedTwice", 2, "Tady si nic nevyklikáš!", "895té Vážné varování", kMbOk | kMbIconWarning},
    {"errorEscapingAHandler", 1, "Unable to write to x.ini", kApplicationTitle, kMbOk | kMbIconError},
    {"settingsNotWritten", 1, std::string("Unable to write to ") + kSettingsFile, kApplicationTitle, kMbOk | kMbIconError},
    {"libraryNotBound", 1, "", kApplicationTitle, kMbOk | kMbIconError},
};

inline void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

// `utf8` turns the toolkit's texts into UTF-8.
template <class Box, class Utf8>
void expectBoxes(const std::vector<Box>& shown, const WindowCase& c, Utf8 utf8) {
    ASSERT_EQ(shown.size(), c.boxes);
    for (const Box& box : shown) {
        if (!c.text.empty()) {
            EXPECT_EQ(utf8(box.text), c.text);
        }
        EXPECT_EQ(utf8(box.caption), c.caption);
        EXPECT_EQ(box.flags, c.flags);
    }
}

}  // namespace zalohy::test
