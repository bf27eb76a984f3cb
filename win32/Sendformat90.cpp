#include "Sendformat90.h"

#include "Boxes.h"

using namespace zalohy;
using namespace zalohy::win32;

TSendFormatFrm::TSendFormatFrm(HWND owner, ScaleRunner& runner) : Form(kSendDialogForm, owner) {
    core_ = std::make_unique<SendDialog>(*this, runner);
}

TSendFormatFrm::~TSendFormatFrm() = default;

void TSendFormatFrm::FormActivate() { core_->FormActivate(); }

void TSendFormatFrm::onCommand(Control control, int code) {
    if (code != BN_CLICKED) return;
    if (control == Control::FileSelectBtn) FileSelectBtnClick();
    else if (control == Control::SendFormatBtn) SendFormatBtnClick();
    else if (control == Control::SendByList) SendByListClick();
    else if (control == Control::BackBtn) BackBtnClick();
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
