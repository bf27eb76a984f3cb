#include "Saveformat90.h"

#include "Boxes.h"

using namespace zalohy;
using namespace zalohy::win32;

TSaveFormatDialog::TSaveFormatDialog(HWND owner, std::string settingsFile) : Form(kBackupDialogForm, owner) {
    core_ = std::make_unique<BackupDialog>(*this, std::move(settingsFile));
}

TSaveFormatDialog::~TSaveFormatDialog() = default;

void TSaveFormatDialog::FormActivate() { core_->FormActivate(); }

// Every way of closing (the button, the title bar, Escape) passes here. A
// settings file that cannot be written is reported by the caller and the
// dialog still closes, so the user is never trapped in it.
void TSaveFormatDialog::FormClose() { core_->FormClose(); }

void TSaveFormatDialog::onCommand(Control control, int code) {
    if (code != BN_CLICKED) return;
    if (control == Control::SaveToArchive) SaveToArchiveClick();
    else if (control == Control::EndBtn) EndBtnClick();
}

void TSaveFormatDialog::EndBtnClick() { close(); }

void TSaveFormatDialog::SaveToArchiveClick() {
    guarded([this] { core_->SaveToArchiveClick(); });
}
