// zaltool backup-list: the night's run over a list, its generations, a killed run, and the night's files.
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

TEST_F(ZaltoolRuns, backupListOfFourWithOneDead_threeArchivesAsTheDialogMakesThem_andTheOlderOneKept) {
    startEmulator();
    // Nothing listens on 127.0.0.5.
    const std::string dead = "127.0.0.5:" + std::to_string(emulator->port());
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + " pokladna 1\n" + scale(1) + "\n" + dead + " sklad\n" + scale(2) + "\n");
    const std::string date = today();
    const std::string older = archive(listArchiveName(dead, date));
    const std::string olderBytes = dialogArchive(scale(2));
    writeFile(older, olderBytes);
    const std::vector<std::string> args{"backup-list", list.string(), archives.path().string(), workOption()};

    const Outcome run = zaltool(args);
    if (today() != date) GTEST_SKIP() << "the run went past midnight";
    EXPECT_EQ(run.status, 1) << run.err;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string name = archive(listArchiveName(scale(i), date));
        EXPECT_TRUE(sameBytes(readFile(name), dialogArchive(scale(i)))) << name;
        EXPECT_TRUE(hasLine(run.out, scale(i) + ": zazálohováno do " + name)) << run.out;
    }
    EXPECT_EQ(readFile(older), olderBytes);
    EXPECT_TRUE(hasLine(run.out, dead + ": Chyba komunikace s váhou (stav 5)")) << run.out;
    EXPECT_TRUE(hasLine(run.out, dead + ": NEZAZÁLOHOVÁNO; starší " + older + " zůstává")) << run.out;
    EXPECT_TRUE(run.out.ends_with("\nzáloha: 3 z 4 vah v pořádku; selhaly " + dead + "\n")) << run.out;
    EXPECT_NE(run.err.find(kCommFailure + "\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("zaltool: " + dead + ": nezazálohováno\n"), std::string::npos) << run.err;
    EXPECT_EQ(archives.entries().size(), 5u);  // and the run record; no temporary file left behind
    EXPECT_EQ(work.entries(), std::set<std::string>{});
    const std::vector<RunRecordLine> record = readRunRecord(archives.path());
    ASSERT_EQ(record.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const bool failed = i == 2;
        EXPECT_EQ(record[i].command, "backup-list");
        EXPECT_EQ(record[i].status, failed ? kRunFailed : kRunOk);
        EXPECT_EQ(record[i].libraryStatus, failed ? 5 : 0);
        EXPECT_EQ(record[i].archive, failed ? "" : listArchiveName(scale(i - (i > 2)), date));
    }

    // The same list three at a time, into another folder: the same archives,
    // lines (but for the folder) and exit status.
    ScratchFolder parallel("zalohy-console-parallel-");
    writeFile(parallel / listArchiveName(dead, date), olderBytes);
    std::vector<std::string> jobs = args;
    jobs[2] = parallel.path().string();
    jobs.push_back("--jobs=3");
    const Outcome three = zaltool(jobs);
    if (today() != date) GTEST_SKIP() << "the run went past midnight";
    EXPECT_EQ(three.status, run.status);
    std::string expectedOut = run.out;
    for (std::size_t at; (at = expectedOut.find(archives.path().string())) != std::string::npos;)
        expectedOut.replace(at, archives.path().string().size(), parallel.path().string());
    EXPECT_EQ(three.out, expectedOut);
    EXPECT_EQ(three.err, run.err);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(readFile(parallel / listArchiveName(scale(i), date)),
                  readFile(archive(listArchiveName(scale(i), date))));
    EXPECT_EQ(work.entries(), std::set<std::string>{});

    // --quiet, for a scheduled job's log: one line per scale with its result
    // and the summary; every problem line still on stderr.
    ScratchFolder quiet("zalohy-console-quiet-");
    jobs[2] = quiet.path().string();
    jobs.push_back("--quiet");
    const Outcome brief = zaltool(jobs);
    if (today() != date) GTEST_SKIP() << "the run went past midnight";
    EXPECT_EQ(brief.status, run.status);
    const auto done = [&](std::size_t i) { return scale(i) + ": zazálohováno (" + listArchiveName(scale(i), date) + ")\n"; };
    EXPECT_EQ(brief.out, done(0) + done(1) + dead + ": NEZAZÁLOHOVÁNO (stav 5)\n" + done(2) +
                             "záloha: 3 z 4 vah v pořádku; selhaly " + dead + "\n");
    EXPECT_EQ(brief.err, run.err);

    // Later the same day, with the first scale's formats changed: its
    // complete archive is replaced, the dead scale's older one still kept.
    const std::string first = readFile(archive(listArchiveName(scale(0), date)));
    writeFile(emulator->scaleFile(0, kDataKinds[kFormats].id), "new formats");
    const Outcome again = zaltool(args);
    if (today() != date) GTEST_SKIP() << "the run went past midnight";
    EXPECT_EQ(again.status, 1);
    const std::string replaced = readFile(archive(listArchiveName(scale(0), date)));
    EXPECT_NE(replaced, first);
    EXPECT_TRUE(sameBytes(replaced, dialogArchive(scale(0))));
    EXPECT_EQ(readFile(older), olderBytes);
}

TEST_F(ZaltoolRuns, skippedLineWithoutADeadScale_orAScaleFailingAfterItsFirstKind_exitOneAndNoFileLeft) {
    startEmulator();
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + "\n..\\sklad\n");
    Outcome run = zaltool({"backup-list", list.string(), archives.path().string(), workOption()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.ends_with("\nzáloha: 1 z 1 vah v pořádku; přeskočené řádky seznamu: 1\n")) << run.out;
    const std::set<std::string> done{listArchiveName(scale(0), today()), kRunRecordFile};
    // --json: the record's line instead of the Czech lines.
    run = zaltool({"backup-list", list.string(), archives.path().string(), workOption(), "--json"});
    EXPECT_EQ(run.status, 1);
    const std::vector<RunRecordLine> record = readRunRecord(archives.path());
    ASSERT_EQ(record.size(), 2u);
    EXPECT_TRUE(run.out.starts_with(formatRunRecord(record[1]) + "{\"type\":\"summary\",")) << run.out;
    // A record that cannot be appended to is said, once for the run; the
    // lines still come out.
    ScratchFolder unrecorded("zalohy-console-unrecorded-");
    fs::create_directory(unrecorded / kRunRecordFile);
    writeFile(list, scale(0) + "\n" + scale(2) + "\n");
    run = zaltool({"backup-list", list.string(), unrecorded.path().string(), workOption(), "--json"});
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3) << run.out;  // and the summary
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find((unrecorded / kRunRecordFile).string()), std::string::npos) << run.err;
    // A list that names no scale ends with 1.
    writeFile(list, "");
    run = zaltool({"backup-list", list.string(), archives.path().string(), workOption()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zaltool: " + list.string() + " neuvádí žádnou váhu\n");

    // The texts fail after the formats were stored.
    startEmulator({"--refuse", "38"});
    writeFile(list, scale(1) + "\n");
    run = zaltool({"backup-list", list.string(), archives.path().string(), workOption(), "--jobs=2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(hasLine(run.out, scale(1) + ": Chyba komunikace s váhou (stav 9)")) << run.out;
    EXPECT_EQ(archives.entries(), done);
    EXPECT_EQ(work.entries(), std::set<std::string>{});
    // The same failure under backup --overwrite: the older archive stays and
    // nothing is left beside it.
    const std::string older = archive("older.zal");
    writeFile(older, "older");
    run = zaltool({"backup", "--overwrite", scale(1), older, "--work=" + logs.path().string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(readFile(older), "older");
    fs::remove(older);
    EXPECT_EQ(archives.entries(), done);
}

// --keep counts sound generations only: a damaged one never costs a sound
// one, the archive just written always stays, a future-dated copy is said
// and left alone, and only leftovers nobody holds are swept.
TEST_F(ZaltoolRuns, keep_countsSoundGenerationsOnly_neverPrunesTheNewArchive_leavesFutureDatedAlone) {
    startEmulator();
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + "\n");
    const std::string sound = dialogArchive(scale(0), {kFormats});
    const auto name = [&](const char* day) { return listArchiveName(scale(0), day); };
    for (const char* day : {"2020-01-01", "2020-01-03", "9999-12-31"}) writeFile(archive(name(day)), sound);
    for (const char* day : {"2019-12-31", "2020-01-04"}) writeFile(archive(name(day)), sound.substr(0, 60));
    const std::string other = listArchiveName(scale(1), "2020-01-01");
    const std::string leftover = name("2020-01-02") + ".0123abcd.tmp";
    const std::string held = listArchiveName(scale(2), "2020-01-02") + ".4567cdef.tmp";
    writeFile(archive(other), "other");
    writeFile(archive(leftover), "killed");
    std::FILE* holder = createHeldFile(archive(held));  // a job of another run writing it
    ASSERT_NE(holder, nullptr);

    const std::vector<std::string> args{"backup-list", list.string(), archives.path().string(), workOption()};
    // --quiet keeps the lines on damaged and future-dated archives.
    Outcome run = zaltool({args[0], args[1], args[2], args[3], "--keep=2", "--quiet"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(archives.entries(), (std::set<std::string>{name(today().c_str()), name("2020-01-04"), name("2020-01-03"),
                                                         name("9999-12-31"), other, held, kRunRecordFile}));
    for (const std::string& line : {scale(0) + ": poškozený archiv " + name("2020-01-04") + " ponechán ke kontrole",
                                    scale(0) + ": poškozený archiv " + name("2019-12-31") +
                                        " smazán (starší než ponechané zálohy)",
                                    scale(0) + ": " + name("9999-12-31") +
                                        " má datum v budoucnosti; ponechán, mezi generace se nepočítá"})
        EXPECT_TRUE(hasLine(run.out, line)) << line << "\n" << run.out;

    run = zaltool({args[0], args[1], args[2], args[3], "--keep=1"});
    std::fclose(holder);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(archives.entries(), (std::set<std::string>{name(today().c_str()), name("9999-12-31"), other, held,
                                                         kRunRecordFile}));
    EXPECT_EQ(readRunRecord(archives.path()).back().archive, name(today().c_str()));
}

TEST_F(ZaltoolRuns, parallelBackupListKilled_noPartialArchive_theNextRunCompletesAndClearsUp) {
    startEmulator({"--delay", "150"});
    const fs::path list = logs / "obchod.lst";
    writeFile(list, scale(0) + "\n" + scale(1) + "\n" + scale(2) + "\n");
    const std::string date = today();
    const std::string older = archive(listArchiveName(scale(1), date));
    writeFile(older, "older");
    const std::vector<std::string> args{"backup-list", list.string(), archives.path().string(), workOption(),
                                        "--jobs=3"};
    Zaltool killed(logs.path(), "killed", args);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    killed.kill();
    killed.wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the jobs die with it
    std::set<std::string> left = archives.entries();
    left.erase(kRunRecordFile);  // the scales done before the kill
    EXPECT_EQ(left, std::set<std::string>{listArchiveName(scale(1), date)});
    EXPECT_EQ(readFile(older), "older");

    const Outcome next = zaltool(args);
    if (today() != date) GTEST_SKIP() << "the run went past midnight";
    EXPECT_EQ(next.status, 0) << next.err;
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(sameBytes(readFile(archive(listArchiveName(scale(i), date))), dialogArchive(scale(i))));
    EXPECT_EQ(archives.entries().size(), 4u);  // and the run record
    EXPECT_EQ(work.entries(), std::set<std::string>{});
}

TEST_F(ZaltoolRuns, listThatIsNoRegularFile_isRefusedAtOnce) {
    const fs::path fifo = logs / "seznam.lst";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& list : {std::string("/dev/zero"), fifo.string()}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"backup-list", list, archives.path().string(), workOption()},
              std::vector<std::string>{"send-list", archive("a.zal"), list, workOption()}}) {
            const auto start = std::chrono::steady_clock::now();
            const Outcome run = zaltool(args);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("není obyčejný soubor"), std::string::npos) << run.err;
        }
    }
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
        if (args.size() == 2) {
            ASSERT_EQ(::mkfifo((dir / kRunRecordFile).c_str(), 0600), 0);  // from here on
        }
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
