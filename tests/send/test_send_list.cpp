// The send run to every scale of "seznam.lst".
#include "SendFixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace zalohy;
using namespace zalohy::test;

namespace {

// Only ever handed to the fake library.
const std::string kFirst = "192.168.5.2";
const std::string kSecond = "192.168.5.3";
const std::string kThird = "192.168.5.4";

const char* const kListProgress[] = {"Odesílají se formáty", "Odesílají se Texty", "Odesílá se název obchodu",
                                     "Odesílá se rozložení kláves", "Odesílá se PLU soubor"};
const char* const kFailureLine[] = {
    "Chyba komunikace s váhou Data formátů nebyla odeslána",
    "Chyba komunikace s váhou Data textu nebyla odeslána",
    "Chyba komunikace s váhou Data nazvu obchodu nebyla odeslána",
    "Chyba komunikace s váhou Data přířazení kláves nebyla odeslána",
    "Chyba komunikace s váhou Data PLU nebyla odeslána",
};

class SendToList : public SendDialogTest {
protected:
    void SetUp() override {
        SendDialogTest::SetUp();
        writeFullArchive();
        choose("a.zal");
        for (std::size_t k = 0; k < 6; ++k) setTicked(k, false);
        // The address box is not used by this run.
        setAddress("");
    }
    void writeList(const std::string& text) { writeFile(dir.path() / "seznam.lst", text); }
    // The log after the archive's path.
    Lines runLog() const { return Lines(memo().begin() + 1, memo().end()); }
    std::vector<std::string> calledScales() const {
        std::vector<std::string> out;
        for (const FakeScale::Call& call : scale.calls)
            if (out.empty() || out.back() != call.argv.at(2)) out.push_back(call.argv.at(2));
        return out;
    }
};

TEST_F(SendToList, twoScalesFormatsAndPlu_eachGetsBothWithTheEmptyBoxBeforeEveryPluStep) {
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kFormats, kPlu});
    std::vector<std::string> statusAtCall;
    scale.onCall = [&](const FakeScale::Call&) { statusAtCall.push_back(status()); };
    std::vector<std::pair<std::size_t, std::string>> atEmptyBox;  // calls made, last log line
    boxes.onShow = [&](const ShownBox&) { atEmptyBox.emplace_back(scale.calls.size(), memo().back()); };
    pressSendByList();

    EXPECT_EQ(runLog(), (Lines{std::string(upload(kFirst, kFormats)), std::string(upload(kFirst, kPlu)),
                                     std::string(upload(kSecond, kFormats)), std::string(upload(kSecond, kPlu)), kAllSent}));
    EXPECT_EQ(scale.commands(), (std::vector<std::string>{command(kFormats, kFirst), command(kPlu, kFirst),
                                                          command(kFormats, kSecond), command(kPlu, kSecond)}));
    EXPECT_EQ(statusAtCall, (std::vector<std::string>{std::string(kListProgress[kFormats]), std::string(kListProgress[kPlu]),
                                                  std::string(kListProgress[kFormats]), std::string(kListProgress[kPlu])}));
    EXPECT_EQ(status(), kAllSent);
    EXPECT_TRUE(listRun.complete);
    EXPECT_EQ(listRun.lines, runLog());

    ASSERT_EQ(boxes.shown.size(), 2u);
    expectBox(0, "", "", kMbOk);
    expectBox(1, "", "", kMbOk);
    EXPECT_EQ(atEmptyBox, (std::vector<std::pair<std::size_t, std::string>>{{1, std::string(upload(kFirst, kFormats))},
                                                                        {3, std::string(upload(kSecond, kFormats))}}));

    for (const std::string& address : {kFirst, kSecond}) {
        EXPECT_EQ(scale.files[address][34], member(kFormats));
        EXPECT_EQ(scale.files[address][25], member(kPlu));
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error", "seznam.lst"}));
}

// How the lines of the list decide which scales are visited.
struct ListCase {
    const char* name;
    std::string list;
    std::vector<std::string> scales;
    bool toTheEnd;  // the end of the file was reached: the status line says so too
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class SendToListLines : public SendToList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(SendToListLines, visitTheScalesTheListNames) {
    const ListCase& c = GetParam();
    writeList(c.list);
    tick({kFormats});
    pressSendByList();

    EXPECT_EQ(calledScales(), c.scales);
    EXPECT_EQ(runLog().back(), kAllSent);
    EXPECT_EQ(status(), c.toTheEnd ? kAllSent : c.scales.empty() ? std::string("Komuniační klídek")
                                                                  : std::string(kListProgress[kFormats]));
    EXPECT_TRUE(boxes.shown.empty());
}

const std::string kNote = " pokladna u vchodu\n";
INSTANTIATE_TEST_SUITE_P(
    Lines, SendToListLines,
    ::testing::Values(
        ListCase{"emptyFile", "", {}, true},
        ListCase{"blankLineEndsTheList", kFirst + "\n\n" + kSecond + "\n", {kFirst}, false},
        ListCase{"lineOfFourEndsTheList", kFirst + "\n123\n" + kSecond + "\n", {kFirst}, false},
        ListCase{"lineOfFiveIsAnEntry", kFirst + "\n1234\n" + kSecond + "\n", {kFirst, "1234", kSecond}, true},
        ListCase{"noteAfterTheAddress", kFirst + kNote + kSecond + "\t" + kNote, {kFirst, kSecond}, true},
        ListCase{"lastLineWithoutLineBreak", kFirst + "\n" + kSecond, {kFirst, kSecond}, true},
        ListCase{"crLfLineEnds", kFirst + "\r\n" + kSecond + "\r\n\r\n" + kThird + "\r\n", {kFirst, kSecond}, false},
        ListCase{"line38", kFirst + std::string(27, ' ') + "\n" + kSecond + "\n", {kFirst, kSecond}, true},
        ListCase{"line42RestEndsTheList", kFirst + std::string(27, ' ') + "abc\n" + kSecond + "\n", {kFirst}, false},
        ListCase{"line43RestIsAnEntry", kFirst + std::string(28, ' ') + "abcd\n" + kSecond + "\n",
                 {kFirst, "abcd", kSecond}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendToList, unusableLines_areSkippedWithALogLineAndTheRunGoesOn) {
    writeList(kFirst + "\n \t   \n" + std::string(38, '1') + "\n..\\x\n" + kSecond + "\n");
    tick({kFormats});
    pressSendByList();

    EXPECT_EQ(calledScales(), (std::vector<std::string>{kFirst, kSecond}));
    EXPECT_EQ(runLog(), (Lines{std::string(upload(kFirst, kFormats)),
                                     std::string("Řádek 2 souboru seznam.lst přeskočen: Není zadána IP adresa váhy."),
                                     std::string("Řádek 3 souboru seznam.lst přeskočen: Adresa váhy je delší než 37 znaků."),
                                     std::string("Řádek 4 souboru seznam.lst přeskočen: Adresa váhy nesmí obsahovat znaky / a \\."),
                                     std::string(upload(kSecond, kFormats)), kAllSent}));
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error", "seznam.lst"}));
}

class SendToListNoFile : public SendToList, public ::testing::WithParamInterface<const char*> {};

// A list that is missing, or no regular file (nothing read from it, no wait
// for a writer): the box of a missing list, nothing sent.
TEST_P(SendToListNoFile, boxAndNothingSent) {
    const std::string kind = GetParam();
#ifndef _WIN32
    if (kind == "fifo") {
        ASSERT_EQ(::mkfifo((dir.path() / "seznam.lst").c_str(), 0600), 0);
    }
#endif
    if (kind == "folder") std::filesystem::create_directory(dir.path() / "seznam.lst");
    tick({kFormats});
    pressSendByList();
    ASSERT_EQ(boxes.shown.size(), 1u);
    expectBox(0, "Nepodarilo se otevrit soubor seznam.lst", std::string("No je do divný!!!"), kMbOk);
    EXPECT_TRUE(runLog().empty());
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(status(), std::string("Komuniační klídek"));
}

INSTANTIATE_TEST_SUITE_P(Lists, SendToListNoFile, ::testing::Values("missing", "folder"
#ifndef _WIN32
                                                                     , "fifo"
#endif
                                                                     ));

TEST_F(SendToList, imageKind_isNeverSent) {
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kImage});
    pressSendByList();
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(runLog(), Lines{kAllSent});
    EXPECT_EQ(status(), kAllSent);

    tickAll();
    pressSendByList();
    EXPECT_EQ(scale.calls.size(), 10u);
    for (const FakeScale::Call& call : scale.calls) EXPECT_NE(call.argv.at(1), "F67");
}

TEST_F(SendToList, failedTransfers_areOnlyLoggedAndTheirFilesDeleted) {
    writeList(kFirst + "\n" + kSecond + "\n" + kThird + "\n");
    tick({kFormats, kTexts, kShopName, kPresetKeys, kPlu});
    scale.failingAddresses.insert(kSecond);
    scale.failingWords.insert("F52");
    pressSendByList();

    Lines expected;
    for (const std::string& address : {kFirst, kSecond, kThird}) {
        for (std::size_t k = 0; k < 5; ++k) {
            expected.push_back(upload(address, k));
            if (address == kSecond || k == kShopName) expected.push_back(kFailureLine[k]);
        }
    }
    expected.push_back("Odeslání se nezdařilo u 3 z 3 vah");
    EXPECT_EQ(runLog(), expected);
    EXPECT_EQ(listRun.lines, expected);
    EXPECT_EQ(std::make_tuple(listRun.complete, listRun.stopped, listRun.visited, listRun.failed),
              std::make_tuple(false, false, 3, 3));
    EXPECT_EQ(status(), "Odeslání se nezdařilo u 3 z 3 vah");
    // Only the three empty boxes before the PLU steps.
    ASSERT_EQ(boxes.shown.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) expectBox(i, "", "", kMbOk);
    EXPECT_EQ(scale.calls.size(), 15u);
    EXPECT_EQ(scale.files[kThird][41], member(kPresetKeys));
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error", "seznam.lst"}));
}

TEST_F(SendToList, memberMissing_endsTheWholeRunAtTheFirstScale) {
    writeArchive("b.zal", {kFormats, kPlu});
    typeArchiveName(file("b.zal"));
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kFormats, kTexts, kPlu});
    pressSendByList();

    ASSERT_EQ(boxes.shown.size(), 1u);
    expectWarning(0, "Nepodařilo se extrahovat soubor textů z archivu");
    EXPECT_EQ(scale.commands(), std::vector<std::string>{command(kFormats, kFirst)});
    EXPECT_EQ(runLog(), (Lines{std::string(upload(kFirst, kFormats)), std::string(upload(kFirst, kTexts))}));
    EXPECT_EQ(status(), std::string(kListProgress[kTexts]));
    EXPECT_TRUE(listRun.stopped && !listRun.complete);
}

TEST_F(SendToList, shortArchiveName_remindsThenTheMissingArchiveEndsTheRun) {
    typeArchiveName("");
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kFormats});
    pressSendByList();

    ASSERT_EQ(boxes.shown.size(), 3u);
    expectBox(0, kNameReminder, kNameReminderCaption, kMbOk | kMbIconWarning);
    expectBox(1, "Nepodarilo se otevrit soubor", "", kMbOk);
    expectWarning(2, "Nepodařilo se extrahovat soubor fromátů z archivu");
    EXPECT_TRUE(scale.calls.empty());
}

TEST_F(SendToList, libraryLeavingNoStatus_runnersBoxOwnedByTheBackupDialogAndTheRunGoesOn) {
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kTexts});
    scale.silentWords.insert("F38");
    writeFile(dir.path() / "error", "5\n");
    pressSendByList();

    ASSERT_EQ(boxes.shown.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i)
        expectBox(i, std::string("Nemohu otevřít datový soubor error \nProgram bude ukončen "), std::string(" Vážná chyba "), kMbOk,
                  &backupPort);
    EXPECT_EQ(runLog(), (Lines{std::string(upload(kFirst, kTexts)), std::string(kFailureLine[kTexts]),
                                     std::string(upload(kSecond, kTexts)), std::string(kFailureLine[kTexts]),
                                     "Odeslání se nezdařilo u 2 z 2 vah"}));
}

// A run in which a scale did not get everything never ends with the words
// that everything was sent; the count leaves out unusable lines.
TEST_F(SendToList, oneScaleFailing_theEndLineSaysHowManyDidNotGetEverything) {
    writeList(kFirst + "\n..\\x\n" + kSecond + "\n" + kThird + "\n");
    tick({kFormats, kTexts});
    // Only the formats of the second scale fail.
    scale.onCall = [&](const FakeScale::Call& call) {
        if (call.argv.at(2) == kSecond) scale.failingWords.insert("F34");
        else scale.failingWords.erase("F34");
    };
    pressSendByList();
    EXPECT_EQ(runLog().back(), "Odeslání se nezdařilo u 1 z 3 vah");
    EXPECT_EQ(status(), "Odeslání se nezdařilo u 1 z 3 vah");
    EXPECT_EQ(scale.calls.size(), 6u);
    EXPECT_EQ(std::make_tuple(listRun.complete, listRun.visited, listRun.failed), std::make_tuple(false, 3, 1));
}

// A list saved as UTF-8 by a Windows editor starts with a byte-order mark;
// a note with a letter with a diacritic where the address should be is an
// unusable line, not a scale.
TEST_F(SendToList, byteOrderMarkIsSkipped_andANonAsciiAddressIsSkippedWithALogLine) {
    writeList("\xEF\xBB\xBF" + kFirst + " váha 1\nváha\xC2\xA0" + kSecond + "\n" + kSecond + "\n");
    tick({kFormats});
    pressSendByList();
    EXPECT_EQ(calledScales(), (std::vector<std::string>{kFirst, kSecond}));
    EXPECT_EQ(runLog()[1], "Řádek 2 souboru seznam.lst přeskočen: Adresa váhy smí obsahovat jen písmena bez "
                           "diakritiky, číslice a znaky ASCII.");
    EXPECT_EQ(runLog().back(), kAllSent);
}

TEST_F(SendToList, archiveNamedLikeAnUploadFileOfAListedScale_isRefusedBeforeAnythingIsExtracted) {
    writeFullArchive(upload(kSecond, kTexts));
    typeArchiveName(file(upload(kSecond, kTexts)));
    writeList(kFirst + "\n" + kSecond + "\n");
    tick({kFormats, kTexts});
    const std::string before = readFile(dir.path() / upload(kSecond, kTexts));
    pressSendByList();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, kBadNews);
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(readFile(dir.path() / upload(kSecond, kTexts)), before);
}

}  // namespace
