// The backup dialog's window and its settings file: every way of closing
// writes it (a file that cannot be written: the window cases' table).
#include "BackupDialog.h"
#include "GuiTestSupport.h"
#include "Saveformat90.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace zalohy;
using namespace zalohy::test;

namespace {

class Settings : public ::testing::Test {
protected:
    TempWorkDir dir;
    MessageBoxRecorder boxes;
    std::filesystem::path ini = dir.path() / "Skladex.ini";

    static void closeByButton(TSaveFormatDialog& d) { child<QPushButton>(&d, "EndBtn")->click(); }
};

TEST_F(Settings, titleBarCloseAndEscape_writeTooButHidingDoesNot) {
    TSaveFormatDialog dialog;
    dialog.show();
    dialog.hide();
    EXPECT_FALSE(std::filesystem::exists(ini));
    dialog.show();
    dialog.close();  // the title bar's close button
    EXPECT_TRUE(std::filesystem::exists(ini));
    std::filesystem::remove(ini);
    dialog.show();
    dialog.reject();  // Escape
    EXPECT_TRUE(std::filesystem::exists(ini));
}

}  // namespace
