// zaltool restore-list: every scale its own newest sound archive.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

// The scales wiped, each gets its own newest archive back: a damaged newer
// one is passed over with its line, a scale without any archive has its own
// line and makes the exit status 1; the same with one job or three.
TEST_F(ZaltoolRuns, restoreList_eachScaleItsOwnNewestSoundArchive_damagedSkipped_missingCounted) {
    startEmulator();
    const std::string dead = "127.0.0.5:" + std::to_string(emulator->port());
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + "\n" + scale(1) + "\n" + dead + "\n" + scale(2) + "\n");
    std::string saved[3];
    for (std::size_t i = 0; i < 3; ++i) {
        saved[i] = dialogArchive(scale(i));
        writeFile(archive(listArchiveName(scale(i), "2026-01-02")), saved[i]);
    }
    writeFile(archive(listArchiveName(scale(1), "2026-01-01")), saved[2]);              // older
    writeFile(archive(listArchiveName(scale(0), "2026-01-03")), saved[0].substr(0, 900));  // cut short
    writeFile(archive(listArchiveName(scale(1), "2026-01-03")), std::string(128, '\0'));  // holds nothing
    writeFile(archive(listArchiveName(scale(2), "9999-12-31")), saved[0]);                // dated in the future
    const auto wipe = [&] {
        for (std::size_t i = 0; i < 3; ++i) writeFile(emulator->scaleFile(i, kDataKinds[kFormats].id), "wiped");
    };
    wipe();
    const std::string dir = archives.path().string();
    const std::string counts = ": 3 z 4 vah v pořádku; bez archivu: 1 (" + dead + ")\n";

    Outcome dry = zaltool({"restore-list", dir, list.string(), workOption(), "--dry-run"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_TRUE(hasLine(dry.out, scale(0) + ": " + listArchiveName(scale(0), "2026-01-03") +
                                     " není úplný archiv, přeskočen")) << dry.out;
    EXPECT_TRUE(hasLine(dry.out, scale(1) + ": " + listArchiveName(scale(1), "2026-01-03") +
                                     " není úplný archiv, přeskočen")) << dry.out;
    EXPECT_TRUE(hasLine(dry.out, scale(2) + ": " + listArchiveName(scale(2), "9999-12-31") +
                                     " má datum v budoucnosti, přeskočen")) << dry.out;
    EXPECT_NE(dry.out.find(scale(1) + ": " + listArchiveName(scale(1), "2026-01-02") + " (stáří "),
              std::string::npos) << dry.out;
    EXPECT_TRUE(dry.out.ends_with("\nzkouška obnovy" + counts)) << dry.out;
    EXPECT_EQ(readFile(emulator->scaleFile(0, kDataKinds[kFormats].id)), "wiped");
    // --quiet keeps every line about a scale but the list's "-- ADDRESS (řádek N)".
    const Outcome quiet = zaltool({"restore-list", dir, list.string(), workOption(), "--dry-run", "--quiet"});
    EXPECT_EQ(quiet.out, std::regex_replace(dry.out, std::regex("(^|\n)-- [^\n]*\n"), "$1")) << quiet.out;

    Outcome runs[2];
    for (int jobs : {1, 3}) {
        wipe();
        Outcome& run = runs[jobs / 3];
        run = zaltool({"restore-list", dir, list.string(), workOption(), "--jobs=" + std::to_string(jobs)});
        EXPECT_EQ(run.status, 1) << run.err;
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(sameBytes(dialogArchive(scale(i)), saved[i])) << i;
            EXPECT_TRUE(hasLine(run.out, scale(i) + ": obnoveno z " + listArchiveName(scale(i), "2026-01-02")));
        }
        EXPECT_TRUE(hasLine(run.out, dead + ": NEOBNOVENO, v " + dir + " není úplný archiv této váhy")) << run.out;
        EXPECT_TRUE(run.out.ends_with("\nobnova" + counts)) << run.out;
        EXPECT_NE(run.err.find("vah bez archivu: 1"), std::string::npos) << run.err;
    }
    EXPECT_EQ(runs[1].out, runs[0].out);
    EXPECT_EQ(runs[1].err, runs[0].err);

    // --json: the record's lines instead, the same ones the record gets.
    const Outcome json = zaltool({"restore-list", dir, list.string(), workOption(), "--json", "--jobs=2"});
    EXPECT_EQ(json.status, 1);
    const std::vector<RunRecordLine> record = readRunRecord(archives.path());
    ASSERT_EQ(record.size(), 12u);
    std::string lines;
    for (std::size_t i = 8; i < 12; ++i) lines += formatRunRecord(record[i]);
    // Then the summary object, also when the run ends before its list.
    EXPECT_EQ(timeless(json.out), timeless(lines) + R"({"type":"summary","command":"restore-list","time":"T","done":3,)"
                                                    R"("failed":0,"skipped":0,"missing":1,"scales":4,"exit_status":1})" "\n");
    const Outcome noFolder = zaltool({"restore-list", dir + "/chybi", list.string(), workOption(), "--json"});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_EQ(timeless(noFolder.out), R"({"type":"summary","command":"restore-list","time":"T","done":0,"failed":0,)"
                                      R"("skipped":0,"missing":0,"scales":0,"exit_status":1})" "\n");
    const char* statuses[] = {kRunOk, kRunOk, kRunMissing, kRunOk};
    const std::string addresses[] = {scale(0), scale(1), dead, scale(2)};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(record[8 + i].command, "restore-list");
        EXPECT_EQ(record[8 + i].address, addresses[i]);
        EXPECT_EQ(record[8 + i].status, statuses[i]);
        EXPECT_EQ(record[8 + i].libraryStatus, i == 2 ? std::nullopt : std::optional<int>(0));
        EXPECT_EQ(record[8 + i].archive, i == 2 ? "" : listArchiveName(addresses[i], "2026-01-02"));
        EXPECT_EQ(record[i], (RunRecordLine{record[i].time, "restore-list", addresses[i], statuses[i],
                                            record[i].libraryStatus, record[i].archive}));
    }
}

// restore-list --kinds: only the kinds asked for are sent, a kind the
// archive lacks is left out, and an archive with none of them fails the scale
// rather than report a send that sent nothing.
TEST_F(ZaltoolRuns, restoreListKinds_onlyTheKindsAskedFor_aKindNotHeldLeftOut) {
    startEmulator();
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + "\n");
    writeFile(archive(listArchiveName(scale(0), "2026-01-02")), dialogArchive(scale(0), {kFormats, kTexts}));
    const std::string formats = emulator->scaleFile(0, kDataKinds[kFormats].id);
    const std::string texts = emulator->scaleFile(0, kDataKinds[kTexts].id);
    const std::string savedFormats = readFile(formats), savedTexts = readFile(texts);
    struct Case {
        const char* kinds;
        int status;
        bool formatsBack, textsBack;
    };
    for (const Case& c : {Case{"formaty", 0, true, false}, Case{"texty,image", 0, false, true},
                          Case{"image,plu", 1, false, false}}) {
        SCOPED_TRACE(c.kinds);
        writeFile(formats, "wiped");
        writeFile(texts, "wiped");
        const Outcome run = zaltool({"restore-list", archives.path().string(), list.string(), workOption(),
                                     std::string("--kinds=") + c.kinds});
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_EQ(readFile(formats), c.formatsBack ? savedFormats : "wiped");
        EXPECT_EQ(readFile(texts), c.textsBack ? savedTexts : "wiped");
    }
}

}  // namespace
