// The send dialog: choosing an archive, the send run to one scale, and what
// every showing of the dialog resets.
#include "SendFixture.h"

#include <filesystem>

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "192.168.5.2";  // only ever handed to the fake library

struct Expected {
    const char* progress;
    const char* extraction;
    const char* transfer;
    const char* notSent;
};
const char* const kCheckConnection = "Chyba komunikace s váhou \nZkontrolujte připojení a opakujte odeslání";
const Expected kExpected[] = {
    {"Odesílají se formáty", "Nepodařilo se extrahovat soubor fromátů z archivu", kCheckConnection,
     "Data formátů nebyla odeslána"},
    {"Odesílají se Texty", "Nepodařilo se extrahovat soubor textů z archivu", kCheckConnection,
     "Data textů nebyla odeslána"},
    {"Odesílá se název obchodu", "Nepodařilo se extrahovat soubor názvu obchodu z archivu",
     "Chyba komunikace s váhou \nZkontrolujte zadání", "Data názvu obchodu nebyla odeslána"},
    {"Odesílá se rozložení kláves", "Nepodařilo se extrahovat soubor kláves z archivu", kCheckConnection,
     "Data rozložení kláves nebyla odeslána"},
    {"Odesílá se PLU data", "Nepodařilo se extrahovat soubor PLU z archivu", kCheckConnection,
     "Data PLU nebyla odeslána"},
    {"Odesílá se Image data", "Nepodařilo se extrahovat soubor Image z archivu", kCheckConnection,
     "Data Image nebyla odeslána"},
};

class ChooseArchive : public SendDialogTest {
protected:
    void expectKinds(std::initializer_list<std::size_t> present, const std::string& what) {
        for (std::size_t k = 0; k < kDataKinds.size(); ++k) {
            const bool expected = std::find(present.begin(), present.end(), k) != present.end();
            EXPECT_EQ(ticked(k), expected) << what << ": " << kDataKinds[k].name;
            EXPECT_EQ(enabled(k), expected) << what << ": " << kDataKinds[k].name;
        }
    }
};

TEST_F(ChooseArchive, ticksAndEnablesExactlyTheKindsTheArchiveHolds) {
    writeArchive("formats-plu.zal", {kPlu, kFormats});
    writeArchive("some.zal", {kImage, kShopName, kTexts});
    writeFullArchive("full");  // saved without an extension
    writeArchive("empty.zal", {});

    choose("formats-plu.zal");
    expectKinds({kFormats, kPlu}, "formats and PLU");
    choose("full");
    expectKinds({kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage}, "all six");
    choose("some.zal");
    expectKinds({kTexts, kShopName, kImage}, "three");
    choose("empty.zal");
    expectKinds({}, "header only");

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(archiveName(), file("empty.zal"));
    // Each choice adds its path to the log.
    EXPECT_EQ(memo(), (Lines{file("formats-plu.zal"), file("full"), file("some.zal"),
                                   file("empty.zal")}));

    ASSERT_EQ(port.fileAsked.size(), 4u);
    const FileDialogRequest& asked = port.fileAsked[0];
    EXPECT_EQ(asked.mode, FileDialogRequest::Open);
    EXPECT_EQ(asked.directory, dir.path().string());
    EXPECT_EQ(asked.filters, (std::vector<FileFilter>{{"Soubory zaloh (*.zal)", "*.zal"}, {"Všechny soubory (*.*)", "*.*"}}));
    EXPECT_EQ(asked.filterIndex, 0);
}

TEST_F(ChooseArchive, cancelled_changesNothing) {
    writeFullArchive();
    choose("a.zal");
    setTicked(kTexts, false);
    port.fileAnswers.push_back(std::nullopt);
    dialog->FileSelectBtnClick();

    EXPECT_EQ(archiveName(), file("a.zal"));
    EXPECT_EQ(memo(), Lines{file("a.zal")});
    EXPECT_FALSE(ticked(kTexts));
    EXPECT_TRUE(enabled(kTexts));
    EXPECT_TRUE(ticked(kFormats));
}

TEST_F(ChooseArchive, unreadableDirectory_containersBoxThenNothingCanBeTicked) {
    writeFullArchive();
    writeFile(dir.path() / "short.zal", "not an archive");
    std::string pastTheEnd = expectedArchive({{34, "formats"}});
    pastTheEnd.resize(pastTheEnd.size() - 2);  // the member runs past the end
    writeFile(dir.path() / "cut.zal", pastTheEnd);

    for (const char* name : {"missing.zal", "short.zal", "cut.zal"}) {
        choose("a.zal");
        boxes.shown.clear();
        choose(name);
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        expectBox(0, "Nepodarilo se otevrit archivni soubor", file(name), kMbOk);
        expectKinds({}, name);
        EXPECT_EQ(archiveName(), file(name));
        EXPECT_EQ(memo().back(), file(name));
    }
}

TEST_F(ChooseArchive, writeProtectedArchive_showsItsKindsButFailsAtTheFirstExtraction) {
    writeArchive("a.zal", {kFormats, kTexts});
    std::filesystem::permissions(dir.path() / "a.zal", std::filesystem::perms::owner_read);
    choose("a.zal");
    expectKinds({kFormats, kTexts}, "read-only");
    EXPECT_TRUE(boxes.shown.empty());

    setAddress(std::string(kScale));
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 2u);
    expectBox(0, "Nepodarilo se otevrit soubor", "", kMbOk);
    expectWarning(1, kExpected[kFormats].extraction);
    EXPECT_TRUE(scale.calls.empty());
}

class SendRun : public SendDialogTest {
protected:
    void SetUp() override {
        SendDialogTest::SetUp();
        setAddress(std::string(kScale));
    }
};

TEST_F(SendRun, allSixKinds_sentInTableOrderAndTheirFilesDeleted) {
    writeFullArchive();
    choose("a.zal");
    pressSend();

    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().front();
    EXPECT_EQ(status(), kAllSent);
    EXPECT_TRUE(run.complete);
    for (const KindOutcome& kind : run.kinds) EXPECT_TRUE(kind.tried && kind.done && kind.status == 0);
    Lines expectedLog{file("a.zal")};
    std::vector<std::string> expectedCommands;
    for (std::size_t k = 0; k < 6; ++k) {
        expectedLog.push_back(upload(kScale, k));
        expectedCommands.push_back(command(k, kScale));
        EXPECT_EQ(scale.files[kScale][kDataKinds[k].id], member(k)) << kDataKinds[k].name;
    }
    EXPECT_EQ(memo(), expectedLog);
    EXPECT_EQ(scale.commands(), expectedCommands);
    for (const FakeScale::Call& call : scale.calls) {
        EXPECT_EQ(call.argc, 3);
        EXPECT_EQ(call.argv.at(0), "twswtcp");
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error"}));
}

TEST_F(SendRun, untickedKinds_areNotSent) {
    writeFullArchive();
    choose("a.zal");
    setTicked(kFormats, false);
    setTicked(kPresetKeys, false);
    pressSend();
    EXPECT_EQ(scale.commands(), (std::vector<std::string>{command(kTexts, kScale), command(kShopName, kScale),
                                                          command(kPlu, kScale), command(kImage, kScale)}));
}

class SendRunPerKind : public SendRun, public ::testing::WithParamInterface<std::size_t> {
protected:
    // Every kind ticked by hand, with the name of an archive holding all
    // kinds but one typed in.
    void tickAllWithArchiveWithout(std::size_t missing) {
        std::vector<std::pair<int, std::string>> members;
        for (std::size_t k = 0; k < 6; ++k)
            if (k != missing) members.emplace_back(kDataKinds[k].id, member(k));
        writeFile(dir.path() / "a.zal", expectedArchive(members));
        typeArchiveName(file("a.zal"));
        tickAll();
    }
    std::vector<std::string> commandsBefore(std::size_t k) const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < k; ++i) out.push_back(command(i, kScale));
        return out;
    }
    Lines uploadsUpTo(std::size_t k) const {
        Lines out;
        for (std::size_t i = 0; i <= k; ++i) out.push_back(upload(kScale, i));
        return out;
    }
};

TEST_P(SendRunPerKind, memberMissing_warnsWithTheKindsTextAndEndsTheRun) {
    const std::size_t missing = GetParam();
    tickAllWithArchiveWithout(missing);

    pressSend();
    ASSERT_EQ(boxes.shown.size(), 1u);
    expectWarning(0, kExpected[missing].extraction);
    EXPECT_EQ(status(), std::string(kExpected[missing].progress));
    EXPECT_EQ(memo(), uploadsUpTo(missing));
    EXPECT_EQ(scale.commands(), commandsBefore(missing));
    // Sent kinds' files are gone; the missing member made no file.
    const std::vector<std::string> left =
        missing == 0 ? std::vector<std::string>{"a.zal"} : std::vector<std::string>{"a.zal", "error"};
    EXPECT_EQ(files(), left);
}

TEST_P(SendRunPerKind, transferFailure_warnsShowsNotSentAndKeepsOnlyThatUploadFile) {
    const std::size_t failing = GetParam();
    writeFullArchive();
    typeArchiveName(file("a.zal"));
    tickAll();
    scale.failingWords.insert(kDataKinds[failing].uploadWord);

    pressSend();
    ASSERT_EQ(boxes.shown.size(), 1u);
    expectWarning(0, kExpected[failing].transfer);
    EXPECT_EQ(status(), std::string(kExpected[failing].notSent));
    EXPECT_EQ(memo(), uploadsUpTo(failing));
    EXPECT_FALSE(run.complete);
    EXPECT_EQ(run.failedStatus(), 7);
    EXPECT_EQ(run.kinds[failing].tried && !run.kinds[failing].done, true);
    auto expectedCommands = commandsBefore(failing);
    expectedCommands.push_back(command(failing, kScale));
    EXPECT_EQ(scale.commands(), expectedCommands);

    std::vector<std::string> left{"a.zal", "error", upload(kScale, failing)};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(files(), left);
    EXPECT_EQ(readFile(dir.path() / upload(kScale, failing)), member(failing));
}

INSTANTIATE_TEST_SUITE_P(EachKind, SendRunPerKind, ::testing::Range<std::size_t>(0, 6),
                         [](const auto& info) { return std::string(controlName(kDataKinds[info.param].checkBox)).substr(8); });

TEST_F(SendRun, missingArchive_containersBoxThenTheExtractionWarning) {
    typeArchiveName(file("gone.zal"));
    tick({kTexts, kPlu});
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 2u);
    expectBox(0, "Nepodarilo se otevrit soubor", "", kMbOk);
    expectWarning(1, kExpected[kTexts].extraction);
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(status(), std::string(kExpected[kTexts].progress));
}

TEST_F(SendRun, shortArchiveName_remindsAndTheRunGoesOn) {
    // Nothing ticked: only the reminder and the closing status.
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 1u);
    expectBox(0, kNameReminder, kNameReminderCaption, kMbOk | kMbIconWarning);
    EXPECT_EQ(status(), kAllSent);
    EXPECT_TRUE(memo().empty());

    // A name of four characters that does name an archive is still used.
    writeArchive("a.za", {kFormats});
    typeArchiveName("a.za");
    tick({kFormats});
    boxes.shown.clear();
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kNameReminder);
    EXPECT_EQ(scale.commands(), std::vector<std::string>{command(kFormats, kScale)});
    EXPECT_EQ(status(), kAllSent);

    // Five characters are enough.
    writeArchive("a.zal", {kFormats});
    typeArchiveName("a.zal");
    boxes.shown.clear();
    pressSend();
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SendRun, archiveNamedLikeAnUploadFileOfTheRun_isRefusedBeforeAnythingIsExtracted) {
    writeFullArchive(upload(kScale, kImage));
    choose(upload(kScale, kImage));
    const std::string before = readFile(dir.path() / upload(kScale, kImage));
    boxes.shown.clear();
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, kBadNews);
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(readFile(dir.path() / upload(kScale, kImage)), before);
}

TEST_F(SendRun, addressesThatCannotNameAScale_areRefusedBeforeAnythingElse) {
    writeFullArchive();
    choose("a.zal");
    const std::string refused[] = {"",       std::string(38, '1'), "192.168.5.2 x",        "..\\192",
                                   "../192", "192\t1",             "192.168.5.2\xC2\xA0", "váha"};
    for (const std::string& address : refused) {
        boxes.shown.clear();
        setAddress(address);
        pressSend();
        ASSERT_EQ(boxes.shown.size(), 1u) << address;
        EXPECT_EQ(boxes.shown[0].caption, kBadNews);
        EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
        EXPECT_EQ(boxes.shown[0].owner, &port);
    }
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(files(), std::vector<std::string>{"a.zal"});
    EXPECT_EQ(status(), std::string("Komuniační klídek"));

    // 37 characters still fit the command line.
    const std::string longest(37, '7');
    setAddress(std::string(longest));
    boxes.shown.clear();
    pressSend();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(scale.calls.size(), 6u);
    EXPECT_EQ(scale.calls[0].argv.at(2), longest);
}

TEST_F(SendRun, libraryLeavingNoStatus_runnersBoxOwnedByTheBackupDialogThenTheFailure) {
    writeFullArchive();
    choose("a.zal");
    scale.silentWords.insert("F38");
    pressSend();
    ASSERT_EQ(boxes.shown.size(), 2u);
    expectBox(0, std::string("Nemohu otevřít datový soubor error \nProgram bude ukončen "), std::string(" Vážná chyba "), kMbOk,
              &backupPort);
    expectWarning(1, kExpected[kTexts].transfer);
    EXPECT_EQ(status(), std::string(kExpected[kTexts].notSent));
}

// What the status line and the log showed on screen when each transfer
// started, and that the window was busy meanwhile.
TEST_F(SendRun, progressIsOnScreenBeforeEveryTransfer) {
    std::vector<std::pair<std::string, std::string>> onScreen;
    scale.onCall = [&](const FakeScale::Call&) {
        onScreen.emplace_back(port.paintedStatus, port.paintedLog.back());
        EXPECT_TRUE(port.busy);
    };
    writeFullArchive();
    choose("a.zal");
    pressSend();

    ASSERT_EQ(onScreen.size(), 6u);
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(onScreen[k].first, kExpected[k].progress) << k;
        EXPECT_EQ(onScreen[k].second, upload(kScale, k)) << k;
    }
    EXPECT_FALSE(port.busy);
}

TEST_F(SendDialogTest, creation_captionsFromTheTableAndTheCreationHandler) {
    EXPECT_EQ(port.caption(Control::Window), "Odeslání formátů a textů do váhy");
    EXPECT_EQ(port.caption(Control::GroupBox1), "Výběr souborů");
    EXPECT_EQ(port.caption(Control::CheckBoxShopName), "Název obchodu");
    EXPECT_EQ(port.caption(Control::CheckBoxPresety), "Rychloklávesy");
    EXPECT_EQ(port.caption(Control::CheckBoxImg), "Image");
    EXPECT_EQ(port.caption(Control::BackBtn), "Zpět");
    EXPECT_EQ(port.caption(Control::SendFormatBtn), "Odeslat");
    EXPECT_EQ(status(), "Komuniační klídek");
}

TEST_F(SendDialogTest, showingAgain_resetsAllButTheImageBoxTheEnabledStatesAndTheAddress) {
    writeArchive("a.zal", {kFormats, kTexts, kPlu, kImage});
    choose("a.zal");
    setAddress("127.0.0.7");
    pressSend();
    ASSERT_EQ(status(), kAllSent);

    dialog->FormActivate();

    EXPECT_TRUE(memo().empty());
    EXPECT_TRUE(archiveName().empty());
    EXPECT_EQ(status(), std::string("Komuniační klídek"));
    EXPECT_EQ(port.editText(Control::EditScaleNumber), "127.0.0.7");
    for (std::size_t k : {kFormats, kTexts, kShopName, kPresetKeys, kPlu}) EXPECT_FALSE(ticked(k));
    EXPECT_TRUE(ticked(kImage));
    for (std::size_t k : {kFormats, kTexts, kPlu, kImage}) EXPECT_TRUE(enabled(k));
    EXPECT_FALSE(enabled(kShopName));
    EXPECT_FALSE(enabled(kPresetKeys));
}

}  // namespace
