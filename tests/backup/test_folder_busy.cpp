// Every run locks its working folder: while another run holds it, each of the
// three runs shows why and does nothing at all; one that comes just after gets
// the folder once the other run ends.
#include "FolderLock.h"
#include "SendFixture.h"

#include <thread>

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "127.0.0.9";  // only handed to the fake library

enum class Run { Backup, Send, SendByList };

class HeldFolder : public SendDialogTest, public ::testing::WithParamInterface<Run> {
protected:
    FolderLock other;  // the other run
    std::chrono::milliseconds savedWait = FolderLock::defaultWait;

    void SetUp() override {
        SendDialogTest::SetUp();
        FolderLock::defaultWait = std::chrono::milliseconds(50);
        scale.seed(kScale);
        writeFullArchive();
        choose("a.zal");
        setAddress(kScale);
        backupPort.setEditText(Control::EditScaleNumber, kScale);
        for (std::size_t k = 0; k < kDataKinds.size(); ++k) backupPort.setChecked(kDataKinds[k].checkBox, true);
        writeFile(dir.path() / "old.zal", "an older archive");
        writeFile(dir.path() / "seznam.lst", kScale + "\n");
        boxes.shown.clear();
        port.log.clear();
    }
    void TearDown() override { FolderLock::defaultWait = savedWait; }

    void press() {
        switch (GetParam()) {
        case Run::Backup:
            backupPort.fileAnswers.push_back(file("old.zal"));
            backup->SaveToArchiveClick();
            break;
        case Run::Send: pressSend(); break;
        case Run::SendByList: pressSendByList(); break;
        }
    }
};

TEST_P(HeldFolder, theRunSaysTheFolderIsBusyAndTouchesNothing) {
    ASSERT_TRUE(other.acquire());
    const auto before = dir.entries();
    press();

    // The backup run asks about the old archive first; the lock is taken
    // once the user has answered, so it is never held while a box waits.
    ASSERT_EQ(boxes.shown.size(), GetParam() == Run::Backup ? 2u : 1u);
    const ShownBox& box = boxes.shown.back();
    EXPECT_EQ(box.caption, kBadNews);
    EXPECT_EQ(box.flags, kMbOk | kMbIconWarning);
    EXPECT_NE(box.text.find(dir.path().string()), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("právě probíhá jiné zálohování nebo odesílání"), std::string::npos);
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(dir.entries(), before);
    EXPECT_EQ(readFile(dir.path() / "old.zal"), "an older archive");
}

TEST_P(HeldFolder, theRunWaitsForTheOtherRunToEndAndThenRuns) {
    FolderLock::defaultWait = std::chrono::seconds(60);
    ASSERT_TRUE(other.acquire());
    std::thread ends([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        other.release();
    });
    press();
    ends.join();

    for (const ShownBox& box : boxes.shown) EXPECT_NE(box.caption, kBadNews) << box.text;
    EXPECT_FALSE(scale.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / kFolderLockFile));
}

INSTANTIATE_TEST_SUITE_P(EveryRun, HeldFolder, ::testing::Values(Run::Backup, Run::Send, Run::SendByList));

}  // namespace
