// zaltool backup: two runs at once in one folder, and an archive sent and backed up again.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

TEST_F(ZaltoolRuns, archiveSentToASecondScaleAndBackedUpAgain_isTheSameArchive) {
    startEmulator();
    const std::string source = archive("source.zal");
    const std::string copy = archive("copy.zal");
    Outcome run = zaltool({"backup", scale(0), source, workOption()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.ends_with("Gratulujeme,označené soubory \nmáte zazálohované!\n")) << run.out;
    EXPECT_TRUE(sameBytes(readFile(source), dialogArchive(scale(0))));
    ASSERT_NE(dialogArchive(scale(1)), readFile(source)) << "the two scales must hold different data";

    run = zaltool({"send", source, scale(1), "--work", work.path().string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.starts_with(source + "\n")) << run.out;
    EXPECT_TRUE(run.out.ends_with("\nNavolené datové soubory jsou odeslány\n")) << run.out;

    run = zaltool({"backup", scale(1), copy, workOption()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(sameBytes(readFile(copy), readFile(source)));

    // An existing archive is refused before anything happens; --overwrite
    // replaces it, here with two kinds only.
    writeFile(copy, "keep me");
    run = zaltool({"backup", scale(2), copy, workOption()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(copy), "keep me");
    // On a medium that fills up after the formats, the old archive stays
    // byte for byte and no temporary file is left.
    Outcome full = Zaltool(logs.path(), "full", {"backup", "--overwrite", scale(2), copy, workOption(),
                                                 "--kinds=formaty,plu"}, 8000).wait();
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(readFile(copy), "keep me");
    EXPECT_EQ(archives.entries(), (std::set<std::string>{"copy.zal", "source.zal"}));
    run = zaltool({"backup", "--overwrite", scale(2), copy, workOption(), "--kinds", "plu,formaty"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(sameBytes(readFile(copy), dialogArchive(scale(2), {kFormats, kPlu})));
    EXPECT_EQ(archives.entries(), (std::set<std::string>{"copy.zal", "source.zal"}));
}

TEST_F(ZaltoolRuns, twoRunsAtOnceInOneFolder_oneWaitsOrFailsCleanly_neitherReadsTheOthersStatus) {
    startEmulator();
    const std::vector<std::size_t> kinds{kFormats, kTexts, kShopName};
    const std::string expected[2] = {dialogArchive(scale(0), kinds), dialogArchive(scale(1), kinds)};
    // Every answer now comes 2 s late: a run holds the folder longer than
    // the other waits for it.
    startEmulator({"--delay", "2000"});
    const std::string names[2] = {archive("a.zal"), archive("b.zal")};
    Zaltool first(logs.path(), "first", {"backup", scale(0), names[0], "--kinds=formaty,texty,nazev", workOption()});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the list run always waits in vain
    Zaltool second(logs.path(), "second", {"backup", scale(1), names[1], "--kinds=formaty,texty,nazev", workOption()});
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(2) + "\n");
    Zaltool third(logs.path(), "third", {"backup-list", list.string(), archives.path().string(),
                                         "--kinds=formaty,texty,nazev", workOption()});
    const Outcome outcomes[2] = {first.wait(), second.wait()};
    // The busy folder is one line on stderr, as every failure.
    const std::string busy = "V pracovní složce " + work.path().string() +
                             " právě probíhá jiné zálohování nebo odesílání. Počkejte, až skončí, a opakujte zadání.";
    const Outcome listed = third.wait();
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(listed.err, "zaltool: " + busy + "\n");

    int completed = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        const Outcome& run = outcomes[i];
        EXPECT_EQ(run.err.find("Chyba komunikace"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Nemohu otevřít datový soubor error"), std::string::npos) << run.err;
        if (run.status == 0) {
            ++completed;
            EXPECT_TRUE(sameBytes(readFile(names[i]), expected[i])) << i;
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(hasLine(run.err, "Ne zrovna dobrá zpráva: " + busy)) << run.err;
            EXPECT_FALSE(exists(names[i]));
        }
    }
    EXPECT_GE(completed, 1);
    EXPECT_EQ(work.entries(), std::set<std::string>{"error"});
}

}  // namespace
