// zaltool's unattended runs end to end: the built zaltool with the real scale
// library (told to refuse anything but loopback) against emulated scales on
// 127.0.0.x, compared with the archives the backup dialog's own run makes
// in-process for the same data.
#include "BackupDialog.h"
#include "DataKind.h"
#include "EmulatorProcess.h"
#include "FolderLock.h"
#include "FakePort.h"
#include "RunRecord.h"
#include "SameBytes.h"
#include "ScaleCommand.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <regex>
#include <memory>
#include <thread>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::size_t> kAllKinds{kFormats, kTexts, kShopName, kPresetKeys, kPlu, kImage};
const std::string kCommFailure = "Ne zrovna dobrá zpráva: Chyba komunikace s váhou Zkontrolujte zadání";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// zaltool started as a child process, its output going to two files.
class Zaltool {
public:
    // fileLimit: the most bytes the child may write into one file (a full medium).
    Zaltool(const fs::path& logs, const std::string& name, std::vector<std::string> args, rlim_t fileLimit = 0)
        : out_(logs / (name + ".out")), err_(logs / (name + ".err")) {
        args.insert(args.begin(), ZALTOOL_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = ::fork();
        if (pid_ == 0) {
            if (fileLimit > 0) {
                const rlimit limit{fileLimit, fileLimit};
                ::signal(SIGXFSZ, SIG_IGN);  // a write beyond it fails instead
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(err);
    }
    void kill() { ::kill(pid_, SIGKILL); }
    Outcome wait() {
        int raw = 0;
        ::waitpid(pid_, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out_), readFile(err_)};
    }

private:
    fs::path out_, err_;
    pid_t pid_ = -1;
};

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// The archive name backup-list gives a scale: ':' of the port becomes '_'.
std::string listArchiveName(std::string address, const std::string& date) {
    for (char& c : address)
        if (c == ':') c = '_';
    return address + "-" + date + ".zal";
}

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// A --json run's summary line with its time as "T" (any local time passes).
std::string timeless(const std::string& line) {
    return std::regex_replace(line, std::regex(R"re("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[^"]*")re"), R"("time":"T")");
}

class ZaltoolRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("TWSWTCP_LOOPBACK_ONLY", "1", 1);
        const LibraryBinding binding = ScaleLibrary::bindFile(ZALOHY_SCALELIB_PATH);
        ASSERT_TRUE(binding.ok) << binding.message();
    }

    ScratchFolder data{"zalohy-console-data-"};
    ScratchFolder work{"zalohy-console-work-"};  // zaltool's working folder
    ScratchFolder archives{"zalohy-console-archives-"};
    ScratchFolder logs{"zalohy-console-logs-"};
    std::unique_ptr<EmulatorProcess> emulator;

    // Three seeded scales on 127.0.0.2 to 127.0.0.4; their data stays when restarted.
    void startEmulator(std::vector<std::string> extraArgs = {}) {
        emulator.reset();
        EmulatorSetup setup;
        setup.dataDir = data.path();
        setup.addresses = loopbackAddresses(3);
        setup.seed = true;
        setup.extraArgs = std::move(extraArgs);
        emulator = std::make_unique<EmulatorProcess>(setup);
        ASSERT_TRUE(emulator->start()) << emulator->error();
    }
    std::string scale(std::size_t i) const { return emulator->scaleAddress(i); }
    std::string workOption() const { return "--work=" + work.path().string(); }
    std::string archive(const std::string& name) const { return (archives / name).string(); }

    Outcome zaltool(std::vector<std::string> args) { return Zaltool(logs.path(), "zaltool", std::move(args)).wait(); }

    // The archive the backup dialog's run makes of this scale, driven in
    // process through a recording window in a folder of its own.
    std::string dialogArchive(const std::string& address, const std::vector<std::size_t>& kinds = kAllKinds) {
        ScratchFolder folder("zalohy-console-dialog-", true);
        BoxLog boxes;
        FakePort port(boxes, kBackupDialogForm);
        BackupDialog dialog(port, (folder / "Skladex.ini").string());
        dialog.FormActivate();
        port.setEditText(Control::EditScaleNumber, address);
        for (std::size_t k : kinds) port.setChecked(kDataKinds[k].checkBox, true);
        port.fileAnswers.push_back((folder / "dialog.zal").string());
        dialog.SaveToArchiveClick();
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{});
        return readFile(folder / "dialog.zal");
    }
};

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
    Outcome run = zaltool({args[0], args[1], args[2], args[3], "--keep=2"});
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

TEST_F(ZaltoolRuns, wrongCommandLines_exitTwoBeforeAnythingHappens) {
    const std::string a = archive("a.zal");
    const std::vector<std::vector<std::string>> wrong{
        {"backup", "127.0.0.2"},
        {"backup", "127.0.0.2", a, "--kinds=formaty,sklad"},
        {"backup", "127.0.0.2", a, "--kinds"},
        {"send", a, "127.0.0.2", "--overwrite"},
        {"backup-list", a},
        {"backup-list", a, a, "--jobs=0"},
        {"send-list", a, a, "--keep=2"},
        {"restore-list", a},
        {"restore-list", a, a, "--dry-run", "--json"},
        {"check-list", a, "--record"},
        {"backup-list", a, a, "--ping=ftp://127.0.0.1/x"},
        {"send-list", a, a, "--ping=https://"},
        {"restore-list", a, a, "--dry-run", "--ping=http://127.0.0.1/x"},
        {"backup", "127.0.0.2", a, "--colour"},
    };
    for (const std::vector<std::string>& args : wrong) {
        const Outcome run = zaltool(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_TRUE(run.err.starts_with("zaltool: " + args[0] + ": ")) << run.err;
    }
    EXPECT_EQ(archives.entries(), std::set<std::string>{});
    EXPECT_EQ(work.entries(), std::set<std::string>{});

    const Outcome help = zaltool({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text : {"backup ADRESA ARCHIV", "send ARCHIV ADRESA", "backup-list SEZNAM SLOŽKA", "restore-list SLOŽKA SEZNAM",
                             "formaty,texty,nazev,presety,plu,image"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

}  // namespace
