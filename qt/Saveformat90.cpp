#include "Saveformat90.h"

#include "Application.h"
#include "ui_Saveformat90.h"

using namespace zalohy;

TSaveFormatDialog::TSaveFormatDialog(QWidget* parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TSaveFormatDialog>()) {
    ui->setupUi(this);
    useFormFonts(this);
    setMinimumSize(size());
    anchor(ui->Memo1, Anchors::Left | Anchors::Top | Anchors::Right | Anchors::Bottom);
    useClassicScrollBars(ui->Memo1);
    connect(ui->SaveToArchive, &QPushButton::clicked, this, &TSaveFormatDialog::SaveToArchiveClick);
    connect(ui->EndBtn, &QPushButton::clicked, this, &TSaveFormatDialog::EndBtnClick);
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
