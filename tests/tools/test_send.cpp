// zaltool send --backup-first: the safety folder, and the scale's old bytes kept before a send.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

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

}  // namespace
