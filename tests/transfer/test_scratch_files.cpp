// Scratch and temporary files: created only under names nothing else holds,
// never written through a planted link, removed by the next operation on the
// same target when a killed run left them; and an archive is never its own
// output or input.
#include "BackupArchive.h"
#include "AtomicWrite.h"
#include "Platform.h"
#include "WorkingFiles.h"
#include "IniFile.h"
#include "TestSupport.h"
#include "TrimDownloadedFile.h"

using namespace zalohy;
using namespace testsupport;

namespace {

using TrimLines = testsupport::TrimLines;

class ScratchFiles : public InTempDir {
protected:
    const std::string member = randomBytes(500, 7);
    std::string archive;  // bytes of a.zal holding `member` as 34

    void SetUp() override {
        writeFile("m.dat", member);
        BackupArchive record("a.zal");
        ASSERT_EQ(record.AppendMember(34, "m.dat"), BackupArchive::kAppended);
        archive = readFile("a.zal");
    }
};

// Three ways to name the archive itself as the output.
TEST_F(ScratchFiles, extractionOntoTheArchiveItselfIsRefusedAndKeepsIt) {
#ifndef _WIN32
    fs::create_symlink("a.zal", "link.zal");
    fs::create_hard_link("a.zal", "hard.zal");
    const std::vector<std::string> names = {"a.zal", "./a.zal", "link.zal", "hard.zal"};
#else
    const std::vector<std::string> names = {"a.zal", "./a.zal"};
#endif
    for (const std::string& name : names) {
        struct : zalohy::Report {
            std::vector<std::string> shown;
            void message(const std::string& text, const std::string&) override { shown.push_back(text); }
            void line(const std::string&) override {}
        } messages;
        std::vector<std::string>& shown = messages.shown;
        BackupArchive record("a.zal", &messages);
        EXPECT_EQ(record.ExtractMember(34, name), BackupArchive::kCannotOpen) << name;
        EXPECT_EQ(shown, std::vector<std::string>{"Nepodarilo se otevrit soubor"}) << name;
        EXPECT_EQ(readFile("a.zal"), archive) << name;
    }
}

TEST_F(ScratchFiles, appendingTheArchiveToItselfIsRefusedAndKeepsIt) {
    BackupArchive record("a.zal");
    EXPECT_EQ(record.AppendMember(38, "a.zal"), BackupArchive::kAppendFailed);
    EXPECT_EQ(readFile("a.zal"), archive);
}

// renameFile never replaces a file, and a working copy is extracted whole
// under its name with no temporary file left beside it.
TEST_F(ScratchFiles, renameNeverReplaces_workingCopyLeavesOnlyItself) {
    writeFile("x.dat", "x");
    EXPECT_FALSE(files::renameFile("m.dat", "x.dat"));
    EXPECT_FALSE(files::renameFile("missing.dat", "y.dat"));
    EXPECT_EQ(readFile("m.dat"), member);
    EXPECT_EQ(readFile("x.dat"), "x");

    BackupArchive record("a.zal");
    ASSERT_EQ(record.ExtractMember(34, "x.dat", BackupArchive::Output::WorkingCopy), BackupArchive::kExtracted);
    EXPECT_EQ(readFile("x.dat"), member);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(".")) ++files;
    EXPECT_EQ(files, 3u);  // m.dat, a.zal, x.dat
}

TEST_F(ScratchFiles, temporaryFilesLeftByAKilledRunGoWithTheNextOperationOnTheSameTarget) {
    // Names a killed extraction or settings write leaves, and look-alikes
    // that belong to something else.
    const std::vector<std::string> leftovers = {"out.dat.0123abcd.tmp", "out.dat.ffffffff.tmp", "Skladex.ini.00000000.tmp"};
    std::vector<std::string> others = {"out.dat.0123abc.tmp", "out.dat.0123abcd.tmp.x", "xout.dat.0123abcd.tmp",
                                       "other.dat.0123abcd.tmp"};
#ifndef _WIN32
    // On Windows this is the same name as the first leftover.
    others.push_back("out.dat.0123ABCD.tmp");
#endif
    for (const std::string& name : leftovers) writeFile(name, "left behind");
    for (const std::string& name : others) writeFile(name, "someone else's");
    fs::create_directory("out.dat.aaaaaaaa.tmp");

    BackupArchive record("a.zal");
    ASSERT_EQ(record.ExtractMember(34, "out.dat"), BackupArchive::kExtracted);
    TIniFile("Skladex.ini").WriteString("SOUBOR_ZALOHY", "IP_ADDRESS", "127.0.0.2");

    std::set<std::string> expected = {"a.zal", "m.dat", "out.dat", "Skladex.ini", "out.dat.aaaaaaaa.tmp"};
    expected.insert(others.begin(), others.end());
    EXPECT_EQ(dir.entries(), expected);
    EXPECT_EQ(readFile("out.dat"), member);
}

TEST(TempNames, onlyTheNamesGivenToTemporaryFilesOfThatTargetMatch) {
    EXPECT_TRUE(files::isTempNameOf("a.zal.0123abcd.tmp", "a.zal"));
    for (const char* name : {"a.zal.0123abcd.tm", "a.zal.0123abcg.tmp", "a.zal0123abcd.tmp", "a.zal.tmp",
                             "b.zal.0123abcd.tmp", "a.zal.0123abcde.tmp", ""})
        EXPECT_FALSE(files::isTempNameOf(name, "a.zal")) << name;
}

#ifndef _WIN32
// The trimming works in place: a link planted as "temp.dat" is neither
// written through nor touched.
TEST_F(ScratchFiles, trimmingNeverWritesThroughALinkPlantedAsItsScratchFile) {
    writeFile("victim.dat", "must stay as it is");
    fs::create_symlink("victim.dat", "temp.dat");
    writeFile("f.dat", "dataE2");
    TrimLines report;
    EXPECT_EQ(trim("f.dat", report), 0);
    EXPECT_FALSE(report.failed);
    EXPECT_EQ(readFile("f.dat"), "data");
    EXPECT_EQ(readFile("victim.dat"), "must stay as it is");
    EXPECT_TRUE(fs::is_symlink("temp.dat"));
}

// createFresh: a read-only file is kept, anything else under the name goes,
// and the new file is created exclusively.
TEST_F(ScratchFiles, freshFileReplacesALinkButNotAReadOnlyFile) {
    writeFile("victim.dat", "must stay as it is");
    fs::create_symlink("victim.dat", "scratch.dat");
    files::File file;
    ASSERT_TRUE(files::createFresh("scratch.dat", file));
    ASSERT_TRUE(file.write("new", 3) && file.close());
    EXPECT_FALSE(fs::is_symlink("scratch.dat"));
    EXPECT_EQ(readFile("scratch.dat"), "new");
    EXPECT_EQ(readFile("victim.dat"), "must stay as it is");

    makeReadOnly("scratch.dat");
    EXPECT_FALSE(files::createFresh("scratch.dat", file));
    EXPECT_EQ(readFile("scratch.dat"), "new");
}
#endif

}  // namespace

// The one way a file is put in place, for each state of the target and each
// way the write can go: the target ends whole or as it was, and no temporary
// file is left beside it. placeFile, for a file another party made, must
// agree with writeFileAtomically wherever the writer itself did not fail.
struct PutCase {
    const char* name;
    const char* before;  // the target's content; nullptr: no target
    bool readOnly;
    files::Replace replace;
    bool writerFails;
    files::WriteResult result;
};

void PrintTo(const PutCase& c, std::ostream* os) { *os << c.name; }

class PutInPlace : public InTempDir, public ::testing::WithParamInterface<PutCase> {};

TEST_P(PutInPlace, targetEndsWholeOrAsItWas_andNothingIsLeftBeside) {
    const PutCase& c = GetParam();
    const bool written = c.result == files::WriteResult::Written;
    const std::string after = written ? "new" : c.before ? c.before : "";
    for (const bool fromFinishedFile : {false, true}) {
        if (fromFinishedFile && c.writerFails) continue;
        SCOPED_TRACE(fromFinishedFile ? "placeFile" : "writeFileAtomically");
        const fs::path target = dir.path() / "t.dat";
        if (fs::exists(target)) fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
        fs::remove(target);
        if (c.before) writeFile(target, c.before);
        if (c.readOnly) makeReadOnly(target);
        bool placed = false;
        if (fromFinishedFile) {
            const std::optional<fs::path> temp = files::temporaryNameBeside(target);
            ASSERT_EQ(temp.has_value(), !c.readOnly);
            if (temp) {
                writeFile(*temp, "new");
                placed = files::placeFile(*temp, target, {.replace = c.replace});
            }
        } else {
            const auto result = files::writeFileAtomically(
                target, [&](files::File& out) { return out.write("new", 3) && !c.writerFails; }, {.replace = c.replace});
            EXPECT_EQ(result, c.result);
            placed = result == files::WriteResult::Written;
        }
        EXPECT_EQ(placed, written);
        EXPECT_EQ(fs::exists(target), written || c.before);
        if (fs::exists(target)) {
            EXPECT_EQ(readFile(target), after);
        }
        EXPECT_EQ(dir.entries(), written || c.before ? std::set<std::string>{"t.dat"} : std::set<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, PutInPlace,
    ::testing::Values(PutCase{"new", nullptr, false, files::Replace::No, false, files::WriteResult::Written},
                      PutCase{"replaced", "old", false, files::Replace::Yes, false, files::WriteResult::Written},
                      PutCase{"keptWhenNotToReplace", "old", false, files::Replace::No, false,
                              files::WriteResult::NotPlaced},
                      PutCase{"readOnlyKept", "old", true, files::Replace::Yes, false, files::WriteResult::NotCreated},
                      PutCase{"failedWriteKeepsOld", "old", false, files::Replace::Yes, true,
                              files::WriteResult::NotWritten},
                      PutCase{"failedWriteLeavesNothing", nullptr, false, files::Replace::Yes, true,
                              files::WriteResult::NotWritten}),
    [](const auto& info) { return std::string(info.param.name); });

// A temporary file is held while it is written: another write beside the same
// target, which sweeps a killed run's temporary files, leaves it alone.
TEST_F(ScratchFiles, aTemporaryFileBeingWrittenSurvivesTheSweepOfAnotherWrite) {
    std::size_t tempsSeen = 0;
    const auto result = files::writeFileAtomically("out.dat", [&](files::File& out) {
        EXPECT_EQ(files::writeFileAtomically("out.dat", "other"), files::WriteResult::Written);
        for (const std::string& name : dir.entries()) tempsSeen += files::isTempNameOf(name, "out.dat");
        return out.write("mine", 4);
    });
    EXPECT_EQ(result, files::WriteResult::Written);
    EXPECT_EQ(tempsSeen, 1u);
    EXPECT_EQ(readFile("out.dat"), "mine");
}
