#include "Saveformat90.h"

using namespace zalohy;

TSaveFormatDialog::TSaveFormatDialog(QWidget* parent) : FormDialog(kBackupDialogForm, parent) {
    // Opens the settings file and runs the creation handler.
    core_ = std::make_unique<BackupDialog>(*this);
    setHandlers(*core_);
}

TSaveFormatDialog::~TSaveFormatDialog() = default;
