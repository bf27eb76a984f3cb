// The send runs through the real dialogs, the real scale library and the
// emulator on loopback addresses.
#include "EmulatorProcess.h"
#include "ScaleCommand.h"
#include "SendDialogFixture.h"

using namespace zalohy;
using namespace zalohy::test;

namespace {

class SendEndToEnd : public SendDialogs {
protected:
    ScratchFolder scales{"zalohy-send-scales-"};

    void SetUp() override {
        ASSERT_TRUE(ScaleLibrary::bindFile(ZALOHY_SCALE_LIBRARY).ok);
        SendDialogs::SetUp();
        // The real library must never be handed the boxes' default addresses
        // (192.168.5.x): an empty box is refused before anything is sent.
        setAddress("");
        child<QLineEdit>(saveDialog.get(), "EditScaleNumber")->setText("");
    }
    void TearDown() override {
        SendDialogs::TearDown();
        ScaleLibrary::setEntryPoint({});
    }

    void backUpEverything(const std::string& address, const std::string& archive) {
        saveDialog->show();
        child<QLineEdit>(saveDialog.get(), "EditScaleNumber")->setText(QString::fromStdString(address));
        for (const DataKind& kind : kDataKinds) saveDialog->checkBoxFor(kind)->setChecked(true);
        fileDialogs.answerNext(dir.file(archive));
        child<QPushButton>(saveDialog.get(), "SaveToArchive")->click();
        saveDialog->hide();
    }
};

TEST_F(SendEndToEnd, archiveSentToAnotherScale_backsUpByteForByteTheSame) {
    EmulatorProcess source({scales / "source", {"127.0.0.41"}, 0, true, {}, {}});
    EmulatorProcess target({scales / "target", {"127.0.0.42"}, 0, false, {}, {}});
    ASSERT_TRUE(source.start()) << source.error();
    ASSERT_TRUE(target.start()) << target.error();

    backUpEverything(source.scaleAddress(), "source.zal");
    ASSERT_TRUE(boxes.shown.empty()) << boxes.texts().join(" | ").toStdString();

    choose("source.zal");
    for (std::size_t k = 0; k < kDataKinds.size(); ++k) ASSERT_TRUE(box(k)->isChecked()) << kDataKinds[k].name;
    setAddress(QString::fromStdString(target.scaleAddress()));
    pressSend();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(status(), kAllSent);
    EXPECT_EQ(memo().size(), 7);

    backUpEverything(target.scaleAddress(), "target.zal");
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join(" | ").toStdString();

    const std::string sent = readFile(dir.path() / "source.zal");
    ASSERT_GT(sent.size(), 128u);
    EXPECT_TRUE(sent == readFile(dir.path() / "target.zal"));
    for (const DataKind& kind : kDataKinds)
        EXPECT_TRUE(readFile(source.scaleFile(0, kind.id)) == readFile(target.scaleFile(0, kind.id))) << kind.name;
    // Nothing but the archives and the status file is left.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"error", "source.zal", "target.zal"}));
}

TEST_F(SendEndToEnd, listWithAScaleThatDoesNotAnswer_theOthersGetEveryKindAndTheLogSaysWhatFailed) {
    EmulatorProcess emulator({scales.path(), {"127.0.0.43", "127.0.0.45"}, 0, false, {}, {}});
    ASSERT_TRUE(emulator.start()) << emulator.error();
    // Nothing listens on the middle address.
    const std::string silent = "127.0.0.44:" + std::to_string(emulator.port());
    writeFile(dir.path() / "seznam.lst",
              emulator.scaleAddress(0) + " prodejna 1\r\n" + silent + "\r\n" + emulator.scaleAddress(1) + "\r\n");

    std::vector<std::pair<int, std::string>> members;
    for (const DataKind& kind : kDataKinds)
        members.emplace_back(kind.id, std::string(kind.name) + " " + std::string(1000 + kind.id, char(kind.id)));
    writeFile(dir.path() / "obchod.zal", expectedArchive(members));
    choose("obchod.zal");
    pressSendByList();

    // Only the empty boxes before the PLU steps.
    EXPECT_EQ(boxes.texts(), (QStringList{"", "", ""}));
    for (std::size_t scale : {0, 1}) {
        for (std::size_t k = 0; k < kImage; ++k)
            EXPECT_TRUE(readFile(emulator.scaleFile(scale, kDataKinds[k].id)) == members[k].second)
                << scale << " " << kDataKinds[k].name;
        EXPECT_FALSE(std::filesystem::exists(emulator.scaleFile(scale, 67)));
    }

    const QStringList log = memo();
    QStringList middle;
    for (std::size_t k = 0; k < kImage; ++k) middle << u8(scaleFileName(silent, kDataKinds[k].uploadSuffix));
    middle.insert(1, u8("Chyba komunikace s váhou Data formátů nebyla odeslána"));
    middle.insert(3, u8("Chyba komunikace s váhou Data textu nebyla odeslána"));
    middle.insert(5, u8("Chyba komunikace s váhou Data nazvu obchodu nebyla odeslána"));
    middle.insert(7, u8("Chyba komunikace s váhou Data přířazení kláves nebyla odeslána"));
    middle.insert(9, u8("Chyba komunikace s váhou Data PLU nebyla odeslána"));
    ASSERT_EQ(log.size(), 1 + 5 + 10 + 5 + 1) << log.join("\n").toStdString();
    EXPECT_EQ(log.mid(6, 10), middle);
    EXPECT_EQ(log.last(), u8("Odeslání se nezdařilo u 1 z 3 vah"));
    EXPECT_EQ(status(), u8("Odeslání se nezdařilo u 1 z 3 vah"));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"error", "obchod.zal", "seznam.lst"}));
}

}  // namespace
