// The backup dialog's window and its settings file: every way of closing
// writes it, and a file that cannot be written is shown in the application's
// error box without trapping the user in the dialog.
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

TEST_F(Settings, readOnlyFile_showsTheErrorAndTheDialogStillCloses) {
    writeFile(ini, "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.3\r\n");
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
    TSaveFormatDialog dialog;
    dialog.show();
    closeByButton(dialog);

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1("Unable to write to ") + kSettingsFile);
    EXPECT_EQ(boxes.shown[0].flags & 0xF0, kMbIconError);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(readFile(ini), "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.3\r\n");
}

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
