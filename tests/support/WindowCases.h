// What the Qt and the Win32 windows must both do. The boxes they show are one
// table their tests walk: each drives a case by its name with its own toolkit
// and checks the boxes it recorded with expectBoxes. The other shared cases
// are test bodies both front ends run on their own toolkit (BothFrontEnds).
#pragma once

#include "ApplicationTitle.h"
#include "BackupDialog.h"
#include "ScratchFolder.h"
#include "WindowPort.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
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

// The cases both front ends' windows share, written once over a fixture that
// has the three forms (window, save, send), the boxes shown (boxes) and its
// toolkit's side of each step (the Qt and the Win32 window tests' fixtures).
// Include this header in one file of a test program and instantiate the suite
// there with its fixture.
template <class Fixture>
class BothFrontEnds : public Fixture {};
TYPED_TEST_SUITE_P(BothFrontEnds);

TYPED_TEST_P(BothFrontEnds, clockShowsZerosUntilTheFirstTickThenTheTimeOfDay) {
    const auto clock = [this] { return this->text(this->window.get(), Control::Panel1); };
    EXPECT_EQ(clock(), "00:00:00");
    // The first tick within three seconds, the next one a second later; each
    // shows the time of day (within two seconds of now).
    for (std::string shown = "00:00:00"; const int ms : {3000, 2500}) {
        ASSERT_TRUE(this->waitFor(ms, [&] { return clock() != shown; })) << shown;
        shown = clock();
        bool now = false;
        for (int back = 0; back <= 2 && !now; ++back) now = this->timeText(back) == shown;
        EXPECT_TRUE(now) << shown;
    }
}

// Each press shows the one backup dialog modally; creation ran once (the
// address typed is still there), and closing wrote the settings.
TYPED_TEST_P(BothFrontEnds, backupButtonShowsTheOneDialogModally_andClosingWritesTheSettings) {
    auto* save = this->save.get();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(this->pressShowsModally(Control::MakeBackupBtn, save, [&] {
            if (i == 0) save->setEditText(Control::EditScaleNumber, "127.0.0.2");
            this->press(save, Control::EndBtn);
        }));
        EXPECT_TRUE(this->backToTheMainWindow(save));
    }
    EXPECT_EQ(save->editText(Control::EditScaleNumber), "127.0.0.2");
    EXPECT_NE(readFile(kSettingsFile).find("IP_ADDRESS=127.0.0.2"), std::string::npos);
    EXPECT_TRUE(this->boxes.shown.empty());
}

// The activation ran: the caption is set, the status line says the line is idle.
TYPED_TEST_P(BothFrontEnds, sendButtonShowsTheSendDialogModally_andEscapeClosesIt) {
    auto* send = this->send.get();
    EXPECT_TRUE(this->pressShowsModally(Control::SendBackupToScaleBtn, send, [&] { this->escape(send); }));
    EXPECT_TRUE(this->backToTheMainWindow(send));
    EXPECT_EQ(this->text(send, Control::Window), "Odeslání formátů a textů do váhy");
    EXPECT_EQ(this->text(send, Control::StatusBar1), "Komuniační klídek");
}

// Every control of the three forms is made where its description puts it, in
// its group box, each form has its client size, the text of each label and
// panel is readable in full, and Tab visits the controls in the description's
// order.
TYPED_TEST_P(BothFrontEnds, everyControlSitsInItsParentWhereTheDescriptionPutsIt) {
    for (auto [form, design] : this->forms()) {
        SCOPED_TRACE(design->caption);
        EXPECT_EQ(this->clientSize(form), std::make_pair(design->clientWidth, design->clientHeight));
        std::vector<std::string> tabStops;
        for (const ControlDesign& c : design->controls) {
            SCOPED_TRACE(controlName(c.name));
            const auto widget = this->handle(form, c.name);
            EXPECT_EQ(this->parentOf(widget), this->handle(form, c.parent));
            const PlaceRect r = this->placeOf(widget);
            EXPECT_EQ(std::tuple(r.left, r.top, r.bottom - r.top), std::tuple(c.x, c.y, c.height));
            // A label grows to its text where the font here is wider than the design's.
            if (c.kind == ControlKind::Label) EXPECT_GE(r.right - r.left, c.width);
            else EXPECT_EQ(r.right - r.left, c.width);
            if (c.kind == ControlKind::Label || c.kind == ControlKind::Panel) {
                EXPECT_TRUE(this->textFits(widget));
            }
            if (c.flags & TabStop) tabStops.emplace_back(controlName(c.name));
        }
        EXPECT_EQ(this->tabOrder(form), tabStops);
    }
}

REGISTER_TYPED_TEST_SUITE_P(BothFrontEnds, clockShowsZerosUntilTheFirstTickThenTheTimeOfDay,
                            backupButtonShowsTheOneDialogModally_andClosingWritesTheSettings,
                            sendButtonShowsTheSendDialogModally_andEscapeClosesIt,
                            everyControlSitsInItsParentWhereTheDescriptionPutsIt);

}  // namespace zalohy::test
