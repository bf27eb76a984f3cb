// zaltool's safety net end to end: send --backup-first, diff, check and
// check-list, the built zaltool against emulated scales on 127.0.0.x only.
#include "ArchiveBytes.h"
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "KindArchive.h"
#include "RunRecord.h"
#include "SameBytes.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <chrono>
#include <memory>
#include <regex>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class ZaltoolSafety : public ::testing::Test {
protected:
    ScratchFolder data{"zalohy-safety-data-"}, work{"zalohy-safety-work-"}, files{"zalohy-safety-files-"};
    std::unique_ptr<EmulatorProcess> emulator, stalled;

    void SetUp() override { ::setenv("TWSWTCP_LOOPBACK_ONLY", "1", 1); }

    // Seeded scales on 127.0.0.2 to 127.0.0.4; their data stays when restarted.
    void startEmulator(std::vector<std::string> extraArgs = {}) {
        emulator.reset();
        emulator = std::make_unique<EmulatorProcess>(
            EmulatorSetup{data.path(), loopbackAddresses(3), 0, true, std::move(extraArgs), {}});
        ASSERT_TRUE(emulator->start()) << emulator->error();
    }
    std::string scale(std::size_t i) const { return emulator->scaleAddress(i); }
    std::string scaleData(std::size_t i, std::size_t kind) const {
        return readFile(emulator->scaleFile(i, kDataKinds[kind].id));
    }

    Outcome zaltool(const std::vector<std::string>& args) {
        std::string command = ZALTOOL_PATH;
        for (const std::string& arg : args) command += " '" + arg + "'";
        const int raw = std::system((command + " >" + (files / "out").string() + " 2>" + (files / "err").string()).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(files / "out"), readFile(files / "err")};
    }
    Outcome send(const std::string& archive, const std::string& address, const fs::path& safety,
                 std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"send", archive, address, "--work=" + work.path().string(),
                                   "--backup-first=" + safety.string()});
        return zaltool(args);
    }
};

// A safety folder that does not exist yet is made (one level) and said; one
// that cannot be made is refused before anything reaches the scale.
TEST_F(ZaltoolSafety, backupFirstFolderMissing_isMadeOneLevel_orTheSendRefused) {
    startEmulator();
    const std::string source = (files / "new.zal").string();
    writeFile(source, archiveOfKinds({kFormats}));
    const std::string before = scaleData(0, kFormats);
    const Outcome refused = send(source, scale(0), files / "a" / "pojistka");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zaltool: složku " + (files / "a" / "pojistka").string() +
                               " pro zálohy před odesláním nelze vytvořit\n");
    EXPECT_EQ(scaleData(0, kFormats), before);

    const Outcome made = send(source, scale(0), files / "pojistka");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(made.out.starts_with("složka " + (files / "pojistka").string() +
                                     " pro zálohy před odesláním vytvořena\n")) << made.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(files / "pojistka"), fs::directory_iterator()), 1);
}

TEST_F(ZaltoolSafety, sendWithBackupFirst_keepsTheScalesOldBytesOfTheSentKinds_orSendsNothingWhenItFails) {
    startEmulator();
    const std::string source = (files / "new.zal").string();
    writeFile(source, archiveOfKinds({kTexts, kFormats}));
    ScratchFolder safety{"zalohy-safety-archives-"};
    const std::string old = expectedArchive({{34, scaleData(0, kFormats)}, {38, scaleData(0, kTexts)}});

    Outcome run = send(source, scale(0), safety.path());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(safety.entries().size(), 1u);
    const std::string name = *safety.entries().begin();  // 127.0.0.2_... sorts first
    EXPECT_TRUE(name.starts_with(scale(0).replace(9, 1, "_") + "-")) << name;
    EXPECT_TRUE(name.ends_with("-pred-odeslanim.zal")) << name;
    EXPECT_TRUE(sameBytes(readFile(safety / name), old));
    EXPECT_EQ(scaleData(0, kFormats), kindMember(kFormats));
    EXPECT_EQ(scaleData(0, kTexts), kindMember(kTexts));
    // A second send later the same day keeps a safety archive of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    run = send(source, scale(0), safety.path());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(safety.entries().size(), 2u);

    // The same through send-list's jobs: the third scale's old bytes kept.
    const std::string third = expectedArchive({{34, scaleData(2, kFormats)}, {38, scaleData(2, kTexts)}});
    writeFile(files / "seznam.lst", scale(2) + "\n");
    run = zaltool({"send-list", source, (files / "seznam.lst").string(), "--work=" + work.path().string(),
                   "--backup-first=" + safety.path().string(), "--jobs=2"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(safety.entries().size(), 3u);
    EXPECT_TRUE(sameBytes(readFile(safety / *std::next(safety.entries().begin(), 2)), third));
    EXPECT_EQ(scaleData(2, kFormats), kindMember(kFormats));

    // The scale refuses the texts: their backup fails, and not even the
    // formats, sent first, reach the scale; with --force they do.
    startEmulator({"--refuse", "38"});
    ScratchFolder refused{"zalohy-safety-refused-"};
    const std::string before = scaleData(1, kFormats);
    run = send(source, scale(1), refused.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(scale(1) + ": záloha před odesláním se nezdařila (stav 9); do váhy nebylo nic odesláno"),
              std::string::npos) << run.err;
    EXPECT_EQ(scaleData(1, kFormats), before);
    EXPECT_EQ(refused.entries(), std::set<std::string>{});
    run = send(source, scale(1), refused.path(), {"--force"});
    EXPECT_EQ(scaleData(1, kFormats), kindMember(kFormats));
    EXPECT_EQ(refused.entries(), std::set<std::string>{});
}

TEST_F(ZaltoolSafety, sendList_sendsOnlyTheKindsAsked_andNothingToAScaleWhoseBackupFailedUnlessForced) {
    startEmulator();
    const std::string source = (files / "new.zal").string();
    writeFile(source, archiveOfKinds({kTexts, kFormats}));
    const std::string list = (files / "seznam.lst").string();
    writeFile(list, scale(0) + "\n" + scale(1) + "\n");
    const std::string texts[2] = {scaleData(0, kTexts), scaleData(1, kTexts)};
    Outcome run = zaltool({"send-list", source, list, "--kinds=formaty", "--jobs=2", "--work=" + work.path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ(scaleData(i, kFormats), kindMember(kFormats)) << i;
        EXPECT_EQ(scaleData(i, kTexts), texts[i]) << i;
    }

    // The texts cannot be backed up from the third scale: without --force
    // nothing reaches it, with --force the formats do.
    startEmulator({"--refuse", "38"});
    writeFile(list, scale(2) + "\n");
    ScratchFolder safety{"zalohy-safety-list-"};
    const std::string before = scaleData(2, kFormats);
    const std::vector<std::string> args{"send-list", source, list, "--work=" + work.path().string(),
                                        "--backup-first=" + safety.path().string()};
    run = zaltool(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(scaleData(2, kFormats), before);
    std::vector<std::string> forced = args;
    forced.push_back("--force");
    run = zaltool(forced);
    EXPECT_EQ(scaleData(2, kFormats), kindMember(kFormats));
    EXPECT_EQ(safety.entries(), std::set<std::string>{});
}

TEST_F(ZaltoolSafety, diff_saysPerKindWhatDiffers_andRefusesAnUnsoundArchive) {
    const std::string formats = kindMember(kFormats), texts = kindMember(kTexts), plu = kindMember(kPlu);
    const std::string base = expectedArchive({{34, formats}, {38, texts}});
    std::string unsound = base;
    putInt32(unsound, 16, 1000);  // formats run past the end of the file
    std::string misplaced = base;
    putInt32(misplaced, 8 + 12, 41);  // the texts' slot holds the preset keys' id
    const struct {
        std::string b;
        int status;
        std::string lines;
    } cases[] = {
        {expectedArchive({{38, texts}, {34, formats}}), 0, "Formáty: stejné (271 B)\nTexty: stejné (270 B)\n"},
        {expectedArchive({{34, formats}, {38, texts + "!"}}), 1,
         "Formáty: stejné (271 B)\nTexty: rozdílné (A 270 B, B 271 B)\n"},
        {expectedArchive({{34, formats}, {38, std::string(texts).replace(200, 1, "?")}}), 1,
         "Formáty: stejné (271 B)\nTexty: rozdílné (A 270 B, B 270 B)\n"},
        {expectedArchive({{34, formats}, {25, plu}}), 1,
         "Formáty: stejné (271 B)\nTexty: jen v A (270 B)\nPLU soubor: jen v B (276 B)\n"},
        {expectedArchive({{34, formats + "!"}, {38, texts}}), 1,
         "Formáty: rozdílné (A 271 B, B 272 B)\nTexty: stejné (270 B)\n"},
        {unsound, 2, ""},
        {misplaced, 2, ""},
    };
    writeFile(files / "a.zal", base);
    for (const auto& c : cases) {
        writeFile(files / "b.zal", c.b);
        const Outcome run = zaltool({"diff", (files / "a.zal").string(), (files / "b.zal").string()});
        EXPECT_EQ(run.status, c.status) << c.lines;
        EXPECT_EQ(run.out, c.lines);
        EXPECT_EQ(run.err.empty(), c.status != 2) << run.err;
    }
    EXPECT_EQ(zaltool({"diff", (files / "a.zal").string()}).status, 2);
}

TEST_F(ZaltoolSafety, check_ofALiveAStalledAndAnAbsentScale_exitCodesAndStatusNumbers) {
    startEmulator();
    stalled = std::make_unique<EmulatorProcess>(
        EmulatorSetup{data.path(), {"127.0.0.7"}, 0, true, {"--stall"}, files / "stalled.log"});
    ASSERT_TRUE(stalled->start()) << stalled->error();
    const std::string silent = stalled->scaleAddress(), absent = "127.0.0.5:" + std::to_string(emulator->port());
    const std::pair<std::string, Outcome> expected[] = {
        {scale(0), {0, scale(0) + ": váha odpovídá (stav 0)\n", ""}},
        {silent, {1, silent + ": váha neodpovídá (stav 6)\n", "zaltool: " + silent + ": váha neodpovídá (stav 6)\n"}},
        {absent, {1, absent + ": váha neodpovídá (stav 5)\n", "zaltool: " + absent + ": váha neodpovídá (stav 5)\n"}},
    };
    std::string list, lines;
    for (const auto& [address, outcome] : expected) {
        const Outcome run = zaltool({"check", address});
        EXPECT_EQ(run.status, outcome.status) << address;
        EXPECT_EQ(run.out, outcome.out);
        EXPECT_EQ(run.err, outcome.err);
        list += address + " pokladna\n";
        lines += outcome.out;
    }
    writeFile(files / "seznam.lst", list + "127.0.0.6/x\n");
    const std::string record = "--record=" + files.path().string();
    const Outcome run = zaltool({"check-list", (files / "seznam.lst").string(), "--jobs=3", record});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.starts_with(lines)) << run.out;
    EXPECT_TRUE(run.out.ends_with("kontrola: 1 z 3 vah v pořádku; selhaly " + silent + ", " + absent +
                                  "; přeskočené řádky seznamu: 1\n")) << run.out;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("zaltool-kontrola-")) << entry.path();

    // --json: a record line per scale instead, the skipped line on stderr; the
    // lines are those appended to the record.
    const Outcome json = zaltool({"check-list", (files / "seznam.lst").string(), "--json", record});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.err.find("Řádek 4 souboru"), std::string::npos) << json.err;
    const std::vector<RunRecordLine> recorded = readRunRecord(files.path());
    ASSERT_EQ(recorded.size(), 6u);
    std::string jsonLines;
    for (std::size_t i = 0; i < 3; ++i) {
        const int status[] = {0, 6, 5};
        EXPECT_EQ(recorded[i + 3].address, expected[i].first);
        EXPECT_EQ(recorded[i + 3].status, i == 0 ? kRunOk : kRunFailed);
        EXPECT_EQ(recorded[i + 3].libraryStatus, status[i]);
        EXPECT_EQ(recorded[i + 3].command, "check-list");
        jsonLines += formatRunRecord(recorded[i + 3]);
    }
    EXPECT_EQ(json.out.substr(0, jsonLines.size()), jsonLines);
    EXPECT_TRUE(std::regex_match(json.out.substr(jsonLines.size()),
                                 std::regex(R"(\{"type":"summary","command":"check-list","time":"[-0-9T:+]+",)"
                                            R"("done":1,"failed":2,"skipped":1,"missing":0,"scales":3,)"
                                            R"("exit_status":1\}\n)")))
        << json.out;
}

// The night's files are plain files or missing. report refuses a record, a
// page target or a list that is something else (a FIFO is never waited
// for; a link is not written through), and a list command a record that
// would swallow its lines: at once, in one line naming it, exit status 1,
// the thing left as it was.
TEST_F(ZaltoolSafety, nightFilesThatAreNoPlainFiles_areRefusedInOneLine_andLeftAsTheyAre) {
    const fs::path dir = files / "archiv";
    fs::create_directory(dir);
    writeFile(dir / "127.0.0.2-2026-12-08.zal", expectedArchive({{34, "f"}}));
    fs::create_directory(files / "slozka.html");
    ASSERT_EQ(::mkfifo((files / "roura.html").c_str(), 0600), 0);
    writeFile(files / "cil.html", "page");
    fs::create_symlink(files / "cil.html", files / "odkaz.html");
    writeFile(files / "prazdny.lst", "\n");
    const std::string folder = dir.string();
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"report", folder, "--out=" + (files / "slozka.html").string()}, "slozka.html není obyčejný soubor"},
        {{"report", folder, "--out=" + (files / "roura.html").string()}, "roura.html není obyčejný soubor"},
        {{"report", folder, "--out=" + (files / "odkaz.html").string()}, "odkaz.html není obyčejný soubor"},
        {{"report", folder, "--list=" + (files / "prazdny.lst").string()}, "prazdny.lst neuvádí žádnou váhu"},
        {{"report", folder}, kRunRecordFile + std::string(" není obyčejný soubor")},
        {{"check-list", (files / "seznam.lst").string(), "--record=" + folder},
         kRunRecordFile + std::string(" není obyčejný soubor")},
    };
    startEmulator();
    writeFile(files / "seznam.lst", scale(0) + "\n" + scale(1) + "\n");  // the record refused once
    for (const auto& [args, said] : refused) {
        if (args.size() == 2) ASSERT_EQ(::mkfifo((dir / kRunRecordFile).c_str(), 0600), 0);  // from here on
        const Outcome run = zaltool(args);
        EXPECT_EQ(run.status, 1) << said;
        EXPECT_TRUE(run.err.starts_with("zaltool: ") && run.err.find(said) != std::string::npos &&
                    run.err.find('\n') == run.err.size() - 1) << run.err;
    }
    EXPECT_TRUE(fs::is_directory(files / "slozka.html"));
    EXPECT_TRUE(fs::is_fifo(files / "roura.html") && fs::is_fifo(dir / kRunRecordFile));
    EXPECT_TRUE(fs::is_symlink(files / "odkaz.html"));
    EXPECT_EQ(readFile(files / "cil.html"), "page");
    EXPECT_FALSE(fs::exists(dir / "prehled-zaloh.html"));
}

}  // namespace
