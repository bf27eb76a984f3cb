#include "Sendformat90.h"

#include "Boxes.h"

using namespace zalohy;
using namespace zalohy::win32;

static FormDesign sendDialogForm() {
    // In tab order. The window's caption and some controls' captions are set
    // by the creation handler; these are the design's.
    constexpr int tab = Left | Top | TabStop;
    return {"", 435, 359, true, {
        {"EditScaleNumber", ControlKind::Edit, 16, 256, 153, 21, "192.168.5.2", tab},
        {"SendFormatBtn", ControlKind::Button, 56, 304, 75, 25, "SendFormatBtn", tab},
        {"BackBtn", ControlKind::Button, 359, 301, 75, 25, "BackBtn", Right | Bottom | TabStop},
        {"GroupBox1", ControlKind::GroupBox, 16, 48, 161, 169, "GroupBox1"},
        {"CheckBoxFormaty", ControlKind::CheckBox, 16, 16, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"CheckBoxPresety", ControlKind::CheckBox, 16, 88, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"CheckBoxTexty", ControlKind::CheckBox, 16, 40, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"CheckBoxShopName", ControlKind::CheckBox, 16, 64, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"CheckBoxPlu", ControlKind::CheckBox, 16, 112, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"CheckBoxImg", ControlKind::CheckBox, 16, 136, 97, 17, "", tab, 0, 8, "GroupBox1"},
        {"EdFileName", ControlKind::Edit, 16, 24, 281, 21, "", tab},
        {"FileSelectBtn", ControlKind::Button, 304, 24, 75, 25, "...", tab},
        {"Memo1", ControlKind::WideMemo, 184, 56, 243, 222, "", Left | Top | Right | Bottom | TabStop},
        {"SendByList", ControlKind::Button, 231, 301, 75, 25, "Na seznam", Right | Bottom | TabStop},
        {"Label3", ControlKind::Label, 16, 8, 70, 13, "Záložní soubor"},
        {"Label1", ControlKind::Label, 16, 232, 90, 16, "IP adresa váhy", Left | Top, 0, 10},
        {"StatusBar1", ControlKind::StatusBar, 0, 340, 435, 19, "", Left | Right | Bottom},
    }};
}

TSendFormatFrm::TSendFormatFrm(HWND owner, ScaleRunner& runner) : Form(sendDialogForm(), owner) {
    core_ = std::make_unique<SendDialog>(*this, runner);
}

TSendFormatFrm::~TSendFormatFrm() = default;

void TSendFormatFrm::FormActivate() { core_->FormActivate(); }

void TSendFormatFrm::onCommand(const std::string& control, int code) {
    if (code != BN_CLICKED) return;
    if (control == "FileSelectBtn") FileSelectBtnClick();
    else if (control == "SendFormatBtn") SendFormatBtnClick();
    else if (control == "SendByList") SendByListClick();
    else if (control == "BackBtn") BackBtnClick();
}

void TSendFormatFrm::BackBtnClick() { close(); }

void TSendFormatFrm::FileSelectBtnClick() {
    guarded([this] { core_->FileSelectBtnClick(); });
}

void TSendFormatFrm::SendFormatBtnClick() {
    guarded([this] { core_->SendFormatBtnClick(); });
}

void TSendFormatFrm::SendByListClick() {
    guarded([this] { core_->SendByListClick(); });
}
