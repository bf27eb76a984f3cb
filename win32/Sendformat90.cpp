#include "Sendformat90.h"

using namespace zalohy;
using namespace zalohy::win32;

TSendFormatFrm::TSendFormatFrm(HWND owner, ScaleRunner& runner) : Form(kSendDialogForm, owner) {
    core_ = std::make_unique<SendDialog>(*this, runner);
    setHandlers(*core_);
}

TSendFormatFrm::~TSendFormatFrm() = default;
