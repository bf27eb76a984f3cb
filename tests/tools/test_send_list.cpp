// zaltool send-list: one archive to every scale of a list.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

TEST_F(ZaltoolRuns, sendListWithADeadScale_liveScalesGetTheArchive_sameLinesWithOneJobOrThree) {
    startEmulator();
    const std::string source = archive("source.zal");
    ASSERT_EQ(zaltool({"backup", scale(0), source, workOption(), "--kinds=formaty,texty"}).status, 0);
    const std::string dead = "127.0.0.5:" + std::to_string(emulator->port());
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(1) + "\n" + dead + "\n" + scale(2) + "\n");

    const Outcome one = zaltool({"send-list", source, list.string(), workOption()});
    EXPECT_EQ(one.status, 1);
    EXPECT_TRUE(hasLine(one.out, dead + ": Chyba komunikace s váhou (stav 5)")) << one.out;
    EXPECT_TRUE(one.out.ends_with("\nOdeslání se nezdařilo u 1 z 3 vah\nodeslání: 2 z 3 vah v pořádku; selhaly " +
                                  dead + "\n"))
        << one.out;
    for (std::size_t i : {1u, 2u})
        for (int id : {kDataKinds[kFormats].id, kDataKinds[kTexts].id})
            EXPECT_EQ(readFile(emulator->scaleFile(i, id)), readFile(emulator->scaleFile(0, id))) << i << " " << id;
    const Outcome three = zaltool({"send-list", source, list.string(), workOption(), "--jobs=3"});
    EXPECT_EQ(three.status, one.status);
    EXPECT_EQ(three.out, one.out);
    EXPECT_EQ(three.err, one.err);
    // "error" of the backup before; the two runs' record
    EXPECT_EQ(work.entries(), (std::set<std::string>{"error", kRunRecordFile}));
    EXPECT_EQ(readRunRecord(work.path()).size(), 6u);

    // A kind the archive lacks: refused before any scale.
    const Outcome lacking = zaltool({"send-list", source, list.string(), workOption(), "--kinds=texty,plu"});
    EXPECT_EQ(lacking.status, 1);
    EXPECT_EQ(lacking.out, "");
    EXPECT_EQ(lacking.err, "zaltool: " + source + " neobsahuje plu\n");
    // An archive that cannot be extracted (read-only) stops the list at its
    // first scale, without the dialog's end line.
    fs::permissions(source, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Outcome stopped = zaltool({"send-list", source, list.string(), workOption()});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.out.find("Odeslání se nezdařilo"), std::string::npos) << stopped.out;
    EXPECT_TRUE(stopped.out.ends_with("\nodeslání: 0 z 1 vah v pořádku; selhaly " + scale(1) + "\n")) << stopped.out;
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

}  // namespace
