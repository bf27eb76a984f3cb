#include "Saveformat90.h"

#include "Boxes.h"

using namespace zalohy;
using namespace zalohy::win32;

static FormDesign backupDialogForm() {
    // In tab order; the check boxes' captions come from the kinds' table.
    return {"Zálohování  datových souborů vah SM80SX/90/300/500", 461, 265, true, {
        {"EndBtn", ControlKind::Button, 48, 232, 75, 25, "Zpět", Left | Top | TabStop},
        {"SaveToArchive", ControlKind::Button, 48, 200, 75, 25, "Ulož", Left | Top | TabStop},
        {"Memo1", ControlKind::Memo, 176, 32, 277, 233, "", Left | Top | Right | Bottom | TabStop},
        {"EditScaleNumber", ControlKind::Edit, 8, 32, 153, 21, "192.168.5.2", Left | Top | TabStop},
        {"GroupBox1", ControlKind::GroupBox, 8, 64, 153, 129, "Soubory pro zálohy"},
        {"CheckBoxFormaty", ControlKind::CheckBox, 16, 16, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"CheckBoxTexty", ControlKind::CheckBox, 16, 32, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"CheckBoxShopName", ControlKind::CheckBox, 16, 48, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"CheckBoxPresety", ControlKind::CheckBox, 16, 64, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"CheckBoxPlu", ControlKind::CheckBox, 16, 80, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"CheckBoxImg", ControlKind::CheckBox, 16, 96, 97, 17, "", Left | Top | TabStop, 0, 8, "GroupBox1"},
        {"Label1", ControlKind::Label, 8, 16, 74, 13, "IP adresa  váhy"},
        {"Label2", ControlKind::Label, 176, 16, 47, 13, "Informace"},
    }};
}

TSaveFormatDialog::TSaveFormatDialog(HWND owner, std::string settingsFile) : Form(backupDialogForm(), owner) {
    core_ = std::make_unique<BackupDialog>(*this, std::move(settingsFile));
}

TSaveFormatDialog::~TSaveFormatDialog() = default;

void TSaveFormatDialog::FormActivate() { core_->FormActivate(); }

// Every way of closing (the button, the title bar, Escape) passes here. A
// settings file that cannot be written is reported by the caller and the
// dialog still closes, so the user is never trapped in it.
void TSaveFormatDialog::FormClose() { core_->FormClose(); }

void TSaveFormatDialog::onCommand(const std::string& control, int code) {
    if (code != BN_CLICKED) return;
    if (control == "SaveToArchive") SaveToArchiveClick();
    else if (control == "EndBtn") EndBtnClick();
}

void TSaveFormatDialog::EndBtnClick() { close(); }

void TSaveFormatDialog::SaveToArchiveClick() {
    guarded([this] { core_->SaveToArchiveClick(); });
}
