// The run record (its lines survive a killed writer and stay bounded) and the
// report's survey of a backup folder (which archive counts, its age, the
// 30-day strip, the changed kinds, the runs), with the page's escaping.
#include "ArchiveBytes.h"
#include "ReportPage.h"
#include "RunRecord.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

RunRecordLine record(std::string address, std::string status, std::optional<int> library = 0,
                     std::string time = "2026-12-08T02:00:13") {
    return {std::move(time), "backup-list", std::move(address), std::move(status), library, "a.zal"};
}

void appendRaw(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

TEST(RunRecord, linesReadBackAsWritten_andEveryCutOrForeignLineIsRefused) {
    RunRecordLine awkward = record("127.0.0.2:\"5\\0\"\n\x01Váha", kRunFailed, std::nullopt);
    awkward.archive = "";
    for (const RunRecordLine& r : {awkward, record("127.0.0.3", kRunOk, -7)}) {
        const std::string line = formatRunRecord(r);
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;  // one line, control characters escaped
        const std::string_view body(line.data(), line.size() - 1);
        EXPECT_EQ(parseRunRecord(body), r) << line;
        for (std::size_t cut = 0; cut < body.size(); ++cut)
            EXPECT_FALSE(parseRunRecord(body.substr(0, cut))) << "cut at " << cut;
    }
    for (const char* foreign : {"", "[]", "{}", "{\"time\":\"t\",\"command\":\"c\",\"address\":\"a\"}",
                                "{\"time\":1,\"command\":\"c\",\"address\":\"a\",\"status\":\"ok\"}",
                                "{\"time\":\"t\",\"command\":\"c\",\"address\":\"a\",\"status\":\"ok\"} x",
                                "{\"time\":\"t\",\"command\":\"c\",\"address\":\"a\",\"status\":\"ok\",\"library_status\":\"0\"}",
                                "{\"time\":\"t\",\"command\":\"c\",\"address\":\"\\ud800\",\"status\":\"ok\"}"})
        EXPECT_FALSE(parseRunRecord(foreign)) << foreign;
    // Other writers' spellings: escaped slash and letters, no archive, extra keys.
    const auto other = parseRunRecord(
        R"({ "time":"t", "command":"c", "address":"a\/\u00e1\ud83d\ude00", "status":"ok", "library_status":null, "x":"y" })");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->address, "a/\xC3\xA1\xF0\x9F\x98\x80");
    EXPECT_FALSE(other->libraryStatus);
}

TEST(RunRecord, aLineCutByAKilledRunCostsOnlyItself) {
    ScratchFolder folder;
    ASSERT_TRUE(appendRunRecord(folder.path(), record("127.0.0.2", kRunOk)));
    const std::string third = formatRunRecord(record("127.0.0.4", kRunOk));
    appendRaw(folder / kRunRecordFile, third.substr(0, third.size() / 2));  // killed in the middle of the line
    ASSERT_TRUE(appendRunRecord(folder.path(), record("127.0.0.3", kRunFailed, 5)));
    const std::vector<RunRecordLine> read = readRunRecord(folder.path());
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].address, "127.0.0.2");
    EXPECT_EQ(read[1], record("127.0.0.3", kRunFailed, 5));
    // A cut line at the very end is not read either.
    appendRaw(folder / kRunRecordFile, third.substr(0, third.size() - 1));
    EXPECT_EQ(readRunRecord(folder.path()).size(), 2u);
    EXPECT_TRUE(readRunRecord(folder / "none").empty());
}

TEST(RunRecord, oldLinesGoPastTheLimit_theNewestStayInOrder) {
    ScratchFolder folder;
    const RunRecordLimits limits{4000};
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(appendRunRecord(folder.path(), record("127.0.0." + std::to_string(i), kRunOk), limits));
    EXPECT_LE(fs::file_size(folder / kRunRecordFile), limits.maxBytes);
    const std::vector<RunRecordLine> read = readRunRecord(folder.path(), limits);
    ASSERT_GT(read.size(), 10u);
    ASSERT_LT(read.size(), 300u);
    for (std::size_t i = 0; i < read.size(); ++i)
        EXPECT_EQ(read[i].address, "127.0.0." + std::to_string(300 - read.size() + i));
    EXPECT_EQ(folder.entries(), std::set<std::string>{kRunRecordFile});  // no temporary file left
}

// Runs of several working folders append at once while one of them trims,
// and a report reads: the record is always a run of what was appended last,
// so each writer's lines in it have no gap (a lost line stays a gap until
// trimmed away) and, at the end, end with its last one; the mode stays.
TEST(RunRecord, appendsAtOnceAcrossTrims_loseNoLineOfAFinishedRun_andTheRecordStaysBounded) {
    ScratchFolder folder;
    const RunRecordLimits limits{6000};
    ASSERT_TRUE(appendRunRecord(folder.path(), record("0/0", kRunOk), limits));
    fs::permissions(folder / kRunRecordFile, fs::perms::owner_read | fs::perms::owner_write);
    const fs::perms mode = fs::status(folder / kRunRecordFile).permissions();  // as the system keeps it
    constexpr int kWriters = 4, kLines = 250;
    // Each writer's next line after those read; the first one after a gap.
    const auto gap = [&](std::vector<int>& next) {
        next.assign(kWriters, -1);
        for (const RunRecordLine& line : readRunRecord(folder.path(), limits)) {
            const int w = line.address[0] - '0', i = std::stoi(line.address.substr(2));
            if (next[w] >= 0 && next[w] != i) return line.address;
            next[w] = i + 1;
        }
        return std::string();
    };
    std::atomic<int> failed{0}, running{kWriters};
    std::string afterGap;
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&, w] {
            for (int i = w == 0; i < kLines; ++i) {
                const std::string name = std::to_string(w) + "/" + std::to_string(i);
                failed += !appendRunRecord(folder.path(), record(name, kRunOk), limits);
            }
            --running;
        });
    threads.emplace_back([&] {
        for (std::vector<int> next; running > 0 && afterGap.empty();) afterGap = gap(next);
    });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(afterGap, "");
    EXPECT_EQ(failed, 0);
    EXPECT_LE(fs::file_size(folder / kRunRecordFile), limits.maxBytes);
    EXPECT_EQ(fs::status(folder / kRunRecordFile).permissions(), mode);
    std::vector<int> next;
    EXPECT_EQ(gap(next), "");
    for (int w = 0; w < kWriters; ++w) EXPECT_TRUE(next[w] < 0 || next[w] == kLines) << w;
}

// Anything but a regular file under the record's name (a FIFO, a folder) is
// refused at once, never waited for nor written into; a read-only record is
// never written, so never grown past its limit. Each is said, naming it.
TEST(RunRecord, aRecordThatIsNoRegularFileOrIsReadOnly_isRefusedAtOnceAndSaid) {
    ScratchFolder folder;
    const fs::path path = folder / kRunRecordFile;
    const std::string full = formatRunRecord(record("127.0.0.2", kRunOk));
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const std::vector<std::pair<std::string, std::function<void()>>> cases{
        {"není obyčejný soubor", [&] { fs::create_directory(path); }},
#ifndef _WIN32
        {"není obyčejný soubor", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
#endif
        {"je jen pro čtení", [&] { writeFile(path, full), fs::permissions(path, writable, fs::perm_options::remove); }},
    };
    for (const auto& [said, make] : cases) {
        make();
        std::string problem;
        EXPECT_FALSE(appendRunRecord(folder.path(), record("127.0.0.4", kRunOk), {full.size()}, &problem));
        EXPECT_TRUE(problem.find(said) != std::string::npos && problem.find(path.string()) != std::string::npos)
            << problem;
        const bool readOnly = said == std::string("je jen pro čtení");
        EXPECT_EQ(readRunRecord(folder.path()).size(), readOnly ? 1u : 0u);
        EXPECT_EQ(refusedRunRecord(folder.path()).has_value(), !readOnly);
        if (readOnly) {
            EXPECT_EQ(readFile(path), full);
            fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        }
        fs::remove_all(path);
    }
}

// A folder as backup-list leaves it, dated around "today" = 2026-12-08.
class ReportSurvey : public ::testing::Test {
protected:
    ScratchFolder folder;
    ReportOptions options;

    void SetUp() override {
        options.folder = folder.path();
        std::tm noon{};
        noon.tm_year = 126, noon.tm_mon = 11, noon.tm_mday = 8, noon.tm_hour = 12, noon.tm_isdst = -1;
        options.now = std::mktime(&noon);
    }
    void archive(const std::string& name, const std::string& bytes) { writeFile(folder / name, bytes); }
    FolderSurvey survey() {
        std::string problem;
        std::optional<FolderSurvey> result = surveyFolder(options, problem);
        EXPECT_TRUE(result) << problem;
        return result ? *result : FolderSurvey{};
    }
};

TEST_F(ReportSurvey, newestSoundArchiveCounts_unsoundOnesAreSkipped_changesComparedByteForByte) {
    const std::string formats = memberBytes(0, "formats"), texts = memberBytes(1, "texts");
    std::string changed = formats;
    changed[150] ^= 1;  // same size, one byte differs
    archive("127.0.0.2_5000-2026-12-08.zal", expectedArchive({{34, changed}, {38, texts}}));
    archive("127.0.0.2_5000-2026-12-07.zal", expectedArchive({{34, formats}, {38, texts}}));
    archive("127.0.0.2_5000-2026-11-01.zal", expectedArchive({{34, formats}}));  // outside the strip
    // 127.0.0.3: its newest archive is cut, so the one before counts, and is stale.
    const std::string whole = expectedArchive({{38, texts}, {52, "shop"}});
    archive("127.0.0.3-2026-12-08.zal", whole.substr(0, whole.size() - 1));
    archive("127.0.0.3-2026-12-05.zal", whole);
    archive("127.0.0.3-2026-12-04.zal", expectedArchive({{38, texts}}));
    archive("127.0.0.10-2026-12-08.zal", std::string(128, '\0'));  // no member: no backup
    archive("127.0.0.10-2026-12-07.zal", expectedArchive({}));
    archive("127.0.0.3-2026-13-01.zal", whole);  // no date: not a generation
    archive("notes.zal", whole);
    appendRaw(folder / kRunRecordFile, formatRunRecord(record("127.0.0.9", kRunFailed, 5)));  // never backed up

    const FolderSurvey s = survey();
    ASSERT_EQ(s.scales.size(), 4u);  // worst first, then digits sorted as numbers
    const ScaleSurvey &nine = s.scales[0], &ten = s.scales[1], &three = s.scales[2], &two = s.scales[3];
    EXPECT_EQ(two.namePart, "127.0.0.2_5000");
    EXPECT_EQ(nine.address, "127.0.0.9");
    EXPECT_EQ(ten.namePart, "127.0.0.10");

    EXPECT_EQ(two.ageDays, 0);
    EXPECT_FALSE(two.stale);
    ASSERT_EQ(two.members.size(), 2u);
    EXPECT_EQ(two.members[0].size, static_cast<std::int64_t>(formats.size()));
    EXPECT_EQ(two.compared, ScaleSurvey::Compared::Done);
    EXPECT_EQ(two.changed, std::vector<int>{34});
    EXPECT_EQ(std::count(two.strip.begin(), two.strip.end(), DayMark::Sound), 2);
    EXPECT_EQ(two.strip[kStripDays - 2], DayMark::Sound);

    EXPECT_EQ(three.generations[static_cast<std::size_t>(three.newest)].name, "127.0.0.3-2026-12-05.zal");
    EXPECT_EQ(three.ageDays, 3);
    EXPECT_TRUE(three.stale);
    EXPECT_EQ(three.unsoundGenerations(), 1);
    EXPECT_EQ(three.strip[kStripDays - 1], DayMark::Damaged);
    EXPECT_EQ(three.changed, std::vector<int>{52});  // held now, not the day before

    EXPECT_EQ(nine.newest, -1);
    EXPECT_TRUE(nine.stale);
    EXPECT_EQ(nine.runsFailed, 1);
    EXPECT_EQ(ten.newest, -1);
    EXPECT_EQ(ten.unsoundGenerations(), 2);

    options.staleDays = 3;
    EXPECT_FALSE(survey().scales[2].stale);
}

TEST_F(ReportSurvey, aListNamesTheScalesInItsOrder_andTheLastRunsComeNewestFirst) {
    archive("127.0.0.2-2026-12-08.zal", expectedArchive({{34, "f"}}));
    archive("127.0.0.5-2026-12-08.zal", expectedArchive({{34, "f"}}));  // not on the list
    writeFile(folder / "seznam.lst", "127.0.0.4 pult\n127.0.0.2\na/b.c\n");
    options.list = (folder / "seznam.lst").string();
    options.runsShown = 2;
    for (const char* status : {kRunOk, kRunFailed, kRunOk, kRunMissing})
        appendRunRecord(folder.path(), record("127.0.0.2", status));
    appendRunRecord(folder.path(), record("127.0.0.5", kRunFailed));

    const FolderSurvey s = survey();
    ASSERT_EQ(s.scales.size(), 2u);
    EXPECT_EQ(s.scales[0].address, "127.0.0.4");
    EXPECT_EQ(s.scales[0].newest, -1);
    EXPECT_EQ(s.scales[0].runsRecorded, 0);
    const ScaleSurvey& two = s.scales[1];
    EXPECT_EQ(two.runsRecorded, 4);
    EXPECT_EQ(two.runsFailed, 2);
    ASSERT_EQ(two.lastRuns.size(), 2u);
    EXPECT_EQ(two.lastRuns[0].status, kRunMissing);
    EXPECT_EQ(two.lastRuns[1].status, kRunOk);
    EXPECT_EQ(s.notes.size(), 1u);  // the line "a/b.c"

    // A list that cannot be read, or names no scale, gives no page (one on
    // no scale would pass for a folder without backups).
    writeFile(folder / "prazdny.lst", "");
    writeFile(folder / "spatny.lst", "a/b.c\n");
    for (const char* list : {"none.lst", "prazdny.lst", "spatny.lst"}) {
        options.list = (folder / list).string();
        std::string problem;
        EXPECT_FALSE(surveyFolder(options, problem)) << list;
        EXPECT_NE(problem.find(*options.list), std::string::npos) << problem;
    }
}

// Each scale judged by what happened, worst first: a failed last run is a
// problem even with a fresh archive; neither a future-dated copy nor an
// archive without members passes for the newest backup.
TEST_F(ReportSurvey, scalesAreJudgedByTheirLastRunsAndSoundArchives_worstFirst_pageAndJsonAgree) {
    const std::string sound = expectedArchive({{34, memberBytes(0, "formats")}});
    archive("127.0.0.1-2026-12-07.zal", sound);  // fresh, but the last two runs failed
    archive("127.0.0.2-2026-11-08.zal", sound);  // 30 days old ...
    archive("127.0.0.2-9999-12-31.zal", sound);  // ... however a future-dated copy looks
    archive("127.0.0.3-2026-12-08.zal", std::string(128, '\0'));
    archive("127.0.0.3-2026-12-07.zal", sound);
    archive("127.0.0.4-2026-12-08.zal", sound);
    writeFile(folder / "seznam.lst", "127.0.0.4  maso \n127.0.0.1\tpult 1\n127.0.0.2\n127.0.0.3\n");
    options.list = (folder / "seznam.lst").string();
    for (const char* status : {kRunOk, kRunFailed, kRunFailed})
        appendRunRecord(folder.path(), record("127.0.0.1", status, 0, "2026-12-05T02:30:00+01:00"));
    appendRunRecord(folder.path(), record("127.0.0.4", kRunFailed));
    appendRunRecord(folder.path(), record("127.0.0.4", kRunOk));

    const FolderSurvey s = survey();
    ASSERT_EQ(s.scales.size(), 4u);
    const std::vector<std::pair<std::string, ScaleState>> expected = {{"127.0.0.1", ScaleState::LastRunFailed},
                                                                      {"127.0.0.2", ScaleState::Stale},
                                                                      {"127.0.0.4", ScaleState::Ok},
                                                                      {"127.0.0.3", ScaleState::Ok}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.scales[i].address, expected[i].first) << i;
        EXPECT_EQ(s.scales[i].state, expected[i].second) << i;
    }
    EXPECT_EQ(s.scales[1].ageDays, 30);
    EXPECT_EQ(s.scales[1].futureDated, std::vector<std::string>{"127.0.0.2-9999-12-31.zal"});
    EXPECT_EQ(s.scales[3].generations[static_cast<std::size_t>(s.scales[3].newest)].name, "127.0.0.3-2026-12-07.zal");

    const std::string page = renderReportPage(s, options);
    for (const char* shown : {"127.0.0.4 <span class=\"pozn\">maso</span>", "poslední záloha selhala: <strong>1",
                              "(2×&nbsp;po sobě)", "poslední úspěšná záloha: 5. 12. 02:30",
                              "127.0.0.2-9999-12-31.zal má datum v budoucnosti"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    // The twin carries the counts, the note, the failures in a row and the last success.
    const std::string json = renderReportJson(s, options);
    for (const char* said : {"\"counts\":{\"scales\":4,\"no_sound_archive\":0,\"last_run_failed\":1,\"stale\":1,\"ok\":2}",
                             "{\"address\":\"127.0.0.1\",\"note\":\"pult 1\",\"state\":\"last_run_failed\","
                             "\"newest_archive\":\"127.0.0.1-2026-12-07.zal\",\"newest_date\":\"2026-12-07\",\"age_days\":1,"
                             "\"last_run_status\":\"failed\",\"last_run_time\":\"2026-12-05T02:30:00+01:00\","
                             "\"last_success_time\":\"2026-12-05T02:30:00+01:00\",\"consecutive_failures\":2}"})
        EXPECT_NE(json.find(said), std::string::npos) << said << "\n" << json;
}

TEST_F(ReportSurvey, thePageStandsAlone_andShowsNoTextOfTheFolderUnescaped) {
    archive("127.0.0.2-2026-12-01.zal", expectedArchive({{34, "f"}}));
    appendRunRecord(folder.path(), record("<script>alert(1)</script>", kRunFailed, 5));
    RunRecordLine odd = record("127.0.0.2", "<img src=x>", 5);
    odd.command = "\"><a href=\"http://x\">";
    appendRunRecord(folder.path(), odd);
    // Bytes that are no UTF-8: cut, overlong, a surrogate, past U+10FFFF, a
    // stray continuation byte; then well-formed letters, kept.
    appendRunRecord(folder.path(),
                    record("\xC3|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\x80|á€\xF0\x9F\x98\x80", kRunOk));
    const std::string page = renderReportPage(survey(), options);
    for (const char* absent : {"<script", "<img", "<a ", "src=\"", "href=\"", "url(", "@import"})
        EXPECT_EQ(page.find(absent), std::string::npos) << absent;
    EXPECT_NE(page.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page.find("stará záloha</td><td class=\"datum\" title=\"127.0.0.2-2026-12-01.zal\">1. 12. 2026 (7&nbsp;dní)"),
              std::string::npos);
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_NE(page.find(bad + "|" + bad + bad + "|" + bad + bad + bad + "|" + bad + bad + bad + bad + "|" + bad +
                        "|á€\xF0\x9F\x98\x80"),
              std::string::npos);
    EXPECT_NE(page.find("<svg"), std::string::npos);
}

TEST(DatedArchiveNames, onlyRealDatesAreDates_andNothingPastTomorrowIsAGeneration) {
    using namespace std::chrono;
    EXPECT_EQ(parseDate("1970-01-01"), Day{});
    EXPECT_EQ(*parseDate("2024-03-01") - *parseDate("2024-02-28"), days{2});
    for (const char* wrong : {"2023-02-29", "2026-00-10", "2026-04-31", "2026-1-010", "2026/01/01", "２026-01-01"})
        EXPECT_FALSE(parseDate(wrong)) << wrong;
    const auto dated = parseDatedArchive("127.0.0.2_5000-2024-02-29.zal");
    ASSERT_TRUE(dated);
    EXPECT_EQ(dated->part, "127.0.0.2_5000");
    EXPECT_EQ(datedArchiveName("127.0.0.2:5000", dated->day), "127.0.0.2_5000-2024-02-29.zal");
    for (const char* name : {"a-2023-02-29.zal", "-2026-01-01.zal", "a-2026-01-01.zal.tmp", "a2026-01-01.zal"})
        EXPECT_FALSE(parseDatedArchive(name)) << name;
    const Day today = *parseDate("2026-12-08");
    EXPECT_TRUE(isGenerationDay(today + days{1}, today));  // a clock one day off
    EXPECT_FALSE(isGenerationDay(today + days{2}, today));
    // The record's time carries its offset from UTC.
    const std::string time = runRecordTime();
    EXPECT_EQ(time.size(), 25u) << time;
    EXPECT_TRUE((time[19] == '+' || time[19] == '-') && time[22] == ':') << time;
}

}  // namespace
