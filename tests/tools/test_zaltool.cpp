#include "TestSupport.h"

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace testsupport;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

class Zaltool : public InTempDir {
protected:
    // Runs the built tool in the test's folder with the given arguments.
    Result run(const std::string& args) {
        const std::string command = std::string("\"") + ZALTOOL_PATH + "\" " + args + " >zt.out 2>zt.err";
        const int raw = std::system(command.c_str());
        Result r;
#ifdef _WIN32
        r.status = raw;
#else
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        r.out = readFile("zt.out");
        r.err = readFile("zt.err");
        fs::remove("zt.out");
        fs::remove("zt.err");
        return r;
    }
    // A failure: the status (1 failed work, 2 wrong command line), nothing on
    // stdout, exactly one line on stderr.
    Result expectFailure(const std::string& args, int status = 1) {
        const Result r = run(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err.rfind("zaltool: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
        return r;
    }
    // A wrong command line: status 2, and the one line points to the help.
    void expectUsageError(const std::string& args) {
        const Result r = expectFailure(args, 2);
        EXPECT_NE(r.err.find("--help')"), std::string::npos) << args << ": " << r.err;
    }
};

TEST_F(Zaltool, RoundTripsFilesOfEverySizeByteForByte) {
    const std::vector<std::pair<int, std::size_t>> members = {
        {34, 0}, {38, 1}, {52, 300}, {41, 65536}, {25, 262145}, {67, (1 << 20) + 3}};
    for (const auto& [id, size] : members) {
        writeFile("in.dat", randomBytes(size, static_cast<unsigned>(id)));
        ASSERT_EQ(run("append a.zal " + std::to_string(id) + " in.dat").status, 0) << id;
    }
    for (const auto& [id, size] : members) {
        const Result r = run("extract a.zal " + std::to_string(id) + " out.dat");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(readFile("out.dat"), randomBytes(size, static_cast<unsigned>(id))) << id;
    }
    EXPECT_EQ(run("verify a.zal").status, 0);
}

TEST_F(Zaltool, ListGivesOneLinePerMemberInSlotOrder) {
    writeFile("t.dat", std::string(40, 't'));
    writeFile("f.dat", std::string(300, 'f'));
    ASSERT_EQ(run("append a.zal 38 t.dat").status, 0);
    ASSERT_EQ(run("append a.zal 34 f.dat").status, 0);
    const Result r = run("list a.zal");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "formats\t34\t0\t168\t467\t300\ntexts\t38\t1\t128\t167\t40\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Zaltool, VerifyRejectsEveryCorruptArchive) {
    const std::string body(340, 'x');
    const std::string good = archiveHeader({{34, 128, 427}, {38, 428, 467}}) + body;
    writeFile("good.zal", good);
    ASSERT_EQ(run("verify good.zal").status, 0);
    const std::vector<std::string> bad = {
        "",
        good.substr(0, 64),
        good.substr(0, 127),
        good.substr(0, 467),                                      // member running past the end
        archiveHeader({{34, 0, 299}}) + body,                            // offset inside the header
        archiveHeader({{34, 128, 427}, {38, 500, 400}}) + body,          // ends before it starts
        archiveHeader({{34, 128, 427}, {38, 400, 467}}) + body,          // overlapping members
        archiveHeader({{34, 128, 427}, {38, 128, 128}}) + body,          // one byte shared
        archiveHeader({{34, 128, 427}, {38, 427, 467}}) + body,          // one boundary byte shared
        archiveHeader({{38, 128, 427}, {34, 428, 467}}) + body,          // kinds in each other's slots
        archiveHeader({{34, 128, 427}, {}, {}, {}, {}, {}, {34, 428, 467}}) + body,  // an id twice
        std::string(128, '\0') + body,                                  // no member: no backup
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        writeFile("bad.zal", bad[i]);
        SCOPED_TRACE(i);
        expectFailure("verify bad.zal");
    }
    expectFailure("verify missing.zal");
}

TEST_F(Zaltool, FailuresSayWhatIsWrongAndLeaveNoOutput) {
    writeFile("d.dat", "data");
    ASSERT_EQ(run("append a.zal 34 d.dat").status, 0);
    const std::string archive = readFile("a.zal");
    writeFile("short.zal", archive.substr(0, 100));
    // The formats in the texts' slot: storing the texts there would lose them.
    const std::string damaged = archiveHeader({{}, {34, 128, 131}}) + "data";
    writeFile("damaged.zal", damaged);
    for (const char* args : {"extract a.zal 41 out.dat", "extract missing.zal 34 out.dat",
                             "extract short.zal 34 out.dat", "extract a.zal 34 no/such/folder/out.dat",
                             "append a.zal 34 d.dat", "append a.zal 99 d.dat", "append a.zal 41 missing.dat",
                             "append short.zal 41 d.dat", "list short.zal", "append damaged.zal 38 d.dat"}) {
        SCOPED_TRACE(args);
        expectFailure(args);
    }
    for (const char* args : {"", "list", "list a.zal extra", "extract a.zal 34", "remove a.zal 34 d.dat",
                             "extract a.zal 3x out.dat", "append a.zal '' d.dat", "append a.zal 41 d.dat --kinds=all",
                             "--bogus list a.zal", "list --help=yes a.zal", "-x list a.zal", "help remove",
                             "help list extract"}) {
        SCOPED_TRACE(args);
        expectUsageError(args);
    }
    EXPECT_EQ(readFile("a.zal"), archive);
    EXPECT_EQ(readFile("damaged.zal"), damaged);
    // An unknown id is refused before a missing archive would be created.
    expectFailure("append new.zal 99 d.dat");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"a.zal", "d.dat", "damaged.zal", "short.zal"}));
}

TEST_F(Zaltool, HelpAndVersionGoToStdoutAndSucceed) {
    for (const char* args : {"--help", "-h", "help", "help extract", "extract --help", "append a.zal -h",
                             "--version", "-V"}) {
        SCOPED_TRACE(args);
        const Result r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(r.out.empty());
    }
    EXPECT_EQ(run("--version").out, std::string("zaltool ") + ZALOHY_VERSION + "\n");
    const std::string overview = run("--help").out;
    for (const char* command : {"list", "extract", "append", "verify", "help"})
        EXPECT_NE(overview.find(std::string("\n  ") + command + " "), std::string::npos) << command;
    // Asking for help does nothing else: no archive appears.
    EXPECT_TRUE(dir.entries().empty());
}

// Each command's help lists the options it takes and no other: every option
// listed is accepted, and the runs' shared options appear only where taken.
TEST_F(Zaltool, EachCommandsHelpListsExactlyTheOptionsItTakes) {
    const std::string overview = run("--help").out;
    std::vector<std::string> commands;
    const std::regex commandLine(R"(\n  ([a-z][a-z-]*) )");
    for (auto it = std::sregex_iterator(overview.begin(), overview.end(), commandLine); it != std::sregex_iterator(); ++it)
        commands.push_back((*it)[1]);
    ASSERT_GE(commands.size(), 13u) << overview;
    const std::regex optionLine(R"(\n  --([a-z-]+)(=\S+)?)");
    std::map<std::string, std::set<std::string>> listed;
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const Result help = run(command + " --help");
        ASSERT_EQ(help.status, 0);
        std::string every;  // each listed option given at once is accepted
        for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), optionLine); it != std::sregex_iterator();
             ++it) {
            listed[command].insert((*it)[1]);
            every += " --" + (*it)[1].str() + ((*it)[2].matched ? "=1" : "");
            EXPECT_NE(help.out.find("[--" + (*it)[1].str()), std::string::npos) << "usage lacks --" << (*it)[1];
        }
        EXPECT_EQ(run(command + every + " --help").status, 0) << every;
        EXPECT_TRUE(dir.entries().empty());
    }
    EXPECT_EQ(listed["backup"], (std::set<std::string>{"kinds", "overwrite", "work"}));
    EXPECT_EQ(listed["check-list"], (std::set<std::string>{"jobs", "json", "quiet", "record", "ping"}));
    EXPECT_TRUE(listed["list"].empty());
    EXPECT_EQ(run("backup --jobs=2 a b").status, 2);
    // The overview names every command that takes an option beside it.
    EXPECT_NE(overview.find("--json                backup-list, send-list, restore-list, check-list:"), std::string::npos);
}

TEST_F(Zaltool, OptionsMayFollowOperandsAndDashDashEndsThem) {
    writeFile("-d.dat", "dash");
    ASSERT_EQ(run("append -- -a.zal 34 -d.dat").status, 0);
    const Result r = run("list -- -a.zal");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "formats\t34\t0\t128\t131\t4\n");
    EXPECT_EQ(run("verify -a.zal").status, 2);  // without "--" it reads as an option
}

#ifndef _WIN32
TEST_F(Zaltool, OutputThatCannotBeWrittenIsAFailure) {
    writeFile("d.dat", "data");
    ASSERT_EQ(run("append a.zal 34 d.dat").status, 0);
    for (const char* args : {"list a.zal", "--help", "--version"}) {
        const std::string command = std::string("\"") + ZALTOOL_PATH + "\" " + args + " >/dev/full 2>zt.err";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << args;
        EXPECT_EQ(readFile("zt.err"), "zaltool: nelze zapisovat na standardní výstup\n") << args;
    }
}
#endif

}  // namespace
