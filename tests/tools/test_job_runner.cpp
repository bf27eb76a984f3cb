// The job runner alone, with works of its own instead of scales: this test
// program is also the child the runner starts ("_job WORK ..."), so a job can
// die, cut its record short, stop the list or take its time, and the same
// list gives the same lines and statuses with one job or four at once.
#include "FolderLock.h"
#include "JobRunner.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

void pause(const std::string& ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms.c_str()))); }

// "say NAME MS STATUS": a line on stdout, one on stderr after MS ms, a result
// for the run ("NAME!"), STATUS.
// "die": a line, then killed. "cut NAME N": a line, then the first N bytes of
// a record (kWhole).
// "wait GO": a line, then waits up to 3 s for the file GO.
// "key NAME MARKS": holds MARKS/on for 100 ms; says "overlap" when another
// job held it already.
// "busy NAME MARKS N ALL": leaves MARKS/NAME.ran, holds MARKS/NAME.on until
// it sees N jobs holding theirs or ALL having run (at most 2 s), then 200 ms
// more, and hands back the most it saw at once.
const std::string kWhole = "o9:last line";

int fakeWork(const std::vector<std::string>& args, JobOutput& out) {
    const std::string& kind = args.at(0);
    out.write(false, kind + " " + args.at(1) + " started\n");
    if (kind == "say") {
        pause(args.at(2));
        out.write(true, args.at(1) + " done\n");
        out.result(args.at(1) + "!");
        return std::atoi(args.at(3).c_str());
    }
    if (kind == "die") std::raise(SIGKILL);
    if (kind == "cut") {
        std::ofstream("zaltool-job.rec", std::ios::app) << kWhole.substr(0, std::stoul(args.at(2)));
        return 0;
    }
    if (kind == "busy") {
        const fs::path marks = args.at(2);
        std::ofstream((marks / (args.at(1) + ".ran")).string()) << "x";
        std::ofstream((marks / (args.at(1) + ".on")).string()) << "x";
        long most = 0;
        for (int i = 0, after = 0; i < 200 && after < 20; ++i, pause("10")) {
            long on = 0, ran = 0;
            for (const fs::directory_entry& mark : fs::directory_iterator(marks)) {
                on += mark.path().extension() == ".on";
                ran += mark.path().extension() == ".ran";
            }
            most = std::max(most, on);
            after += most >= std::stol(args.at(3)) || ran == std::stol(args.at(4));
        }
        fs::remove(marks / (args.at(1) + ".on"));
        out.result(std::to_string(most));
        return 0;
    }
    if (kind == "wait") {
        for (int i = 0; i < 300 && !fs::exists(args.at(2)); ++i) pause("10");
        out.write(false, fs::exists(args.at(2)) ? "went on\n" : "nobody saw the first line\n");
        return 0;
    }
    const fs::path on = fs::path(args.at(2)) / "on";
    if (fs::exists(on)) out.write(false, "overlap\n");
    std::ofstream(on.string()) << "x";
    pause("100");
    fs::remove(on);
    return 0;
}

ScaleWork findFake(std::string_view name) { return name == "fake" ? fakeWork : nullptr; }

// What reaches the runner's output, and an action on a line.
class Capture : public JobOutput {
public:
    std::string text;
    std::function<void(std::string_view)> onLine = [](std::string_view) {};
    void write(bool error, std::string_view line) override {
        text += (error ? "E " : "O ") + std::string(line);
        onLine(line);
    }
};

Job fake(const std::vector<std::string>& args) {
    return Job{.work = "fake", .args = args, .lead = "-- " + args.at(1) + "\n", .address = args.at(1)};
}

struct Ran {
    std::string output;
    std::vector<std::pair<std::string, int>> finished;
    std::vector<std::string> results;
};

class JobRunnerTest : public ::testing::Test {
protected:
    ScratchFolder work{"zalohy-jobs-"};

    Ran runList(std::vector<Job> list, int jobs, Capture capture = {}) {
        JobRunner runner(jobs, work.path(), ownProgram());
        std::string problem;
        EXPECT_TRUE(runner.start(problem)) << problem;
        Ran ran;
        std::size_t next = 0;
        runner.run(capture, [&]() -> std::optional<Job> { return next < list.size() ? std::optional(list[next++]) : std::nullopt; },
                   [&](const Job& job, int status) {
                       ran.finished.emplace_back(job.address, status);
                       ran.results.push_back(job.result);
                   });
        ran.output = capture.text;
        return ran;
    }
};

TEST_F(JobRunnerTest, deadAndCutJobsAmongOthers_sameLinesAndStatusesInListOrderForOneOrFourAtOnce) {
    // The later jobs end first when four run at once.
    std::vector<Job> list{fake({"say", "a", "300", "0"}), fake({"die", "b"}),           fake({"say", "c", "150", "1"}),
                          Job{.lead = "skipped line\n", .address = "x"}, fake({"cut", "d", "7"}), fake({"say", "e", "0", "0"})};
    const Ran one = runList(list, 1);
    EXPECT_EQ(one.output, "O -- a\nO say a started\nE a done\n"
                          "O -- b\nO die b started\nO b: úloha skončila nečekaně\n"
                          "O -- c\nO say c started\nE c done\n"
                          "O skipped line\n"
                          "O -- d\nO cut d started\nO d: úloha skončila nečekaně\n"
                          "O -- e\nO say e started\nE e done\n");
    EXPECT_EQ(one.finished, (std::vector<std::pair<std::string, int>>{
                                {"a", 0}, {"b", 1}, {"c", 1}, {"x", 0}, {"d", 1}, {"e", 0}}));
    // The results reach the run, never its output.
    EXPECT_EQ(one.results, (std::vector<std::string>{"a!", "", "c!", "", "", "e!"}));
    const Ran four = runList(list, 4);
    EXPECT_EQ(four.output, one.output);
    EXPECT_EQ(four.finished, one.finished);
    EXPECT_EQ(four.results, one.results);
    EXPECT_EQ(work.entries(), std::set<std::string>{});  // the job folders went with the runs

    // A record cut anywhere, even one byte short, is no normal end.
    for (std::size_t cut = 1; cut < kWhole.size(); ++cut)
        EXPECT_EQ(runList({fake({"cut", "d", std::to_string(cut)})}, 1).finished,
                  (std::vector<std::pair<std::string, int>>{{"d", 1}})) << cut;
}

TEST_F(JobRunnerTest, aJobThatStopsTheList_nothingAfterItIsReportedWithOneOrFourAtOnce_norStartedWithOne) {
    ScratchFolder marks{"zalohy-jobs-marks-"};
    std::vector<Job> list{fake({"say", "a", "200", "0"}), fake({"say", "stop", "0", "3"}),
                          fake({"busy", "c", marks.path().string(), "1", "1"}), fake({"say", "d", "0", "0"})};
    for (int jobs : {4, 1}) {
        const Ran ran = runList(list, jobs);
        EXPECT_EQ(ran.output, "O -- a\nO say a started\nE a done\nO -- stop\nO say stop started\nE stop done\n")
            << jobs;
        EXPECT_EQ(ran.finished, (std::vector<std::pair<std::string, int>>{{"a", 0}, {"stop", 3}})) << jobs;
        EXPECT_EQ(fs::exists(marks / "c.ran"), jobs == 4) << jobs;  // four at once: it ran beside the stop
        fs::remove(marks / "c.ran");
    }
}

TEST_F(JobRunnerTest, jobsOfOneKeyNeverRunAtOnce_norMoreThanJobs_andTheOldestJobsLinesComeOutWhileItRuns) {
    ScratchFolder marks{"zalohy-jobs-marks-"};
    // One scale listed four times: its jobs run one after the other.
    const std::vector<Job> list(4, fake({"key", "k", marks.path().string()}));
    const Ran keyed = runList(list, 4);
    EXPECT_EQ(keyed.output.find("overlap"), std::string::npos) << keyed.output;
    EXPECT_EQ(keyed.finished.size(), 4u);

    // Never more than --jobs at once, and that many when the list allows.
    for (int jobs : {1, 4}) {
        ScratchFolder busyMarks{"zalohy-jobs-busy-"};
        std::vector<Job> busy;
        for (const char* name : {"p", "q", "r", "s", "t", "u"})
            busy.push_back(fake({"busy", name, busyMarks.path().string(), std::to_string(jobs), "6"}));
        const Ran ran = runList(busy, jobs);
        EXPECT_EQ(*std::max_element(ran.results.begin(), ran.results.end()), std::to_string(jobs));
    }

    const fs::path go = marks / "go";
    Capture capture;
    capture.onLine = [&](std::string_view line) {
        if (line == "wait w started\n") std::ofstream(go.string()) << "go";
    };
    const Ran waited = runList({fake({"wait", "w", go.string()})}, 1, capture);
    EXPECT_EQ(waited.output, "O -- w\nO wait w started\nO went on\n");
}

TEST_F(JobRunnerTest, leftoversOfKilledRunsAreSwept_heldFilesAndOtherFilesStay) {
    const fs::path stale = work / ".zaltool-jobs" / "7";
    fs::create_directories(stale);
    writeFile(stale / "zaltool-job.rec", "o3:old");
    writeFile(work / "a.zal.1234abcd.tmp", "left");
    writeFile(work / "b.zal", "kept");
    std::FILE* held = createHeldFile(work / "c.zal.5678cdef.tmp");
    ASSERT_NE(held, nullptr);
    const auto isTemp = [](const std::string& name) { return name.ends_with(".tmp"); };
    EXPECT_EQ(sweepLeftovers(work.path(), isTemp), 1);
    std::fclose(held);
    EXPECT_EQ(work.entries(), (std::set<std::string>{".zaltool-jobs", "b.zal", "c.zal.5678cdef.tmp"}));

    JobRunner runner(2, work.path(), ownProgram());
    std::string problem;
    ASSERT_TRUE(runner.start(problem)) << problem;
    EXPECT_FALSE(fs::exists(stale));
    // A second run in the same folder is refused while this one holds it.
    FolderLock::defaultWait = std::chrono::milliseconds(100);
    JobRunner second(1, work.path(), ownProgram());
    EXPECT_FALSE(second.start(problem));
    EXPECT_FALSE(problem.empty());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == kJobCommand) return runJobChild(argc - 1, argv + 1, findFake);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
