// The backup run driven through the real dialog: the library is an in-process
// fake, the file dialog and message boxes are answered through their seams.
#include "ArchiveBytes.h"
#include "DataKind.h"
#include "FakeScale.h"
#include "GuiSupport.h"
#include "GuiTestSupport.h"
#include "Saveformat90.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace zalohy;
using namespace zalohy::test;

namespace {

const std::string kScale = "127.0.0.9";
const QString kBadNews = u8("Ne zrovna dobrá zpráva");
const QString kStart = u8("Probíhá zálohování dat, prosím čekejte");
const QString kCommFailure = u8("Chyba komunikace s váhou \nZkontrolujte zadání");

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
    TempWorkDir dir;
    FakeScale scale;
    MessageBoxRecorder boxes;
    FileDialogRecorder fileDialogs;
    std::unique_ptr<TSaveFormatDialog> dialog;

    void SetUp() override {
        scale.seed(kScale);
        dialog = std::make_unique<TSaveFormatDialog>();
        dialog->show();
        setAddress(QString::fromStdString(kScale));
    }
    void TearDown() override {
        // Closing writes the settings; keep that out of the run's tests.
        dialog->hide();
    }

    void setAddress(const QString& address) { child<QLineEdit>(dialog.get(), "EditScaleNumber")->setText(address); }
    void tick(std::initializer_list<std::size_t> kinds) {
        for (std::size_t k : kinds) dialog->checkBoxFor(kDataKinds[k])->setChecked(true);
    }
    void tickAll() { tick({kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage}); }
    void pressSave(const std::string& archiveName = "a.zal") {
        fileDialogs.answerNext(dir.file(archiveName));
        child<QPushButton>(dialog.get(), "SaveToArchive")->click();
    }
    QStringList memo() const { return lines(child<QPlainTextEdit>(dialog.get(), "Memo1")); }
    std::string upload(std::size_t k) const { return scaleFileName(kScale, kDataKinds[k].uploadSuffix); }
    std::string download(std::size_t k) const { return scaleFileName(kScale, kDataKinds[k].downloadedSuffix); }
    std::string& data(std::size_t k) { return scale.files[kScale][kDataKinds[k].id]; }

    // The lines one kind adds after a successful download.
    QStringList kindLines(std::size_t k) const {
        const Expected& e = kExpected[k];
        const QString trimLine = u8("K_E2 Input file:" + upload(k));
        if (e.okFirst) return {u8(e.progress), u8(e.ok), trimLine};
        return {u8(e.progress), trimLine, u8(e.ok)};
    }
};

TEST_F(BackupRun, allSixKinds_linesArchiveCallsAndFilesLeft) {
    tickAll();
    pressSave();

    QStringList expected{kStart};
    for (std::size_t k = 0; k < 6; ++k) expected += kindLines(k);
    expected << u8("Gratulujeme,označené soubory ") << u8("máte zazálohované!");
    EXPECT_EQ(memo(), expected);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(dialog->BackupOk);

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
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"a.zal", "error"}));

    ASSERT_EQ(fileDialogs.asked.size(), 1u);
    const FileDialogRequest& asked = fileDialogs.asked[0];
    EXPECT_EQ(asked.mode, FileDialogRequest::Save);
    EXPECT_EQ(asked.owner, dialog.get());
    EXPECT_EQ(asked.directory, QString::fromStdString(dir.path().string()));
    EXPECT_EQ(asked.filters, (QStringList{"Soubory zaloh (*.zal)", u8("Všechny soubory (*.*)")}));
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
    EXPECT_EQ(boxes.shown[0].owner, dialog.get());
    EXPECT_TRUE(memo().isEmpty());
    EXPECT_EQ(scale.calls.size(), failing + 1);  // no later kind is tried

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
    EXPECT_EQ(boxes.shown[0].text, u8(kExpected[failing].renameText));
    EXPECT_EQ(boxes.shown[0].caption, kBadNews);
    EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
    EXPECT_EQ(scale.calls.size(), failing + 1);

    if (kExpected[failing].cleared) {
        EXPECT_TRUE(memo().isEmpty());
    } else {
        QStringList expected{kStart};
        for (std::size_t k = 0; k < failing; ++k) expected += kindLines(k);
        expected << u8(kExpected[failing].progress);
        EXPECT_EQ(memo(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(EachKind, BackupRunPerKind, ::testing::Range<std::size_t>(0, 6),
                         [](const auto& info) { return std::string(kDataKinds[info.param].checkBox).substr(8); });

TEST_F(BackupRun, emptyDownload_isReportedStoredEmptyAndLaterKindsStillRun) {
    tick({kTexts, kPlu});
    data(kTexts).clear();
    scale.unmarkedWords.insert("f78");  // the library leaves a file of 0 bytes
    pressSave();

    const QStringList expected{kStart,
                               u8(kExpected[kTexts].progress),
                               u8("K_E2 Input file:" + upload(kTexts)),
                               u8(" Input file is empty ?? please check file"),
                               u8(kExpected[kTexts].ok),
                               u8(kExpected[kPlu].progress),
                               u8(kExpected[kPlu].ok),
                               u8("K_E2 Input file:" + upload(kPlu)),
                               u8("Nepodařilo se vše zazálohovat")};
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

TEST_F(BackupRun, noKindTicked_summaryOnlyAndNoArchive) {
    writeFile(dir.path() / "a.zal", "old archive");
    pressSave();
    EXPECT_EQ(boxes.shown.size(), 1u);  // the overwrite question
    EXPECT_EQ(memo(), (QStringList{kStart, u8("Gratulujeme,označené soubory "), u8("máte zazálohované!")}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.zal"));
    EXPECT_TRUE(scale.calls.empty());
}

TEST_F(BackupRun, overwriteQuestion_cancelKeepsEverything_okStartsAFreshArchive) {
    const std::string old = expectedArchive({{34, "old formats"}});
    writeFile(dir.path() / "a.zal", old);
    tick({kFormats, kTexts});
    child<QPlainTextEdit>(dialog.get(), "Memo1")->appendPlainText("earlier line");

    boxes.answerNext(kIdCancel);
    pressSave();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, u8("Pozor, předchozí data budou přepsána !!"));
    EXPECT_EQ(boxes.shown[0].caption, u8("Rozmysli se Tramilo rozmysli!!"));
    EXPECT_EQ(boxes.shown[0].flags, kMbOkCancel | kMbIconWarning);
    EXPECT_EQ(boxes.shown[0].owner, dialog.get());
    EXPECT_EQ(readFile(dir.path() / "a.zal"), old);
    EXPECT_EQ(memo(), QStringList{"earlier line"});
    EXPECT_TRUE(scale.calls.empty());

    boxes.answerNext(kIdOk);
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
    EXPECT_TRUE(boxes.shown[1].text.contains("a.zal"));
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_TRUE(memo().isEmpty());
    EXPECT_EQ(readFile(dir.path() / "a.zal" / "inside"), "x");
}

TEST_F(BackupRun, saveDialogCancelled_nothingHappens) {
    tick({kFormats});
    fileDialogs.cancelNext();
    child<QPushButton>(dialog.get(), "SaveToArchive")->click();
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dir.files(), std::vector<std::string>{});
}

TEST_F(BackupRun, addressesThatCannotNameAScale_areRefusedBeforeAnythingElse) {
    writeFile(dir.path() / "a.zal", "old");
    tick({kFormats});
    const QString refused[] = {"", QString(38, QLatin1Char('1')), "127.0.0.9 x", "..\\127", "../127", "127\t1"};
    for (const QString& address : refused) {
        boxes.shown.clear();
        setAddress(address);
        child<QPushButton>(dialog.get(), "SaveToArchive")->click();
        ASSERT_EQ(boxes.shown.size(), 1u) << address.toStdString();
        EXPECT_EQ(boxes.shown[0].caption, kBadNews);
        EXPECT_EQ(boxes.shown[0].flags, kMbOk | kMbIconWarning);
        EXPECT_EQ(boxes.shown[0].owner, dialog.get());
    }
    EXPECT_TRUE(fileDialogs.asked.empty());
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_EQ(readFile(dir.path() / "a.zal"), "old");

    // 37 characters still fit the command line.
    const std::string longest(37, '7');
    scale.seed(longest);
    setAddress(QString::fromStdString(longest));
    boxes.answerNext(kIdOk);
    pressSave();
    EXPECT_EQ(scale.commands(), std::vector<std::string>{"F74 " + longest});
}

TEST_F(BackupRun, libraryLeavingNoStatus_showsTheRunnersBoxThenTheFailure) {
    tick({kFormats});
    scale.silentWords.insert("F74");
    writeFile(dir.path() / "error", "0\n");  // an earlier command's success
    pressSave();

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, u8("Nemohu otevřít datový soubor error \nProgram bude ukončen "));
    EXPECT_EQ(boxes.shown[0].caption, u8(" Vážná chyba "));
    EXPECT_EQ(boxes.shown[0].flags, kMbOk);
    EXPECT_EQ(boxes.shown[0].owner, dialog.get());
    EXPECT_EQ(boxes.shown[1].text, kCommFailure);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.zal"));
}

TEST_F(BackupRun, staleUploadFile_isReplacedByTheNewDownload) {
    tick({kFormats});
    writeFile(dir.path() / upload(kFormats), "stale data of an earlier run");
    writeFile(dir.path() / "temp.dat", "older scratch");
    pressSave();
    EXPECT_EQ(readFile(dir.path() / "a.zal"), expectedArchive({{34, data(kFormats)}}));
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"a.zal", "error"}));
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
    child<QPushButton>(dialog.get(), "SaveToArchive")->click();
    EXPECT_TRUE(scale.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "SMT74.dat"));
}

// What the text box showed on screen when each library call started.
TEST_F(BackupRun, progressIsOnScreenBeforeTheTransfersThatRepaint) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto* memoBox = child<QPlainTextEdit>(dialog.get(), "Memo1");
    QString lastPainted;
    struct PaintSpy : QObject {
        QPlainTextEdit* memo;
        QString* last;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                const QString text = memo->toPlainText();
                *last = text.section(QLatin1Char('\n'), -1);
            }
            return false;
        }
    } spy;
    spy.memo = memoBox;
    spy.last = &lastPainted;
    memoBox->viewport()->installEventFilter(&spy);

    std::vector<QString> paintedAtCall;
    scale.onCall = [&](const FakeScale::Call&) { paintedAtCall.push_back(lastPainted); };
    tick({kFormats, kPresetKeys});
    pressSave();

    ASSERT_EQ(paintedAtCall.size(), 2u);
    EXPECT_EQ(paintedAtCall[0], kStart);
    EXPECT_EQ(paintedAtCall[1], u8(kExpected[kPresetKeys].progress));
    memoBox->viewport()->removeEventFilter(&spy);
}

TEST_F(BackupRun, showingTheDialogAgain_clearsTheTextAndUnticksEveryKind) {
    tickAll();
    pressSave();
    ASSERT_FALSE(memo().isEmpty());
    dialog->hide();
    dialog->show();
    EXPECT_TRUE(memo().isEmpty());
    for (const DataKind& kind : kDataKinds) EXPECT_FALSE(dialog->checkBoxFor(kind)->isChecked()) << kind.name;
}

}  // namespace
