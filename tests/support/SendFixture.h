// The send dialog's logic driven through its handlers, with the backup
// dialog's logic beside it (the owner of the runner's box), each on its own
// recording window; SendDialogTest adds the in-process fake library.
#pragma once

#include "BackupDialog.h"
#include "DataKind.h"
#include "FakePort.h"
#include "FakeScale.h"
#include "KindArchive.h"
#include "ScratchFolder.h"
#include "SendDialog.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

namespace zalohy::test {

using Lines = std::vector<std::string>;
inline const std::string kBadNews = "Ne zrovna dobrá zpráva";
inline const std::string kAllSent = "Navolené datové soubory jsou odeslány";
inline const std::string kNameReminder = "Zadejte název zálohy tlačítkem ... ";
inline const std::string kNameReminderCaption = "Upozornění na zapomenutou věc";

class SendDialogs : public ::testing::Test {
protected:
    ScratchFolder dir{"zalohy-send-", true};
    BoxLog boxes;
    FakePort backupPort{boxes, kBackupDialogForm};
    FakePort port{boxes, kSendDialogForm};
    std::unique_ptr<BackupDialog> backup;
    std::unique_ptr<SendDialog> dialog;
    RunResult run;          // what the last send to one scale came to
    ListRunResult listRun;  // and the last send to the list

    void SetUp() override {
        backup = std::make_unique<BackupDialog>(backupPort);
        dialog = std::make_unique<SendDialog>(port, *backup);
        dialog->FormActivate();
    }

    static std::string member(std::size_t k) { return kindMember(k); }
    // Writes an archive holding these kinds, appended in the order given.
    void writeArchive(const std::string& name, std::initializer_list<std::size_t> kinds) {
        writeFile(dir.path() / name, archiveOfKinds(kinds));
    }
    void writeFullArchive(const std::string& name = "a.zal") { writeFile(dir.path() / name, archiveOfEveryKind()); }

    bool ticked(std::size_t k) const { return port.isChecked(kDataKinds[k].checkBox); }
    bool enabled(std::size_t k) const { return port.isEnabled(kDataKinds[k].checkBox); }
    void setTicked(std::size_t k, bool tick) { port.setChecked(kDataKinds[k].checkBox, tick); }
    void tick(std::initializer_list<std::size_t> kinds) {
        for (std::size_t k : kinds) setTicked(k, true);
    }
    void tickAll() { tick({kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage}); }

    std::string file(const std::string& name) const { return (dir.path() / name).string(); }
    std::vector<std::string> files() const {
        const auto names = dir.entries();
        return {names.begin(), names.end()};
    }
    void choose(const std::string& name) {
        port.fileAnswers.push_back(file(name));
        dialog->FileSelectBtnClick();
    }
    // An archive name typed by hand instead of chosen.
    void typeArchiveName(const std::string& name) { port.setEditText(Control::EdFileName, name); }
    void setAddress(const std::string& address) { port.setEditText(Control::EditScaleNumber, address); }
    void pressSend() { run = dialog->SendFormatBtnClick(); }
    void pressSendByList() { listRun = dialog->SendByListClick(); }

    const Lines& memo() const { return port.log; }
    const std::string& status() const { return port.status; }
    std::string archiveName() const { return port.editText(Control::EdFileName); }

    static std::string upload(const std::string& address, std::size_t k) {
        return scaleFileName(address, kDataKinds[k].uploadSuffix);
    }
    static std::string command(std::size_t k, const std::string& address) {
        return std::string(kDataKinds[k].uploadWord) + " " + address;
    }

    void expectBox(std::size_t i, const std::string& text, const std::string& caption, unsigned flags,
                   const FakePort* owner = nullptr) const {
        ASSERT_LT(i, boxes.shown.size());
        EXPECT_EQ(boxes.shown[i].text, text);
        EXPECT_EQ(boxes.shown[i].caption, caption);
        EXPECT_EQ(boxes.shown[i].flags, flags);
        EXPECT_EQ(boxes.shown[i].owner, owner ? owner : &port);
    }
    void expectWarning(std::size_t i, const char* text) const {
        expectBox(i, text, kBadNews, kMbOk | kMbIconWarning);
    }
};

class SendDialogTest : public SendDialogs {
protected:
    FakeScale scale;
};

}  // namespace zalohy::test
