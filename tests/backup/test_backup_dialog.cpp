// The backup run driven through the dialog's logic: the window is a recording
// fake port, the library an in-process fake.
#include "ArchiveBytes.h"
#include "BackupDialog.h"
#include "DataKind.h"
#include "FakePort.h"
#include "FakeScale.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>

#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "127.0.0.9";
using Lines = std::vector<std::string>;
const std::string kBadNews = "Ne zrovna dobrá zpráva";
const std::string kStart = "Probíhá zálohování dat, prosím čekejte";
const std::string kCommFailure = "Chyba komunikace s váhou \nZkontrolujte zadání";

// Progress line, OK line, and whether the OK line comes before the trimming.
struct Expected {
    const char* progress;
    const char* ok;
    bool okFirst;
    const char* renameText;
    bool cleared;
};
const Expected kExpected[] = {
    {"Probíhá zálohování formátů, prosím čekejte", "Zalohování formátů OK", true,
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", false},
    {"Probíhá zálohování textu, prosím čekejte", "Zálohovaní textů OK", false,
     "Nepodařilo se přejmenovat soubor textů \nOpakujte zadání", true},
    {"Probíhá zálohování názvu obchodu, prosím čekejte", "Zálohování názvu obchodu OK", false,
     "Nepodařilo se přejmenovat soubor shop name \nOpakujte zadání", true},
    {"Probíhá zálohování rychloklaves, prosím čekejte", "Zalohování rychlokláves OK", false,
     "Nepodarilo se prejmenovat soubor formatu\nOpakujte zadání", true},
    {"Probíhá zálohování PLU dat, prosím čekejte", "Zalohování PLU dat OK", true,
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", false},
    {"Probíhá zálohování Image dat, prosím čekejte", "Zalohování Image dat OK", true,
     "Nepodarilo se prejmenovat soubor PLU \nOpakujte zadání", false},
};

class BackupRun : public ::testing::Test {
protected:
    ScratchFolder dir{"zalohy-run-", true};
    FakeScale scale;
    BoxLog boxes;
    FakePort port{boxes, kBackupDialogForm};
    std::unique_ptr<BackupDialog> dialog;
    RunResult run;  // what the last press of "Ulož" came to

    void SetUp() override {
        scale.seed(kScale);
        dialog = std::make_unique<BackupDialog>(port);
        dialog->FormActivate();
        setAddress(kScale);
    }

    void setAddress(const std::string& address) { port.setEditText(Control::EditScaleNumber, address); }
    void tick(std::initializer_list<std::size_t> kinds) {
        for (std::size_t k : kinds) port.setChecked(kDataKinds[k].checkBox, true);
    }
    void tickAll() { tick({kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage}); }
    std::string file(const std::string& name) const { return (dir.path() / name).string(); }
    void pressSave(const std::string& archiveName = "a.zal") {
        port.fileAnswers.push_back(file(archiveName));
        run = dialog->SaveToArchiveClick();
    }
    std::vector<std::string> files() const {
        const auto names = dir.entries();
        return {names.begin(), names.end()};
    }
    const Lines& memo() const { return port.log; }
    std::string upload(std::size_t k) const { return scaleFileName(kScale, kDataKinds[k].uploadSuffix); }
    std::string download(std::size_t k) const { return scaleFileName(kScale, kDataKinds[k].downloadedSuffix); }
    std::string& data(std::size_t k) { return scale.files[kScale][kDataKinds[k].id]; }

    // The lines one kind adds after a successful download.
    Lines kindLines(std::size_t k) const {
        const Expected& e = kExpected[k];
        const std::string trimLine = "K_E2 Input file:" + upload(k);
        if (e.okFirst) return {e.progress, e.ok, trimLine};
        return {e.progress, trimLine, e.ok};
    }
    static void append(Lines& to, const Lines& more) { to.insert(to.end(), more.begin(), more.end()); }
};

TEST_F(BackupRun, allSixKinds_linesArchiveCallsAndFilesLeft) {
    tickAll();
    pressSave();

    Lines expected{kStart};
    for (std::size_t k = 0; k < 6; ++k) append(expected, kindLines(k));
    append(expected, {"Gratulujeme,označené soubory ", "máte zazálohované!"});
    EXPECT_EQ(memo(), expected);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(dialog->BackupOk);
    EXPECT_TRUE(run.complete);
    EXPECT_EQ(run.lines, expected);
    for (const KindOutcome& kind : run.kinds) EXPECT_TRUE(kind.tried && kind.done && kind.status == 0);

    // Members appended in the run's order, each in its own slot.
    std::vector<std::pair<int, std::string>> members;
    for (std::size_t k = 0; k < 6; ++k) members.emplace_back(kDataKinds[k].id, data(k));
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive(members));

    ASSERT_EQ(scale.calls.size(), 6u);
    const char* words[] = {"F74", "f78", "f62", "F71", "F85", "F66"};
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(scale.calls[k].argc, 3);
        EXPECT_EQ(scale.calls[k].argv, (std::vector<std::string>{"twswtcp", words[k], kScale}));
    }
    // No downloaded, upload or scratch file is left behind.
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error"}));

    ASSERT_EQ(port.fileAsked.size(), 1u);
    const FileDialogRequest& asked = port.fileAsked[0];
    EXPECT_EQ(asked.mode, FileDialogRequest::Save);
    EXPECT_EQ(asked.directory, dir.path().string());
    ASSERT_EQ(asked.filters.size(), 2u);
    EXPECT_EQ(asked.filters[0].label, "Soubory zaloh (*.zal)");
    EXPECT_EQ(asked.filters[0].pattern, "*.zal");
    EXPECT_EQ(asked.filters[1].label, "Všechny soubory (*.*)");
    EXPECT_EQ(asked.filters[1].pattern, "*.*");
    EXPECT_EQ(asked.filterIndex, 0);
}

TEST_F(BackupRun, onlySomeKinds_processedInTableOrderWithoutOthers) {
    tick({kImage, kFormats, kPresetKeys});
    pressSave();
    EXPECT_EQ(scale.commands(), (std::vector<std::string>{"F74 " + kScale, "F71 " + kScale, "F66 " + kScale}));
    EXPECT_EQ(readFile(dir.path() / "a.zal"),
              expectedArchive({{34, data(kFormats)}, {41, data(kPresetKeys)}, {67, data(kImage)}}));
}

class BackupRunPerKind : public BackupRun, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(BackupRunPerKind, transferFailure_warnsClearsAndKeepsEarlierMembers) {
    const std::size_t failing = GetParam();
    tickAll();
    scale.failingWords.insert(kDataKinds[failing].downloadWord);
    pressSave();

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kCommFailure);
    EXPECT_EQ(boxes.shown[0].caption, kBadNews);
    EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
    EXPECT_EQ(boxes.shown[0].owner, &port);
    EXPECT_TRUE(memo().empty());
    EXPECT_EQ(scale.calls.size(), failing + 1);  // no later kind is tried
    // The result keeps what the cleared text box no longer shows.
    EXPECT_FALSE(run.complete);
    EXPECT_EQ(run.lines.size(), 1 + 3 * failing + 1) << "the start, three lines per kind done, the failing one";
    EXPECT_EQ(run.failedStatus(), 7);
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(std::make_pair(run.kinds[k].tried, run.kinds[k].done), std::make_pair(k <= failing, k < failing)) << k;

    std::vector<std::pair<int, std::string>> members;
    for (std::size_t k = 0; k < failing; ++k) members.emplace_back(kDataKinds[k].id, data(k));
    if (failing == 0) EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.zal"));
    else EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive(members));
}

TEST_P(BackupRunPerKind, renameFailure_showsTheKindsTextAndClearsOnlyWhereItShould) {
    const std::size_t failing = GetParam();
    tickAll();
    scale.noFileWords.insert(kDataKinds[failing].downloadWord);
    pressSave();

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kExpected[failing].renameText);
    EXPECT_EQ(boxes.shown[0].caption, kBadNews);
    EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
    EXPECT_EQ(scale.calls.size(), failing + 1);

    if (kExpected[failing].cleared) {
        EXPECT_TRUE(memo().empty());
    } else {
        Lines expected{kStart};
        for (std::size_t k = 0; k < failing; ++k) append(expected, kindLines(k));
        expected.push_back(kExpected[failing].progress);
        EXPECT_EQ(memo(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(EachKind, BackupRunPerKind, ::testing::Range<std::size_t>(0, 6),
                         [](const auto& info) { return std::string(controlName(kDataKinds[info.param].checkBox)).substr(8); });

TEST_F(BackupRun, emptyDownload_isReportedStoredEmptyAndLaterKindsStillRun) {
    tick({kTexts, kPlu});
    data(kTexts).clear();
    scale.unmarkedWords.insert("f78");  // the library leaves a file of 0 bytes
    pressSave();

    const Lines expected{kStart,
                         kExpected[kTexts].progress,
                         "K_E2 Input file:" + upload(kTexts),
                         " Input file is empty ?? please check file",
                         kExpected[kTexts].ok,
                         kExpected[kPlu].progress,
                         kExpected[kPlu].ok,
                         "K_E2 Input file:" + upload(kPlu),
                         "Nepodařilo se vše zazálohovat"};
    EXPECT_EQ(memo(), expected);
    EXPECT_FALSE(dialog->BackupOk);
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive({{38, ""}, {25, data(kPlu)}}));
}

TEST_F(BackupRun, markerOnlyPartlyThere_trimsEachByteByItself) {
    tick({kFormats});
    data(kFormats) = "ABCX2";  // the library adds E2; only the end is trimmed
    scale.unmarkedWords.insert("F74");
    pressSave();
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive({{34, "ABCX"}}));
}

TEST_F(BackupRun, noKindTicked_summaryOnlyAndTheOldArchiveStays) {
    writeFile(dir.path() / "a.zal", "old archive");
    pressSave();
    EXPECT_EQ(boxes.shown.size(), 1u);  // the overwrite question
    EXPECT_EQ(memo(), (Lines{kStart, "Gratulujeme,označené soubory ", "máte zazálohované!"}));
    EXPECT_EQ(readFile(dir.path() / "a.zal"), "old archive");
    EXPECT_TRUE(scale.calls.empty());
}

// The old archive is deleted only once the first kind has been downloaded:
// a dead scale, a missing file or a refused deletion leave it as it was.
TEST_F(BackupRun, firstKindNotDownloaded_orOldArchiveWriteProtected_keepsTheOldArchive) {
    const std::string old = expectedArchive({{34, "old formats"}});
    tick({kFormats, kTexts});
    for (const char* fault : {"dead scale", "no file", "write-protected"}) {
        writeFile(dir.path() / "a.zal", old);
        scale.failingWords.clear();
        scale.noFileWords.clear();
        if (fault == std::string("dead scale")) scale.failingWords.insert("F74");
        if (fault == std::string("no file")) scale.noFileWords.insert("F74");
        if (fault == std::string("write-protected"))
            std::filesystem::permissions(dir.path() / "a.zal", std::filesystem::perms::owner_read);
        boxes.shown.clear();
        boxes.answers.push_back(kIdOk);
        pressSave();
        ASSERT_EQ(boxes.shown.size(), 2u) << fault;
        EXPECT_EQ(boxes.shown[1].caption, kBadNews) << fault;
        EXPECT_EQ(readFile(dir.path() / "a.zal"), old) << fault;
        std::filesystem::permissions(dir.path() / "a.zal", std::filesystem::perms::owner_all);
    }
}

// An archive that cannot take a member (a missing folder, a medium that is
// full) ends the run as that kind's failure, never as a success, and the
// downloaded data stays on disk.
TEST_F(BackupRun, memberNotStored_warnsEndsTheRunAndKeepsTheDownloadedFile) {
    tick({kFormats, kTexts});
#ifdef _WIN32
    const std::vector<std::string> archives{"missing folder/a.zal"};
#else
    const std::vector<std::string> archives{"missing folder/a.zal", "full.zal"};
#endif
    for (const std::string& archive : archives) {
        boxes.shown.clear();
        scale.calls.clear();
#ifndef _WIN32
        // A medium that is full after the header: writes past 200 bytes fail.
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        if (archive == "full.zal") {
            struct rlimit limit = saved;
            limit.rlim_cur = 200;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
#endif
        pressSave(archive);
#ifndef _WIN32
        setrlimit(RLIMIT_FSIZE, &saved);
#endif
        ASSERT_EQ(boxes.shown.size(), 1u) << archive;
        EXPECT_EQ(boxes.shown[0].caption, kBadNews);
        EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
        EXPECT_NE(boxes.shown[0].text.find("formátů"), std::string::npos) << boxes.shown[0].text;
        EXPECT_FALSE(dialog->BackupOk);
        EXPECT_EQ(memo().back(), "K_E2 Input file:" + upload(kFormats)) << archive;  // no summary
        EXPECT_EQ(scale.calls.size(), 1u);
        EXPECT_EQ(readFile(dir.path() / upload(kFormats)), data(kFormats)) << archive;
        std::filesystem::remove(dir.path() / upload(kFormats));
    }
}

TEST_F(BackupRun, archiveNamedLikeAWorkingFile_isRefusedBeforeAnythingHappens) {
    tick({kFormats});
    for (const std::string& name : std::vector<std::string>{"temp.dat", "error", "Skladex.ini", "seznam.lst",
                                                             "sub/../" + upload(kImage), download(kPlu)}) {
        std::filesystem::create_directories(dir.path() / "sub");
        writeFile(dir.path() / "Skladex.ini", "[SOUBOR_ZALOHY]\r\n");
        if (name != "Skladex.ini") writeFile(dir.path() / name, "kept");
        boxes.shown.clear();
        pressSave(name);
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].caption, kBadNews);
        EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
        EXPECT_EQ(readFile(dir.path() / name), name == "Skladex.ini" ? "[SOUBOR_ZALOHY]\r\n" : "kept") << name;
        EXPECT_TRUE(scale.calls.empty()) << name;
    }
}

TEST_F(BackupRun, overwriteQuestion_cancelKeepsEverything_okStartsAFreshArchive) {
    const std::string old = expectedArchive({{34, "old formats"}});
    writeFile(dir.path() / "a.zal", old);
    tick({kFormats, kTexts});
    port.log.push_back("earlier line");

    boxes.answers.push_back(kIdCancel);
    pressSave();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Pozor, předchozí data budou přepsána !!");
    EXPECT_EQ(boxes.shown[0].caption, "Rozmysli se Tramilo rozmysli!!");
    EXPECT_EQ(boxes.shown[0].flags, kMbOkCancel | kMbIconWarning);
    EXPECT_EQ(boxes.shown[0].owner, &port);
    EXPECT_EQ(readFile(dir.path() / "a.zal"), old);
    EXPECT_EQ(memo(), Lines{"earlier line"});
    EXPECT_TRUE(scale.calls.empty());

    boxes.answers.push_back(kIdOk);
    pressSave();
    // The old archive is gone, not appended to: formats are stored anew.
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive({{34, data(kFormats)}, {38, data(kTexts)}}));
}

TEST_F(BackupRun, oldArchiveThatCannotBeDeleted_warnsAndChangesNothing) {
    // A folder of that name cannot be deleted like a file.
    std::filesystem::create_directory(dir.path() / "a.zal");
    writeFile(dir.path() / "a.zal" / "inside", "x");
    tick({kFormats});
    pressSave();

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].caption, kBadNews);
    EXPECT_EQ(boxes.shown[1].flags, kMbOk | kMbIconWarning);
    EXPECT_NE(boxes.shown[1].text.find("a.zal"), std::string::npos);
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_TRUE(memo().empty());
    EXPECT_EQ(readFile(dir.path() / "a.zal" / "inside"), "x");
}

TEST_F(BackupRun, saveDialogCancelled_nothingHappens) {
    tick({kFormats});
    port.fileAnswers.push_back(std::nullopt);
    dialog->SaveToArchiveClick();
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(BackupRun, addressesThatCannotNameAScale_areRefusedBeforeAnythingElse) {
    writeFile(dir.path() / "a.zal", "old");
    tick({kFormats});
    const std::string refused[] = {"", std::string(38, '1'), "127.0.0.9 x", "..\\127", "../127", "127\t1",
                                   "127.0.0.č"};
    for (const std::string& address : refused) {
        boxes.shown.clear();
        setAddress(address);
        dialog->SaveToArchiveClick();
        ASSERT_EQ(boxes.shown.size(), 1u) << address;
        EXPECT_EQ(boxes.shown[0].caption, kBadNews);
        EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
        EXPECT_EQ(boxes.shown[0].owner, &port);
    }
    EXPECT_TRUE(port.fileAsked.empty());
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(readFile(dir.path() / "a.zal"), "old");

    // 37 characters still fit the command line.
    const std::string longest(37, '7');
    scale.seed(longest);
    setAddress(longest);
    boxes.answers.push_back(kIdOk);
    pressSave();
    EXPECT_EQ(scale.commands(), std::vector<std::string>{"F74 " + longest});
}

TEST_F(BackupRun, libraryLeavingNoStatus_showsTheRunnersBoxThenTheFailure) {
    tick({kFormats});
    scale.silentWords.insert("F74");
    writeFile(dir.path() / "error", "0\n");  // an earlier command's success
    pressSave();

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Nemohu otevřít datový soubor error \nProgram bude ukončen ");
    EXPECT_EQ(boxes.shown[0].caption, " Vážná chyba ");
    EXPECT_EQ(boxes.shown[0].flags, kMbOk);
    EXPECT_EQ(boxes.shown[0].owner, &port);
    EXPECT_EQ(boxes.shown[1].text, kCommFailure);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.zal"));
}

TEST_F(BackupRun, staleUploadFile_isReplacedByTheNewDownload) {
    tick({kFormats});
    writeFile(dir.path() / upload(kFormats), "stale data of an earlier run");
    writeFile(dir.path() / "temp.dat", "older scratch");
    pressSave();
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive({{34, data(kFormats)}}));
    // The trimming works in place: a scratch file of an older version stays.
    EXPECT_EQ(files(), (std::vector<std::string>{"a.zal", "error", "temp.dat"}));
    EXPECT_EQ(readFile(dir.path() / "temp.dat"), "older scratch");
}

TEST_F(BackupRun, archiveNameWithoutExtension_isUsedAsTyped) {
    tick({kFormats});
    pressSave("zaloha");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "zaloha"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zaloha.zal"));
}

TEST_F(BackupRun, emptyAddressBox_neverReachesTheLibrary) {
    setAddress("");
    tick({kFormats});
    dialog->SaveToArchiveClick();
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "SMT74.dat"));
}

// What the text box showed on screen when each library call started, and
// that the window was busy meanwhile.
TEST_F(BackupRun, progressIsOnScreenBeforeTheTransfersThatRepaint) {
    std::vector<std::string> paintedAtCall;
    scale.onCall = [&](const FakeScale::Call&) {
        paintedAtCall.push_back(port.paintedLog.empty() ? "" : port.paintedLog.back());
        EXPECT_TRUE(port.busy);
    };
    tick({kFormats, kPresetKeys});
    pressSave();

    ASSERT_EQ(paintedAtCall.size(), 2u);
    EXPECT_EQ(paintedAtCall[0], kStart);
    EXPECT_EQ(paintedAtCall[1], kExpected[kPresetKeys].progress);
    EXPECT_FALSE(port.busy);
    EXPECT_EQ(port.busySpells, 1);
}

TEST_F(BackupRun, showingTheDialogAgain_clearsTheTextAndUnticksEveryKind) {
    tickAll();
    pressSave();
    ASSERT_FALSE(memo().empty());
    dialog->FormActivate();
    EXPECT_TRUE(memo().empty());
    EXPECT_TRUE(port.tickedBoxes().empty());
}

}  // namespace
