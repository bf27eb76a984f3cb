// The memory port refuses what a real window refuses (a control its form
// does not have, or one of another kind), so a fault in the dialogs' logic
// fails these tests instead of throwing in a window; and takes what a window
// takes.
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

}  // namespace
}  // namespace zalohy::test
