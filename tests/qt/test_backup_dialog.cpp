// The backup dialog's window: its buttons reach the dialog's logic, and what
// the logic does reaches its controls and the seams' boxes and dialogs.
#include "ArchiveBytes.h"
#include "DataKind.h"
#include "FakeScale.h"
#include "GuiTestSupport.h"
#include "QtText.h"
#include "Saveformat90.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "127.0.0.9";

class BackupDialogWindow : public ::testing::Test {
protected:
    TempWorkDir dir;
    FakeScale scale;
    MessageBoxRecorder boxes;
    FileDialogRecorder fileDialogs;
    std::unique_ptr<TSaveFormatDialog> dialog;

    void SetUp() override {
        scale.seed(kScale);
        dialog = std::make_unique<TSaveFormatDialog>();
        dialog->show();
        child<QLineEdit>(dialog.get(), "EditScaleNumber")->setText(QString::fromStdString(kScale));
    }
    void TearDown() override { dialog->hide(); }
    QStringList memo() const { return lines(child<QPlainTextEdit>(dialog.get(), "Memo1")); }
};

TEST_F(BackupDialogWindow, saveButtonRunsTheBackupOnTheFormsControls) {
    dialog->checkBoxFor(kDataKinds[kFormats])->setChecked(true);
    dialog->checkBoxFor(kDataKinds[kPlu])->setChecked(true);
    fileDialogs.answerNext(dir.file("a.zal"));
    child<QPushButton>(dialog.get(), "SaveToArchive")->click();

    ASSERT_EQ(fileDialogs.asked.size(), 1u);
    EXPECT_EQ(fileDialogs.asked[0].mode, QtFileDialogRequest::Save);
    EXPECT_EQ(fileDialogs.asked[0].owner, dialog.get());
    EXPECT_EQ(fileDialogs.asked[0].directory, QString::fromStdString(dir.path().string()));
    EXPECT_EQ(fileDialogs.asked[0].filters, (QStringList{"Soubory zaloh (*.zal)", u8("Všechny soubory (*.*)")}));
    EXPECT_EQ(readFile(dir.path() / "a.zal"),
              expectedArchive({{34, scale.files[kScale][34]}, {25, scale.files[kScale][25]}}));
    EXPECT_EQ(memo().size(), 9);
    EXPECT_EQ(memo().last(), u8("máte zazálohované!"));
    EXPECT_TRUE(boxes.shown.empty());

    // A second run over the same archive asks first, owned by this window.
    boxes.answerNext(kIdCancel);
    fileDialogs.answerNext(dir.file("a.zal"));
    child<QPushButton>(dialog.get(), "SaveToArchive")->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].owner, dialog.get());
    EXPECT_EQ(boxes.shown[0].flags, kMbOkCancel | kMbIconWarning);
}

TEST_F(BackupDialogWindow, showingAgain_clearsTheTextAndUnticksEveryKind) {
    dialog->checkBoxFor(kDataKinds[kImage])->setChecked(true);
    child<QPlainTextEdit>(dialog.get(), "Memo1")->appendPlainText("line");
    dialog->hide();
    dialog->show();
    EXPECT_TRUE(memo().isEmpty());
    for (const DataKind& kind : kDataKinds) EXPECT_FALSE(dialog->checkBoxFor(kind)->isChecked()) << kind.name;
    EXPECT_EQ(dialog->checkBoxFor(kDataKinds[kImage])->text(), u8("Image soubor"));
}

// Clicks made while a transfer blocks the window are dropped, not replayed
// once the run is over: no second run, no closing before the verdict is read.
TEST_F(BackupDialogWindow, clicksQueuedDuringATransfer_areDropped) {
    auto post = [](QWidget* button) {
        const QPointF at(5, 5);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QApplication::postEvent(button, new QMouseEvent(type, at, button->mapToGlobal(at), Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
    };
    bool waitCursor = false;
    scale.onCall = [&](const FakeScale::Call&) {
        waitCursor = dialog->cursor().shape() == Qt::WaitCursor;
        post(child<QPushButton>(dialog.get(), "SaveToArchive"));
        post(child<QPushButton>(dialog.get(), "EndBtn"));
    };
    dialog->checkBoxFor(kDataKinds[kFormats])->setChecked(true);
    fileDialogs.answerNext(dir.file("a.zal"));
    child<QPushButton>(dialog.get(), "SaveToArchive")->click();
    QApplication::processEvents();

    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(fileDialogs.asked.size(), 1u);
    EXPECT_EQ(scale.calls.size(), 1u);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(memo().last(), u8("máte zazálohované!"));
}

}  // namespace
