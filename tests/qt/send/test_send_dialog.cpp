// The send dialog: choosing an archive, the send run to one scale, and what
// every showing of the dialog resets.
#include "SendDialogFixture.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <filesystem>

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "192.168.5.2";  // only ever handed to the fake library

// What the status line shows while each kind is sent to one scale.
const char* const kProgress[] = {"Odesílají se formáty",        "Odesílají se Texty",  "Odesílá se název obchodu",
                                 "Odesílá se rozložení kláves", "Odesílá se PLU data", "Odesílá se Image data"};

class SendRun : public SendDialogTest {
protected:
    void SetUp() override {
        SendDialogTest::SetUp();
        setAddress(QString::fromStdString(kScale));
    }
};

// Each button reaches the dialog's logic, and what the logic does reaches the
// controls: the file box, the check boxes, the log, the status line and the
// seams' boxes and dialogs, owned by this window.
TEST_F(SendRun, buttonsReachTheLogicAndItsResultsTheControls) {
    writeArchive("a.zal", {kFormats, kPlu});
    choose("a.zal");
    ASSERT_EQ(fileDialogs.asked.size(), 1u);
    EXPECT_EQ(fileDialogs.asked[0].mode, QtFileDialogRequest::Open);
    EXPECT_EQ(fileDialogs.asked[0].owner, dialog.get());
    EXPECT_EQ(fileDialogs.asked[0].directory, QString::fromStdString(dir.path().string()));
    EXPECT_EQ(fileDialogs.asked[0].filters, (QStringList{"Soubory zaloh (*.zal)", u8("Všechny soubory (*.*)")}));
    EXPECT_EQ(archiveName(), dir.file("a.zal"));
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(box(k)->isChecked(), k == kFormats || k == kPlu) << k;
        EXPECT_EQ(box(k)->isEnabled(), k == kFormats || k == kPlu) << k;
    }

    pressSend();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(scale.commands(), (std::vector<std::string>{command(kFormats, kScale), command(kPlu, kScale)}));
    EXPECT_EQ(memo(), (QStringList{dir.file("a.zal"), u8(upload(kScale, kFormats)), u8(upload(kScale, kPlu))}));
    EXPECT_EQ(status(), kAllSent);

    pressSendByList();  // no list file here
    ASSERT_EQ(boxes.shown.size(), 1u);
    expectBox(0, "Nepodarilo se otevrit soubor seznam.lst", u8("No je do divný!!!"), kMbOk);
}

TEST_F(SendRun, libraryLeavingNoStatus_runnersBoxOwnedByTheBackupDialogWindow) {
    writeFullArchive();
    choose("a.zal");
    scale.silentWords.insert("F38");
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 2u);
    expectBox(0, u8("Nemohu otevřít datový soubor error \nProgram bude ukončen "), u8(" Vážná chyba "), kMbOk,
              saveDialog.get());
    expectBox(1, u8("Chyba komunikace s váhou \nZkontrolujte připojení a opakujte odeslání"), kBadNews,
              kMbOk | kMbIconWarning);
}

// What the status line and the log showed on screen when each transfer started.
TEST_F(SendRun, progressIsOnScreenBeforeEveryTransfer) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* statusBar = child<QStatusBar>(dialog.get(), "StatusBar1");
    auto* memoBox = child<QPlainTextEdit>(dialog.get(), "Memo1");
    struct PaintSpy : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) onPaint();
            return false;
        }
    } statusSpy, memoSpy;
    QString paintedStatus, paintedLine;
    statusSpy.onPaint = [&] { paintedStatus = statusBar->currentMessage(); };
    memoSpy.onPaint = [&] { paintedLine = memoBox->toPlainText().section(QLatin1Char('\n'), -1); };
    statusBar->installEventFilter(&statusSpy);
    memoBox->viewport()->installEventFilter(&memoSpy);

    std::vector<std::pair<QString, QString>> onScreen;
    scale.onCall = [&](const FakeScale::Call&) { onScreen.emplace_back(paintedStatus, paintedLine); };
    writeFullArchive();
    choose("a.zal");
    pressSend();

    ASSERT_EQ(onScreen.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(onScreen[k].first, u8(kProgress[k])) << k;
        EXPECT_EQ(onScreen[k].second, u8(upload(kScale, k))) << k;
    }
    statusBar->removeEventFilter(&statusSpy);
    memoBox->viewport()->removeEventFilter(&memoSpy);
}

TEST_F(SendDialogTest, firstShowing_captionsStatusAndEveryBoxEnabledAndUnticked) {
    EXPECT_EQ(dialog->windowTitle(), u8("Odeslání formátů a textů do váhy"));
    EXPECT_EQ(child<QGroupBox>(dialog.get(), "GroupBox1")->title(), u8("Výběr souborů"));
    EXPECT_EQ(box(kShopName)->text(), u8("Název obchodu"));
    EXPECT_EQ(box(kPresetKeys)->text(), u8("Rychloklávesy"));
    EXPECT_EQ(box(kImage)->text(), u8("Image"));
    EXPECT_EQ(child<QPushButton>(dialog.get(), "BackBtn")->text(), u8("Zpět"));
    EXPECT_EQ(child<QPushButton>(dialog.get(), "SendFormatBtn")->text(), u8("Odeslat"));
    EXPECT_EQ(child<QPushButton>(dialog.get(), "SendByList")->text(), u8("Na seznam"));
    EXPECT_EQ(child<QLabel>(dialog.get(), "Label3")->text(), u8("Záložní soubor"));
    EXPECT_EQ(child<QLabel>(dialog.get(), "Label1")->text(), u8("IP adresa váhy"));
    EXPECT_EQ(status(), u8("Komuniační klídek"));
    EXPECT_EQ(child<QLineEdit>(dialog.get(), "EditScaleNumber")->text(), "192.168.5.2");
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_FALSE(box(k)->isChecked());
        EXPECT_TRUE(box(k)->isEnabled());
    }
}

TEST_F(SendDialogTest, resizing_movesTheRightButtonsGrowsTheLogAndKeepsTheStatusLineAlongTheBottom) {
    const QSize design = dialog->size();
    const QRect sendBefore = child<QWidget>(dialog.get(), "SendFormatBtn")->geometry();
    const QRect fileBefore = child<QWidget>(dialog.get(), "FileSelectBtn")->geometry();
    dialog->resize(design + QSize(100, 60));
    EXPECT_EQ(child<QWidget>(dialog.get(), "SendByList")->geometry(), QRect(331, 361, 75, 25));
    EXPECT_EQ(child<QWidget>(dialog.get(), "BackBtn")->geometry(), QRect(459, 361, 75, 25));
    EXPECT_EQ(child<QWidget>(dialog.get(), "Memo1")->geometry(), QRect(184, 56, 343, 282));
    EXPECT_EQ(child<QWidget>(dialog.get(), "StatusBar1")->geometry(), QRect(0, 400, 535, 19));
    EXPECT_EQ(child<QWidget>(dialog.get(), "SendFormatBtn")->geometry(), sendBefore);
    EXPECT_EQ(child<QWidget>(dialog.get(), "FileSelectBtn")->geometry(), fileBefore);
}

// The first control of the tab order has the focus when the dialog opens.
TEST_F(SendDialogTest, focusStartsAtTheAddress) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), child<QWidget>(dialog.get(), "EditScaleNumber"));
}

}  // namespace
