// The send dialog driven through its buttons, with the backup dialog beside it
// (the owner of the runner's box), and the file dialog and message boxes
// answered through their seams; SendDialogTest adds the in-process fake
// library.
#pragma once

#include "DataKind.h"
#include "FakeScale.h"
#include "KindArchive.h"
#include "QtText.h"
#include "GuiTestSupport.h"
#include "Saveformat90.h"
#include "Sendformat90.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

#include <initializer_list>
#include <memory>

namespace zalohy::test {

inline const QString kBadNews = u8("Ne zrovna dobrá zpráva");
inline const QString kAllSent = u8("Navolené datové soubory jsou odeslány");
inline const QString kNameReminder = u8("Zadejte název zálohy tlačítkem ... ");
inline const QString kNameReminderCaption = u8("Upozornění na zapomenutou věc");

class SendDialogs : public ::testing::Test {
protected:
    TempWorkDir dir;
    MessageBoxRecorder boxes;
    FileDialogRecorder fileDialogs;
    std::unique_ptr<TSaveFormatDialog> saveDialog;
    std::unique_ptr<TSendFormatFrm> dialog;

    void SetUp() override {
        saveDialog = std::make_unique<TSaveFormatDialog>();
        dialog = std::make_unique<TSendFormatFrm>(saveDialog->logic());
        dialog->show();
    }
    void TearDown() override {
        dialog->hide();
        saveDialog->hide();
    }

    static std::string member(std::size_t k) { return kindMember(k); }
    // Writes an archive holding these kinds, appended in the order given.
    void writeArchive(const std::string& name, std::initializer_list<std::size_t> kinds) {
        writeFile(dir.path() / name, archiveOfKinds(kinds));
    }
    void writeFullArchive(const std::string& name = "a.zal") { writeFile(dir.path() / name, archiveOfEveryKind()); }

    QCheckBox* box(std::size_t k) const { return child<QCheckBox>(dialog.get(), kDataKinds[k].checkBox); }
    void tick(std::initializer_list<std::size_t> kinds) {
        for (std::size_t k : kinds) box(k)->setChecked(true);
    }
    void tickAll() { tick({kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage}); }

    void choose(const std::string& name) {
        fileDialogs.answerNext(dir.file(name));
        child<QPushButton>(dialog.get(), "FileSelectBtn")->click();
    }
    // An archive name typed by hand instead of chosen.
    void typeArchiveName(const QString& name) { child<QLineEdit>(dialog.get(), "EdFileName")->setText(name); }
    void setAddress(const QString& address) { child<QLineEdit>(dialog.get(), "EditScaleNumber")->setText(address); }
    void pressSend() { child<QPushButton>(dialog.get(), "SendFormatBtn")->click(); }
    void pressSendByList() { child<QPushButton>(dialog.get(), "SendByList")->click(); }

    QStringList memo() const { return lines(child<QPlainTextEdit>(dialog.get(), "Memo1")); }
    QString status() const { return child<QStatusBar>(dialog.get(), "StatusBar1")->currentMessage(); }
    QString archiveName() const { return child<QLineEdit>(dialog.get(), "EdFileName")->text(); }

    static std::string upload(const std::string& address, std::size_t k) {
        return scaleFileName(address, kDataKinds[k].uploadSuffix);
    }
    static std::string command(std::size_t k, const std::string& address) {
        return std::string(kDataKinds[k].uploadWord) + " " + address;
    }

    void expectBox(std::size_t i, const QString& text, const QString& caption, unsigned flags,
                   QWidget* owner = nullptr) const {
        ASSERT_LT(i, boxes.shown.size());
        EXPECT_EQ(boxes.shown[i].text, text);
        EXPECT_EQ(boxes.shown[i].caption, caption);
        EXPECT_EQ(boxes.shown[i].flags, flags);
        EXPECT_EQ(boxes.shown[i].owner, owner ? owner : dialog.get());
    }
    void expectWarning(std::size_t i, const char* text) const {
        expectBox(i, u8(text), kBadNews, kMbOk | kMbIconWarning);
    }
};

class SendDialogTest : public SendDialogs {
protected:
    FakeScale scale;
};

}  // namespace zalohy::test
