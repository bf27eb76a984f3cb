// zaltool check and check-list: does a scale answer?
#include "ZaltoolProcesses.h"

using namespace zalohy;
using namespace zalohy::test;
namespace fs = std::filesystem;

namespace {

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

}  // namespace
