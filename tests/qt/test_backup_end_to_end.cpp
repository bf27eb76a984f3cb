// A backup of every kind from an emulated scale through the real dialog, the
// real scale library and the emulator on loopback.
#include "BackupArchive.h"
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "GuiTestSupport.h"
#include "Saveformat90.h"
#include "ScaleCommand.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdlib>

using namespace zalohy;
using namespace zalohy::test;

namespace {

TEST(BackupEndToEnd, allKindsOfASeededScale_areStoredByteForByte) {
    ScratchFolder scales("zalohy-scales-");
    EmulatorProcess emulator({scales.path(), {"127.0.0.21"}, 0, true, {}, {}});
    ASSERT_TRUE(emulator.start()) << emulator.error();

    TempWorkDir dir;
    MessageBoxRecorder boxes;
    FileDialogRecorder fileDialogs;
    ASSERT_TRUE(ScaleLibrary::bindFile(ZALOHY_SCALE_LIBRARY).ok);

    TSaveFormatDialog dialog;
    dialog.show();
    child<QLineEdit>(&dialog, "EditScaleNumber")->setText(QString::fromStdString(emulator.scaleAddress()));
    for (const DataKind& kind : kDataKinds) dialog.checkBoxFor(kind)->setChecked(true);
    fileDialogs.answerNext(dir.file("obchod.zal"));
    child<QPushButton>(&dialog, "SaveToArchive")->click();
    ScaleLibrary::setEntryPoint({});

    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join(" | ").toStdString();
    const QStringList log = lines(child<QPlainTextEdit>(&dialog, "Memo1"));
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.last(), QString::fromUtf8("máte zazálohované!")) << log.join("\n").toStdString();

    const std::string verify = std::string(ZALOHY_ZALTOOL) + " verify " + (dir.path() / "obchod.zal").string();
    EXPECT_EQ(std::system(verify.c_str()), 0);

    for (const DataKind& kind : kDataKinds) {
        BackupArchive archive((dir.path() / "obchod.zal").string());
        const std::string out = (dir.path() / "member.dat").string();
        ASSERT_EQ(archive.ExtractMember(kind.id, out), BackupArchive::kExtracted) << kind.name;
        const std::string onScale = readFile(emulator.scaleFile(0, kind.id));
        EXPECT_FALSE(onScale.empty()) << kind.name;
        EXPECT_EQ(readFile(out), onScale) << kind.name;
    }
    dialog.hide();
}

}  // namespace
