#include "Saveformat90.h"

#include "Application.h"

using namespace zalohy;

TSaveFormatDialog::TSaveFormatDialog(QWidget* parent) : FormDialog(kBackupDialogForm, parent) {
    controls().onClick(Control::SaveToArchive, this, &TSaveFormatDialog::SaveToArchiveClick);
    controls().onClick(Control::EndBtn, this, &TSaveFormatDialog::EndBtnClick);
    // Opens the settings file and runs the creation handler.
    core_ = std::make_unique<BackupDialog>(*this);
}

TSaveFormatDialog::~TSaveFormatDialog() = default;

void TSaveFormatDialog::FormActivate() { core_->FormActivate(); }

// Every way of closing (the button, the title bar, Escape) passes here. A
// settings file that cannot be written is reported and the dialog still
// closes, so the user is never trapped in it.
void TSaveFormatDialog::done(int result) {
    if (isVisible()) guarded([this] { core_->FormClose(); });
    QDialog::done(result);
}

void TSaveFormatDialog::EndBtnClick() { close(); }

void TSaveFormatDialog::SaveToArchiveClick() {
    guarded([this] { core_->SaveToArchiveClick(); });
}
