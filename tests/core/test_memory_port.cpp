// The memory port refuses what a real window refuses (a control its form
// does not have, or one of another kind), so a fault in the dialogs' logic
// fails these tests instead of throwing in a window; and takes what a window
// takes. And the forms' layout when a dialog grows, as both front ends place
// their controls, tested here for every build, with or without a window.
#include "FakePort.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace zalohy::test {
namespace {

struct PortCall {
    const char* name;
    const FormDesign* form;
    std::function<void(FakePort&)> call;
    bool refused;
};

void PrintTo(const PortCall& c, std::ostream* os) { *os << c.name; }

class PortCalls : public ::testing::TestWithParam<PortCall> {};

TEST_P(PortCalls, refusedExactlyWhereAWindowRefusesThem) {
    BoxLog boxes;
    FakePort port(boxes, *GetParam().form);
    if (GetParam().refused) EXPECT_THROW(GetParam().call(port), std::logic_error);
    else EXPECT_NO_THROW(GetParam().call(port));
}

const FormDesign* const backup = &kBackupDialogForm;
const FormDesign* const send = &kSendDialogForm;
const FormDesign* const mainWindow = &kMainWindowForm;

INSTANTIATE_TEST_SUITE_P(
    Controls, PortCalls,
    ::testing::Values(
        PortCall{"editTextOfACheckBox", backup, [](FakePort& p) { p.editText(Control::CheckBoxImg); }, true},
        PortCall{"editTextOfTheLog", send, [](FakePort& p) { p.setEditText(Control::Memo1, "x"); }, true},
        PortCall{"tickOfAnEditBox", backup, [](FakePort& p) { p.setChecked(Control::EditScaleNumber, true); }, true},
        PortCall{"tickOfAButton", send, [](FakePort& p) { p.isChecked(Control::BackBtn); }, true},
        PortCall{"captionOfAnEditBox", send, [](FakePort& p) { p.setCaption(Control::EdFileName, "x"); }, true},
        PortCall{"captionOfTheStatusBar", send, [](FakePort& p) { p.setCaption(Control::StatusBar1, "x"); }, true},
        PortCall{"controlOfAnotherForm", send, [](FakePort& p) { p.setEnabled(Control::EndBtn, false); }, true},
        PortCall{"logOfTheMainWindow", mainWindow, [](FakePort& p) { p.addLine("x"); }, true},
        PortCall{"statusOfTheBackupDialog", backup, [](FakePort& p) { p.setStatus("x"); }, true},
        PortCall{"editBoxDisabled", send, [](FakePort& p) { p.setEnabled(Control::EditScaleNumber, false); }, false},
        PortCall{"captionsOfTheWindowBoxesAndPanel", mainWindow,
                 [](FakePort& p) {
                     p.setCaption(Control::Window, "x");
                     p.setCaption(Control::Panel1, "x");
                     p.setCaption(Control::BitBtn1, "x");
                 },
                 false},
        PortCall{"logAndStatusOfTheSendDialog", send,
                 [](FakePort& p) {
                     p.addLine("x");
                     p.setStatus("x");
                     p.setCaption(Control::CheckBoxImg, "x");
                 },
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

// The form layout both front ends apply (anchoredPlace): how far each edge of
// a control moves when its dialog is 100 px wider and 60 px higher than
// designed. A control anchored left and right stretches; one anchored only
// right moves; one anchored only left and top stays.
struct Anchored {
    const char* name;
    const FormDesign* form;
    Control control;
    PlaceRect moved;  // left, top, right, bottom
};

void PrintTo(const Anchored& c, std::ostream* os) { *os << c.name; }

class FormLayout : public ::testing::TestWithParam<Anchored> {};

TEST_P(FormLayout, edgesFollowTheAnchorsWhenTheDialogGrows) {
    const ControlDesign* c = GetParam().form->find(GetParam().control);
    ASSERT_NE(c, nullptr);
    const PlaceRect r = anchoredPlace({c->x, c->y, c->x + c->width, c->y + c->height}, c->flags, 100, 60);
    const PlaceRect& m = GetParam().moved;
    EXPECT_EQ(r.left, c->x + m.left);
    EXPECT_EQ(r.top, c->y + m.top);
    EXPECT_EQ(r.right, c->x + c->width + m.right);
    EXPECT_EQ(r.bottom, c->y + c->height + m.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    ResizableDialogs, FormLayout,
    ::testing::Values(Anchored{"backupLog", backup, Control::Memo1, {0, 0, 100, 60}},
                      Anchored{"backupButton", backup, Control::SaveToArchive, {0, 0, 0, 0}},
                      Anchored{"sendLog", send, Control::Memo1, {0, 0, 100, 60}},
                      Anchored{"statusLine", send, Control::StatusBar1, {0, 60, 100, 60}},
                      Anchored{"listButton", send, Control::SendByList, {100, 60, 100, 60}},
                      Anchored{"backButton", send, Control::BackBtn, {100, 60, 100, 60}},
                      Anchored{"sendButton", send, Control::SendFormatBtn, {0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zalohy::test
