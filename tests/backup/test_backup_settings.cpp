// The backup dialog's settings file: read once at creation, written at every
// closing, in code page 1250, keeping whatever else the file holds.
#include "BackupDialog.h"
#include "FakePort.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

using namespace zalohy;
using namespace zalohy::test;

namespace {

class Settings : public ::testing::Test {
protected:
    ScratchFolder dir{"zalohy-settings-", true};
    BoxLog boxes;
    FakePort port{boxes, kBackupDialogForm};
    std::filesystem::path ini = dir.path() / "Skladex.ini";
};

TEST_F(Settings, firstStart_usesDefaultsAndTheFirstClosingWritesTheFiveKeys) {
    BackupDialog dialog(port);
    EXPECT_EQ(port.editText(Control::EditScaleNumber), "192.168.5.8");
    // Read at creation with the default "ticked", then unticked when shown.
    EXPECT_EQ(port.tickedBoxes(), (std::set<Control>{Control::CheckBoxFormaty, Control::CheckBoxPresety,
                                              Control::CheckBoxShopName, Control::CheckBoxTexty}));
    EXPECT_FALSE(std::filesystem::exists(ini));

    dialog.FormActivate();
    EXPECT_TRUE(port.tickedBoxes().empty());
    for (Control box : {Control::CheckBoxFormaty, Control::CheckBoxTexty, Control::CheckBoxPlu}) port.setChecked(box, true);
    port.setEditText(Control::EditScaleNumber, "127.0.0.4");
    dialog.FormClose();

    EXPECT_EQ(readFile(ini), "[SOUBOR_ZALOHY]\r\nFORMATY=1\r\nPRESETY=0\r\nSHOP_NAME=0\r\nTEXTY=1\r\n"
                             "IP_ADDRESS=127.0.0.4\r\n");
    EXPECT_TRUE(boxes.shown.empty());
    // Captions: the kinds' from the table, three more from the creation handler.
    EXPECT_EQ(port.caption(Control::CheckBoxImg), "Image soubor");
    EXPECT_EQ(port.caption(Control::CheckBoxShopName), "Název obchodu");
    EXPECT_EQ(port.caption(Control::GroupBox1), "Soubory pro zálohy");
    EXPECT_EQ(port.caption(Control::EndBtn), "Zpět");
}

TEST_F(Settings, storedValues_areReadAtCreationOnly) {
    writeFile(ini, "[soubor_zalohy]\nip_address=127.0.0.6\nFORMATY=0\nPRESETY=$A\nSHOP_NAME=ano\nTEXTY=0x10\n");
    BackupDialog dialog(port);
    EXPECT_EQ(port.editText(Control::EditScaleNumber), "127.0.0.6");
    // SHOP_NAME is not a number: the default.
    EXPECT_EQ(port.tickedBoxes(), (std::set<Control>{Control::CheckBoxPresety, Control::CheckBoxShopName, Control::CheckBoxTexty}));

    // A later change of the file is not seen by showing the dialog again.
    writeFile(ini, "[SOUBOR_ZALOHY]\nIP_ADDRESS=127.0.0.7\n");
    dialog.FormActivate();
    dialog.FormActivate();
    EXPECT_EQ(port.editText(Control::EditScaleNumber), "127.0.0.6");
}

TEST_F(Settings, closing_keepsOtherSectionsKeysAndCommentsByteForByte) {
    writeFile(ini, "; servis\r\n[JINE]\r\nIP_ADDRESS=10.9.9.9\r\n\r\n[Soubor_Zalohy]\r\nIp_Address=127.0.0.8\r\n"
                   "POZNAMKA=nech me byt\r\nPLU=1\r\n");
    BackupDialog dialog(port);
    dialog.FormActivate();
    dialog.FormClose();
    EXPECT_EQ(readFile(ini),
              "; servis\r\n[JINE]\r\nIP_ADDRESS=10.9.9.9\r\n\r\n[Soubor_Zalohy]\r\nIp_Address=127.0.0.8\r\n"
              "POZNAMKA=nech me byt\r\nPLU=1\r\nFORMATY=0\r\nPRESETY=0\r\nSHOP_NAME=0\r\nTEXTY=0\r\n");
}

TEST_F(Settings, addressIsStoredInCodePage1250_andAnUnknownCharacterAsQuestionMark) {
    BackupDialog dialog(port);
    port.setEditText(Control::EditScaleNumber, "váha-č1€ž→");
    dialog.FormClose();
    EXPECT_NE(readFile(ini).find("IP_ADDRESS=v\xE1ha-\xE8" "1\x80\x9E?\r\n"), std::string::npos);

    FakePort again{boxes, kBackupDialogForm};
    BackupDialog second(again);
    EXPECT_EQ(again.editText(Control::EditScaleNumber), "váha-č1€ž?");
}

TEST_F(Settings, readOnlyFile_firstFailedWriteThrowsAndNothingChanges) {
    writeFile(ini, "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.3\r\n");
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read);
    BackupDialog dialog(port);
    try {
        dialog.FormClose();
        FAIL() << "no error raised";
    } catch (const IniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("Unable to write to ") + kSettingsFile);
    }
    EXPECT_EQ(readFile(ini), "[SOUBOR_ZALOHY]\r\nIP_ADDRESS=127.0.0.3\r\n");
}

}  // namespace
