#include "Saveformat90.h"

using namespace zalohy;
using namespace zalohy::win32;

TSaveFormatDialog::TSaveFormatDialog(HWND owner, std::string settingsFile) : Form(kBackupDialogForm, owner) {
    core_ = std::make_unique<BackupDialog>(*this, std::move(settingsFile));
    setHandlers(*core_);
}

TSaveFormatDialog::~TSaveFormatDialog() = default;
