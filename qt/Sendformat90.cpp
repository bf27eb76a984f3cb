#include "Sendformat90.h"

#include "Application.h"

using namespace zalohy;

TSendFormatFrm::TSendFormatFrm(ScaleRunner& runner, QWidget* parent) : FormDialog(kSendDialogForm, parent) {
    controls().onClick(Control::FileSelectBtn, this, &TSendFormatFrm::FileSelectBtnClick);
    controls().onClick(Control::SendFormatBtn, this, &TSendFormatFrm::SendFormatBtnClick);
    controls().onClick(Control::SendByList, this, &TSendFormatFrm::SendByListClick);
    controls().onClick(Control::BackBtn, this, &TSendFormatFrm::BackBtnClick);
    // Runs the creation handler.
    core_ = std::make_unique<SendDialog>(*this, runner);
}

TSendFormatFrm::~TSendFormatFrm() = default;

void TSendFormatFrm::FormActivate() { core_->FormActivate(); }

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
