#include "Sendformat90.h"

using namespace zalohy;

TSendFormatFrm::TSendFormatFrm(ScaleRunner& runner, QWidget* parent) : FormDialog(kSendDialogForm, parent) {
    // Runs the creation handler.
    core_ = std::make_unique<SendDialog>(*this, runner);
    setHandlers(*core_);
}

TSendFormatFrm::~TSendFormatFrm() = default;
