// The backup dialog's settings file: read once at creation, written at every
// closing, in code page 1250, keeping whatever else the file holds.
#include "FakeScale.h"
#include "GuiSupport.h"
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

    static QLineEdit* address(TSaveFormatDialog& d) { return child<QLineEdit>(&d, "EditScaleNumber"); }
    static QCheckBox* box(TSaveFormatDialog& d, const char* name) { return child<QCheckBox>(&d, name); }
    static void closeByButton(TSaveFormatDialog& d) { child<QPushButton>(&d, "EndBtn")->click(); }
};

TEST_F(Settings, firstStart_usesDefaultsAndTheFirstClosingWritesTheFiveKeys) {
    TSaveFormatDialog dialog;
    EXPECT_EQ(address(dialog)->text(), "192.168.5.8");
    // Read at creation with the default "ticked", then unticked when shown.
    EXPECT_TRUE(box(dialog, "CheckBoxFormaty")->isChecked());
    EXPECT_FALSE(std::filesystem::exists(ini));

    dialog.show();
    EXPECT_FALSE(box(dialog, "CheckBoxFormaty")->isChecked());
    box(dialog, "CheckBoxFormaty")->setChecked(true);
    box(dialog, "CheckBoxTexty")->setChecked(true);
    box(dialog, "CheckBoxPlu")->setChecked(true);
    address(dialog)->setText("127.0.0.4");
    closeByButton(dialog);

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(readFile(ini), "[SOUBOR_ZALOHY]\r\nFORMATY=1\r\nPRESETY=0\r\nSHOP_NAME=0\r\nTEXTY=1\r\n"
                             "IP_ADDRESS=127.0.0.4\r\n");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Settings, storedValues_areReadAtCreationOnly) {
    writeFile(ini, "[soubor_zalohy]\nip_address=127.0.0.6\nFORMATY=0\nPRESETY=$A\nSHOP_NAME=ano\nTEXTY=0x10\n");
    TSaveFormatDialog dialog;
    EXPECT_EQ(address(dialog)->text(), "127.0.0.6");
    EXPECT_FALSE(box(dialog, "CheckBoxFormaty")->isChecked());
    EXPECT_TRUE(box(dialog, "CheckBoxPresety")->isChecked());
    EXPECT_TRUE(box(dialog, "CheckBoxShopName")->isChecked());  // not a number: the default
    EXPECT_TRUE(box(dialog, "CheckBoxTexty")->isChecked());

    // A later change of the file is not seen by showing the dialog again.
    writeFile(ini, "[SOUBOR_ZALOHY]\nIP_ADDRESS=127.0.0.7\n");
    dialog.show();
    dialog.hide();
    dialog.show();
    EXPECT_EQ(address(dialog)->text(), "127.0.0.6");
    dialog.hide();
}

TEST_F(Settings, closing_keepsOtherSectionsKeysAndCommentsByteForByte) {
    const std::string before =
        "; servis\r\n[JINE]\r\nIP_ADDRESS=10.9.9.9\r\n\r\n[Soubor_Zalohy]\r\nIp_Address=127.0.0.8\r\n"
        "POZNAMKA=nech me byt\r\nPLU=1\r\n";
    writeFile(ini, before);
    TSaveFormatDialog dialog;
    dialog.show();
    closeByButton(dialog);
    EXPECT_EQ(readFile(ini),
              "; servis\r\n[JINE]\r\nIP_ADDRESS=10.9.9.9\r\n\r\n[Soubor_Zalohy]\r\nIp_Address=127.0.0.8\r\n"
              "POZNAMKA=nech me byt\r\nPLU=1\r\nFORMATY=0\r\nPRESETY=0\r\nSHOP_NAME=0\r\nTEXTY=0\r\n");
}

TEST_F(Settings, addressIsStoredInCodePage1250) {
    TSaveFormatDialog dialog;
    dialog.show();
    address(dialog)->setText(u8("váha-č1"));
    closeByButton(dialog);
    EXPECT_NE(readFile(ini).find("IP_ADDRESS=v\xE1ha-\xE8" "1\r\n"), std::string::npos);

    TSaveFormatDialog again;
    EXPECT_EQ(address(again)->text(), u8("váha-č1"));
}

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
